// Packing and opening show packages.
//
// BM_PackShow packs a folder of photo-sized files (200 x 5 MB by default; set
// TAVIRELLE_BENCH_PHOTOS and TAVIRELLE_BENCH_PHOTO_MB to scale it) and
// BM_Md5Files reads the same files once for their digests: that is the floor
// of a one-pass packer. The Open benchmarks show that opening grows linearly
// with the number of entries and that reading one entry does not depend on
// the package's size. package_peers.sh compares the same work with md5sum,
// zip, tar and unzip.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "util/md5.h"

using namespace tavirelle;

namespace {

std::string BenchFolder() {
  const char* base = std::getenv("TAVIRELLE_BENCH_DIR");
  std::string folder = std::string(base != nullptr && *base ? base : "/tmp") +
                       "/tavirelle-package-bench/";
  DefaultFileSystem().CreateDirectory(folder).IgnoreError();
  return folder;
}

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value ? std::atoi(value) : fallback;
}

// A show folder of incompressible photo-sized files, made once.
const std::string& PhotoFolder(int64_t* total) {
  static std::string folder;
  static int64_t bytes = 0;
  if (folder.empty()) {
    int photos = EnvInt("TAVIRELLE_BENCH_PHOTOS", 200);
    int megabytes = EnvInt("TAVIRELLE_BENCH_PHOTO_MB", 5);
    folder = BenchFolder() + "photos/";
    DefaultFileSystem().CreateDirectory(folder).IgnoreError();
    std::mt19937_64 random(42);
    std::string data(static_cast<size_t>(megabytes) << 20, '\0');
    for (int i = 0; i < photos; ++i) {
      std::string path = folder + "photo" + std::to_string(1000 + i) + ".jpg";
      DWORD attributes = 0;
      if (!DefaultFileSystem().GetFileAttributes(path, &attributes).ok()) {
        for (size_t j = 0; j + 8 <= data.size(); j += 8) {
          uint64_t r = random();
          std::memcpy(&data[j], &r, 8);
        }
        WriteWholeFile(DefaultFileSystem(), path, data).IgnoreError();
      }
      bytes += static_cast<int64_t>(data.size());
    }
    WriteWholeFile(DefaultFileSystem(), folder + "meta.xml", "<qx><show></show></qx>")
        .IgnoreError();
  }
  *total = bytes;
  return folder;
}

void BM_PackShow(benchmark::State& state) {
  int64_t bytes = 0;
  std::string folder = PhotoFolder(&bytes);
  std::string target = BenchFolder() + "packed.pkg";
  for (auto _ : state) {
    state.PauseTiming();
    DefaultFileSystem().DeleteFile(target).IgnoreError();
    state.ResumeTiming();
    std::string name = target;
    ShowPackage package(DefaultFileSystem());
    if (!package.WritePackage(name, folder).ok()) state.SkipWithError("write failed");
  }
  DefaultFileSystem().DeleteFile(target).IgnoreError();
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_PackShow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_Md5Files(benchmark::State& state) {
  int64_t bytes = 0;
  std::string folder = PhotoFolder(&bytes);
  std::vector<FindData> found;
  DefaultFileSystem().Find(folder + "*.jpg", &found).IgnoreError();
  for (auto _ : state) {
    for (const FindData& f : found)
      benchmark::DoNotOptimize(Md5FileHex(DefaultFileSystem(), folder + f.name));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_Md5Files)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// A package of `entries` small entries and a meta.xml in the middle.
const std::string& PackageWith(int entries) {
  static std::map<int, std::string> made;
  auto it = made.find(entries);
  if (it != made.end()) return it->second;
  std::string folder = BenchFolder() + "entries" + std::to_string(entries) + "/";
  DefaultFileSystem().CreateDirectory(folder).IgnoreError();
  std::vector<FindData> found;
  DefaultFileSystem().Find(folder + "*.jpg", &found).IgnoreError();
  if (static_cast<int>(found.size()) < entries - 1) {
    std::string data(1000, 'x');
    for (int i = 0; i < entries - 1; ++i) {
      WriteWholeFile(DefaultFileSystem(), folder + "image" + std::to_string(100000 + i) + ".jpg",
                     data)
          .IgnoreError();
    }
  }
  WriteWholeFile(DefaultFileSystem(), folder + "meta.xml",
                 "<qx><show><title>Bench</title></show><images>"
                 "<image onlineFilename=\"image100000.jpg\"/></images></qx>")
      .IgnoreError();
  std::string target = BenchFolder() + "entries" + std::to_string(entries) + ".pkg";
  DefaultFileSystem().DeleteFile(target).IgnoreError();
  std::string name = target;
  ShowPackage package(DefaultFileSystem());
  // A package that could not be written fails the benchmark's open.
  package.WritePackage(name, folder).IgnoreError();
  return made[entries] = target;
}

void BM_OpenAndReadMeta(benchmark::State& state) {
  const std::string& path = PackageWith(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ShowPackage package(DefaultFileSystem());
    if (!package.OpenPackage(path, false).ok()) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(package.ReadEntryText("meta.xml"));
  }
}
BENCHMARK(BM_OpenAndReadMeta)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_Open(benchmark::State& state) {
  const std::string& path = PackageWith(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ShowPackage package(DefaultFileSystem());
    if (!package.OpenPackage(path, false).ok()) state.SkipWithError("open failed");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Open)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

void BM_ReadOneEntry(benchmark::State& state) {
  const std::string& path = PackageWith(static_cast<int>(state.range(0)));
  ShowPackage package(DefaultFileSystem());
  if (!package.OpenPackage(path, false).ok()) state.SkipWithError("open failed");
  std::string data;
  for (auto _ : state) {
    if (!package.ReadEntry("image100000.jpg", &data)) state.SkipWithError("read failed");
  }
}
BENCHMARK(BM_ReadOneEntry)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
