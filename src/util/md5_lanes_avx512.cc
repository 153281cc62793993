// The eight-lane MD5 kernel for processors with AVX-512VL.
#define TAVIRELLE_MD5_KERNEL Md5CompressAvx512
#define TAVIRELLE_MD5_AVX512 1
#include "util/md5_lanes_x86.inc"
