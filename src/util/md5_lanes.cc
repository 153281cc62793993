#include "util/md5_lanes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "util/md5_lanes_kernels.h"

namespace tavirelle {

namespace {

// One lane in a plain 32-bit integer, for processors without the vector
// kernels and for the odd blocks of a single lane.
struct Ops {
  using V = uint32_t;
  static V Add(V x, V y) { return x + y; }
  static V Constant(uint32_t k) { return k; }
  static V LoadState(const uint32_t* lanes) { return lanes[0]; }
  static void StoreState(uint32_t* lanes, V v) { lanes[0] = v; }
  template <int s>
  static V Rotl(V x) { return (x << s) | (x >> (32 - s)); }
  static V F(V b, V c, V d) { return d ^ (b & (c ^ d)); }
  static V G(V b, V c, V d) { return c ^ (d & (b ^ c)); }
  static V H(V b, V c, V d) { return b ^ c ^ d; }
  static V I(V b, V c, V d) { return c ^ (b | ~d); }
  static void LoadWords(const uint8_t* const data[8], size_t offset, V w[16]) {
    const uint8_t* p = data[0] + offset;
    for (int i = 0; i < 16; ++i, p += 4) {
      w[i] = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
  }
};

#include "util/md5_lanes_kernel.inc"

Md5LanesKernel ChooseVectorKernel() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
    return Md5CompressAvx512;
  }
  if (__builtin_cpu_supports("avx2")) return Md5CompressAvx2;
#endif
  return nullptr;
}

// The vector kernel of this machine, or null.
Md5LanesKernel VectorKernel() {
  static const Md5LanesKernel kernel = ChooseVectorKernel();
  return kernel;
}

// What lanes without blocks in a vector call read: their results are put
// back, so any bytes do; a call covers at most this many blocks.
constexpr size_t kMaxBlocksPerCall = 64;
alignas(32) const uint8_t kIdleBlocks[kMaxBlocksPerCall * 64] = {};

constexpr uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

}  // namespace

void Md5CompressScalar(uint32_t state[4][8], const uint8_t* const data[8], size_t blocks) {
  CompressLanes(state, data, blocks);
}

Md5Lanes::Md5Lanes() {
  for (size_t lane = 0; lane < kLanes; ++lane) Start(lane);
}

bool Md5Lanes::Vectorised() { return VectorKernel() != nullptr; }

void Md5Lanes::Start(size_t lane) {
  for (int k = 0; k < 4; ++k) state_[k][lane] = kInitialState[k];
  carried_[lane] = 0;
  length_[lane] = 0;
}

namespace {

// Advances one lane alone.
void CompressOneLane(uint32_t state[4][8], size_t lane, const uint8_t* data, size_t blocks) {
  alignas(32) uint32_t one[4][8];
  for (int k = 0; k < 4; ++k) one[k][0] = state[k][lane];
  const uint8_t* lanes[8] = {data};
  Md5CompressScalar(one, lanes, blocks);
  for (int k = 0; k < 4; ++k) state[k][lane] = one[k][0];
}

}  // namespace

