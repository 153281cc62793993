#include "util/md5_lanes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "util/md5.h"
#include "util/md5_lanes_kernels.h"

namespace tavirelle {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

TEST(Md5Lanes, GivesTheReferenceDigests) {
  Md5Lanes lanes;
  const char* texts[] = {"", "a", "abc", "message digest", "abcdefghijklmnopqrstuvwxyz",
                         "12345678901234567890123456789012345678901234567890123456789012345678901234567890"};
  const char* digests[] = {"d41d8cd98f00b204e9800998ecf8427e", "0cc175b9c0f1b6a831c399e269772661",
                           "900150983cd24fb0d6963f7d28e17f72", "f96b697d7cb7938d525a2f31aaf161d0",
                           "c3fcd3d76192e4007dfb496cca67e13b", "57edf4a22be3c955ac49da2e2107b67a"};
  Md5Lanes::Chunk chunks[Md5Lanes::kLanes];
  for (size_t i = 0; i < 6; ++i) chunks[i] = {texts[i], std::strlen(texts[i])};
  lanes.Update(chunks);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(lanes.FinishHex(i), digests[i]) << texts[i];
}

// Streams of every awkward length, fed in chunks of uneven sizes that leave
// lanes idle at times, and lanes reused after a digest ends.
TEST(Md5Lanes, MatchesOneDigestAtATimeWhateverTheChunks) {
  std::mt19937 random(7);
  const size_t lengths[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 4096, 100000, 1 << 20};
  std::vector<std::vector<uint8_t>> streams;
  for (size_t length : lengths) streams.push_back(RandomBytes(random, length));
  for (int i = 0; i < 11; ++i) streams.push_back(RandomBytes(random, random() % 300000));

  Md5Lanes lanes;
  size_t next_stream = 0;
  int lane_stream[Md5Lanes::kLanes];
  size_t offset[Md5Lanes::kLanes] = {};
  for (auto& stream : lane_stream) stream = next_stream < streams.size() ? next_stream++ : -1;
  std::vector<std::string> got(streams.size());
  for (bool busy = true; busy;) {
    busy = false;
    Md5Lanes::Chunk chunks[Md5Lanes::kLanes];
    for (size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
      if (lane_stream[lane] < 0) continue;
      busy = true;
      const auto& bytes = streams[lane_stream[lane]];
      size_t size = std::min<size_t>(bytes.size() - offset[lane],
                                     random() % 4 == 0 ? 0 : random() % 70000);
      chunks[lane] = {bytes.data() + offset[lane], size};
      offset[lane] += size;
    }
    lanes.Update(chunks);
    for (size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
      if (lane_stream[lane] < 0 || offset[lane] < streams[lane_stream[lane]].size()) continue;
      got[lane_stream[lane]] = lanes.FinishHex(lane);
      offset[lane] = 0;
      lane_stream[lane] = next_stream < streams.size() ? static_cast<int>(next_stream++) : -1;
    }
  }
  for (size_t i = 0; i < streams.size(); ++i) {
    EXPECT_EQ(got[i], Md5BufferHex(streams[i].data(), streams[i].size()))
        << "stream of " << streams[i].size() << " bytes";
  }
}

TEST(Md5Streams, DigestsWholeStreamsAndTellsShortOnes) {
  std::mt19937 random(5);
  std::vector<std::vector<uint8_t>> bytes;
  for (size_t size : {size_t{0}, size_t{1000}, size_t{262144}, size_t{700001}, size_t{5}}) {
    bytes.push_back(RandomBytes(random, size));
  }
  std::vector<Md5Stream> streams(bytes.size());
  std::vector<size_t> offsets(bytes.size(), 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    streams[i].size = bytes[i].size();
    streams[i].read = [&, i](void* buffer, size_t size) {
      // The fourth stream ends early: it announced more than it has.
      size_t available = i == 3 ? 300000 - offsets[i] : bytes[i].size() - offsets[i];
      size_t n = std::min(size, available);
      std::memcpy(buffer, bytes[i].data() + offsets[i], n);
      offsets[i] += n;
      return n;
    };
  }
  Md5Streams(streams);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 3) {
      EXPECT_FALSE(streams[i].whole);
      continue;
    }
    EXPECT_TRUE(streams[i].whole) << i;
    EXPECT_EQ(streams[i].md5, Md5BufferHex(bytes[i].data(), bytes[i].size())) << i;
  }
}

// Every kernel this processor can run against the one-lane kernel.
TEST(Md5Lanes, EveryVectorKernelMatchesTheScalarOne) {
  std::vector<std::pair<const char*, Md5LanesKernel>> kernels;
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", Md5CompressAvx2});
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
    kernels.push_back({"avx512", Md5CompressAvx512});
  }
#endif
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel runs on this processor";
  std::mt19937 random(11);
  const size_t blocks = 37;
  std::vector<std::vector<uint8_t>> data;
  const uint8_t* pointers[8];
  alignas(32) uint32_t start[4][8];
  for (size_t lane = 0; lane < 8; ++lane) {
    data.push_back(RandomBytes(random, blocks * 64 + 1));
    pointers[lane] = data[lane].data() + 1;  // unaligned on purpose
    for (int k = 0; k < 4; ++k) start[k][lane] = random();
  }
  alignas(32) uint32_t expected[4][8];
  for (size_t lane = 0; lane < 8; ++lane) {
    alignas(32) uint32_t one[4][8] = {};
    for (int k = 0; k < 4; ++k) one[k][0] = start[k][lane];
    const uint8_t* single[8] = {pointers[lane]};
    Md5CompressScalar(one, single, blocks);
    for (int k = 0; k < 4; ++k) expected[k][lane] = one[k][0];
  }
  for (const auto& [name, kernel] : kernels) {
    alignas(32) uint32_t state[4][8];
    std::memcpy(state, start, sizeof state);
    kernel(state, pointers, blocks);
    EXPECT_EQ(std::memcmp(state, expected, sizeof state), 0) << name;
  }
}

}  // namespace
}  // namespace tavirelle
