// The MD5 lane kernels md5_lanes.cc chooses from, each built for its own
// instruction set; see md5_lanes_kernel.inc for what they do.
#ifndef TAVIRELLE_UTIL_MD5_LANES_KERNELS_H_
#define TAVIRELLE_UTIL_MD5_LANES_KERNELS_H_

#include <cstddef>
#include <cstdint>

namespace tavirelle {

using Md5LanesKernel = void (*)(uint32_t state[4][8], const uint8_t* const data[8],
                                size_t blocks);

// One lane (lane 0) at a time, on any processor.
void Md5CompressScalar(uint32_t state[4][8], const uint8_t* const data[8], size_t blocks);
#if defined(__x86_64__)
void Md5CompressAvx2(uint32_t state[4][8], const uint8_t* const data[8], size_t blocks);
void Md5CompressAvx512(uint32_t state[4][8], const uint8_t* const data[8], size_t blocks);
#endif

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_MD5_LANES_KERNELS_H_