void Md5Lanes::Update(const Chunk (&chunks)[kLanes]) {
  const uint8_t* next[kLanes];
  size_t left[kLanes];
  for (size_t lane = 0; lane < kLanes; ++lane) {
    next[lane] = static_cast<const uint8_t*>(chunks[lane].data);
    left[lane] = chunks[lane].size;
    length_[lane] += left[lane];
    // First complete a block begun by an earlier chunk.
    if (carried_[lane] != 0 && left[lane] != 0) {
      size_t take = std::min(64 - carried_[lane], left[lane]);
      std::memcpy(carry_[lane] + carried_[lane], next[lane], take);
      carried_[lane] += take;
      next[lane] += take;
      left[lane] -= take;
      if (carried_[lane] == 64) {
        CompressOneLane(state_, lane, carry_[lane], 1);
        carried_[lane] = 0;
      }
    }
  }
  const Md5LanesKernel vector = VectorKernel();
  for (;;) {
    size_t active = 0, fewest = kMaxBlocksPerCall;
    for (size_t lane = 0; lane < kLanes; ++lane) {
      if (left[lane] < 64) continue;
      ++active;
      fewest = std::min(fewest, left[lane] / 64);
    }
    if (active == 0) break;
    if (active == 1 || vector == nullptr) {
      for (size_t lane = 0; lane < kLanes; ++lane) {
        size_t blocks = left[lane] / 64;
        if (blocks == 0) continue;
        CompressOneLane(state_, lane, next[lane], blocks);
        next[lane] += blocks * 64;
        left[lane] -= blocks * 64;
      }
      break;
    }
    // Lanes with fewer blocks than this call covers sit it out.
    const uint8_t* data[kLanes];
    uint32_t kept[4][kLanes];
    for (size_t lane = 0; lane < kLanes; ++lane) {
      data[lane] = left[lane] >= 64 ? next[lane] : kIdleBlocks;
      for (int k = 0; k < 4; ++k) kept[k][lane] = state_[k][lane];
    }
    vector(state_, data, fewest);
    for (size_t lane = 0; lane < kLanes; ++lane) {
      if (left[lane] >= 64) {
        next[lane] += fewest * 64;
        left[lane] -= fewest * 64;
      } else {
        for (int k = 0; k < 4; ++k) state_[k][lane] = kept[k][lane];
      }
    }
  }
  for (size_t lane = 0; lane < kLanes; ++lane) {
    if (left[lane] == 0) continue;
    std::memcpy(carry_[lane] + carried_[lane], next[lane], left[lane]);
    carried_[lane] += left[lane];
  }
}

std::string Md5Lanes::FinishHex(size_t lane) {
  // The padding: a 1 bit, zeros, and the length in bits, to a whole block.
  uint8_t tail[128] = {};
  size_t used = carried_[lane];
  std::memcpy(tail, carry_[lane], used);
  tail[used++] = 0x80;
  const size_t size = used + 8 <= 64 ? 64 : 128;
  const uint64_t bits = length_[lane] * 8;
  for (int i = 0; i < 8; ++i) tail[size - 8 + i] = static_cast<uint8_t>(bits >> (8 * i));
  CompressOneLane(state_, lane, tail, size / 64);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(32);
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 4; ++i) {
      uint8_t byte = static_cast<uint8_t>(state_[k][lane] >> (8 * i));
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
  }
  Start(lane);
  return hex;
}

void Md5Streams(std::vector<Md5Stream>& streams) {
  constexpr size_t kBlock = 256 * 1024;
  const size_t count = std::min(streams.size(), Md5Lanes::kLanes);
  std::unique_ptr<uint8_t[]> buffers(new uint8_t[kBlock * count]);
  std::vector<uint64_t> done(count, 0);
  std::vector<bool> reading(count, true);
  Md5Lanes lanes;
  for (bool busy = true; busy;) {
    busy = false;
    Md5Lanes::Chunk chunks[Md5Lanes::kLanes];
    bool ends[Md5Lanes::kLanes] = {};
    for (size_t i = 0; i < count; ++i) {
      if (!reading[i]) continue;
      Md5Stream& stream = streams[i];
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, stream.size - done[i]));
      uint8_t* buffer = buffers.get() + i * kBlock;
      const size_t got = want == 0 ? 0 : std::min(want, stream.read(buffer, want));
      done[i] += got;
      if (got < want) {
        stream.whole = false;
        reading[i] = false;
        continue;
      }
      chunks[i] = {buffer, got};
      ends[i] = done[i] == stream.size;
      reading[i] = !ends[i];
      busy = busy || reading[i];
    }
    lanes.Update(chunks);
    for (size_t i = 0; i < count; ++i) {
      if (!ends[i]) continue;
      streams[i].whole = true;
      streams[i].md5 = lanes.FinishHex(i);
    }
  }
}

}  // namespace tavirelle
