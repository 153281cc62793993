// The eight-lane MD5 kernel for processors with AVX-512VL: the same
// eight lanes, with shorter steps.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "util/md5_lanes_kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace tavirelle {
namespace {
#define TAVIRELLE_MD5_AVX512 1
#include "util/md5_lanes_x86.inc"
#include "util/md5_lanes_kernel.inc"
}  // namespace

void Md5CompressAvx512(uint32_t state[4][8], const uint8_t* const data[8], size_t blocks) {
  CompressLanes(state, data, blocks);
}

}  // namespace tavirelle
#endif
