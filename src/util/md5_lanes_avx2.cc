// The eight-lane MD5 kernel for processors with AVX2.
#define TAVIRELLE_MD5_KERNEL Md5CompressAvx2
#define TAVIRELLE_MD5_AVX512 0
#include "util/md5_lanes_x86.inc"
