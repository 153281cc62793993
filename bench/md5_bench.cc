// MD5 throughput: one stream at a time (the one-lane path every single digest
// takes), against eight streams side by side in vector lanes.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "util/md5.h"
#include "util/md5_lanes.h"

namespace tavirelle {
namespace {

constexpr size_t kChunk = 1 << 20;

const std::vector<uint8_t>& Bytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> b(kChunk * Md5Lanes::kLanes);
    std::mt19937 random(1);
    for (auto& byte : b) byte = static_cast<uint8_t>(random());
    return b;
  }();
  return bytes;
}

void BM_OneStream(benchmark::State& state) {
  const auto& bytes = Bytes();
  for (auto _ : state) {
    for (size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
      benchmark::DoNotOptimize(Md5BufferHex(bytes.data() + lane * kChunk, kChunk));
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_OneStream);

void BM_EightLanes(benchmark::State& state) {
  const auto& bytes = Bytes();
  Md5Lanes lanes;
  for (auto _ : state) {
    Md5Lanes::Chunk chunks[Md5Lanes::kLanes];
    for (size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
      chunks[lane] = {bytes.data() + lane * kChunk, kChunk};
    }
    lanes.Update(chunks);
    for (size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
      benchmark::DoNotOptimize(lanes.FinishHex(lane));
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes.size());
  state.SetLabel(Md5Lanes::Vectorised() ? "vector" : "one lane at a time");
}
BENCHMARK(BM_EightLanes);

}  // namespace
}  // namespace tavirelle
BENCHMARK_MAIN();
