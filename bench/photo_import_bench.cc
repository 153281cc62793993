// AddPhoto of a photo whose embedded preview is kept, next to a plain copy of
// the same file (its floor): the copy, the metadata read and the preview
// write should cost little more than the copy.
//
//   photo_import_bench --photo=PATH   (a camera JPEG with a fitting preview)
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "com/bstr.h"
#include "platform/file_system.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "util/file_utils.h"

using namespace tavirelle;

namespace {

std::string g_photo;
const std::string kOut = "/tmp/tavirelle-import-bench/";

void BM_CopyFile(benchmark::State& state) {
  CreateFolderPath(DefaultFileSystem(), kOut).IgnoreError();
  for (auto _ : state) {
    DefaultFileSystem().CopyFile(g_photo, kOut + "copy.jpg", IfExists::kReplace).IgnoreError();
    state.PauseTiming();
    DefaultFileSystem().DeleteFile(kOut + "copy.jpg").IgnoreError();  // as AddPhoto's copies are
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond);

void BM_AddPhoto(benchmark::State& state) {
  auto* show = new CQXHelper();
  ScopedBstr out(BstrFromAnsi(kOut)), path(BstrFromAnsi(g_photo));
  show->put_OutputPath(out.get());
  for (auto _ : state) {
    auto* photo = new CPhotoDesc();
    photo->put_Path(path.get());
    show->AddPhoto(photo);
    photo->Release();
    state.PauseTiming();
    show->ClearPhotos();  // deletes the copy and thumbnail again
    state.ResumeTiming();
  }
  show->Release();
}
BENCHMARK(BM_AddPhoto)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--photo=", 8) == 0) g_photo = argv[i] + 8;
  }
  if (g_photo.empty()) {
    std::fprintf(stderr, "usage: photo_import_bench --photo=PATH [benchmark flags]\n");
    return 2;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
