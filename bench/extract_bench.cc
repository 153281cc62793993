// Extracting a show from its package (IQXFileIO::GenerateTavirelleData)
// against copying the same files with cp, the tool a user would reach for.
// Both read files that sit in the page cache and write into an emptied
// folder (emptied outside the timing), so each measures the copying itself.
//
//   extract_bench [--photos N] [--megabytes M] --benchmark_repetitions=10
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "platform/file_system.h"
#include "tavirelle/interfaces.h"
#include "automation/qx_file_io.h"
#include "util/file_utils.h"

using namespace tavirelle;

namespace {

int g_photos = 40;
int g_megabytes = 5;

struct Show {
  std::string root, folder, package, extract_to, copy_to;
  uint64_t bytes = 0;
};

std::string PhotoName(int i) { return "photo" + std::to_string(1000 + i) + ".jpg"; }

// A show folder of g_photos photos of g_megabytes MB each (random bytes: the
// copy does not look inside them), packed once.
const Show& TheShow() {
  static Show show = [] {
    Show s;
    const char* tmp = std::getenv("TMPDIR");
    s.root = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/tavirelle-extract-bench-" +
             std::to_string(getpid()) + "/";
    s.folder = s.root + "show/";
    s.extract_to = s.root + "extracted/";
    s.copy_to = s.root + "copied/";
    s.package = s.root + "show.pkg";
    for (const std::string& f : {s.root, s.folder, s.extract_to, s.copy_to}) {
      DefaultFileSystem().CreateDirectory(f).IgnoreError();
    }
    std::mt19937_64 random(42);
    std::string meta = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx><show><title>Bench"
                       "</title><icon>" + PhotoName(0) + "</icon></show><images>";
    std::string data(static_cast<size_t>(g_megabytes) << 20, '\0');
    for (int i = 0; i < g_photos; ++i) {
      for (size_t at = 0; at + 8 <= data.size(); at += 8) {
        uint64_t v = random();
        std::memcpy(&data[at], &v, 8);
      }
      WriteWholeFile(DefaultFileSystem(), s.folder + PhotoName(i), data).IgnoreError();
      s.bytes += data.size();
      meta += "<image onlineFilename=\"" + PhotoName(i) + "\" />";
    }
    meta += "</images></qx>";
    WriteWholeFile(DefaultFileSystem(), s.folder + "meta.xml", meta).IgnoreError();

    IQXFileIO* io = nullptr;
    CreateQXFileIO(IQXFileIO::kIid, reinterpret_cast<void**>(&io));
    ScopedBstr target(BstrFromAnsi(s.package)), folder(BstrFromAnsi(s.folder)), written;
    if (io == nullptr ||
        io->WriteDotTavirelle(target.get(), folder.get(), written.Receive()) != S_OK) {
      std::fprintf(stderr, "extract_bench: cannot pack %s\n", s.folder.c_str());
      std::exit(1);
    }
    io->Release();
    return s;
  }();
  return show;
}

void RemoveTree(const std::string& folder) {
  for (const std::string& file : FindFiles(DefaultFileSystem(), folder + "*"))
    DefaultFileSystem().DeleteFile(file).IgnoreError();
  DefaultFileSystem().RemoveDirectory(folder).IgnoreError();
}

// Empties `folder` while the clock is stopped.
void StartAfresh(benchmark::State& state, const std::string& folder) {
  state.PauseTiming();
  RemoveTree(folder);
  DefaultFileSystem().CreateDirectory(folder).IgnoreError();
  state.ResumeTiming();
}

void BM_ExtractShow(benchmark::State& state) {
  const Show& show = TheShow();
  IQXFileIO* io = nullptr;
  CreateQXFileIO(IQXFileIO::kIid, reinterpret_cast<void**>(&io));
  ScopedBstr package(BstrFromAnsi(show.package)), out(BstrFromAnsi(show.extract_to));
  if (io->OpenDotTavirelle(package.get(), 0) != S_OK) {
    state.SkipWithError("cannot open the package");
    io->Release();
    return;
  }
  io->put_OutputPath(out.get());
  for (auto _ : state) {
    StartAfresh(state, show.extract_to);
    if (io->GenerateTavirelleData() != S_OK) state.SkipWithError("extraction failed");
  }
  io->Release();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * show.bytes));
}

void BM_CopyWithCp(benchmark::State& state) {
  const Show& show = TheShow();
  std::string command = "cp '" + show.folder + "'*.jpg '" + show.folder + "meta.xml' '" +
                        show.copy_to + "'";
  for (auto _ : state) {
    StartAfresh(state, show.copy_to);
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * show.bytes));
}

// On a shared machine the other processes only ever add time, so the
// fastest of several repetitions is the figure to compare (run with
// --benchmark_repetitions=N).
double Fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

BENCHMARK(BM_ExtractShow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)
    ->ComputeStatistics("min", Fastest);
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1)
    ->ComputeStatistics("min", Fastest);

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i + 1 < argc && std::strcmp(argv[i], "--photos") == 0) {
      g_photos = std::atoi(argv[++i]);
    } else if (i + 1 < argc && std::strcmp(argv[i], "--megabytes") == 0) {
      g_megabytes = std::atoi(argv[++i]);
    } else {
      rest.push_back(argv[i]);
    }
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const Show& show = TheShow();
  for (const std::string& f : {show.extract_to, show.copy_to, show.folder}) RemoveTree(f);
  DefaultFileSystem().DeleteFile(show.package).IgnoreError();
  DefaultFileSystem().RemoveDirectory(show.root).IgnoreError();
  return 0;
}
