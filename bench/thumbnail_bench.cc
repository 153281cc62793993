// Thumbnail making in-process: the whole MakeThumbnail of a 12-megapixel
// photo against the decode it cannot avoid (the same file through the same
// source manager, reduced by 8 inside the DCT), and the steps after the
// decode on their own. bench/thumbnail_peers.sh compares whole processes
// with other tools.
//
// The photo is generated (4000 x 3000, quality 90) unless
// TAVIRELLE_BENCH_PHOTO names one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "imaging/photo_image.h"
#include "imaging/two_pass_scale.h"
#include "platform/file_system.h"
#include "util/file_utils.h"
// After the platform headers: libjpeg defines TRUE and FALSE as macros.
#include "imaging/jpeg_io.h"

using namespace tavirelle;

namespace {

std::vector<uint8_t> CameraLikePixels(uint32_t width, uint32_t height) {
  std::vector<uint8_t> pixels(size_t{width} * height * 3);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      double u = double(x) / width, v = double(y) / height;
      double t = std::sin(x * 0.09 + std::sin(y * 0.05) * 3) * std::sin(y * 0.11);
      seed = seed * 1103515245u + 12345u;
      double noise = double((seed >> 16) & 31) - 15.5;
      double rgb[3] = {v < 0.45 ? 90 + 120 * v : 70 + 40 * t + 50 * v,
                       v < 0.45 ? 140 + 90 * v : 110 + 50 * t,
                       v < 0.45 ? 230 - 40 * v + 20 * u : 40 + 20 * t};
      for (int k = 0; k < 3; ++k) {
        double c = rgb[k] + noise;
        pixels[(size_t{y} * width + x) * 3 + k] =
            uint8_t(c < 0 ? 0 : c > 255 ? 255 : c);
      }
    }
  }
  return pixels;
}

const std::string& Photo() {
  static const std::string path = [] {
    if (const char* given = std::getenv("TAVIRELLE_BENCH_PHOTO")) return std::string(given);
    std::string made = "/tmp/tavirelle_thumbnail_bench_photo.jpg";
    std::vector<uint8_t> pixels = CameraLikePixels(4000, 3000);
    PhotoImage::WriteJpeg(DefaultFileSystem(), made, pixels.data(), 4000, 3000, 90).IgnoreError();
    return made;
  }();
  return path;
}

// The floor: what libjpeg alone spends to deliver the 1/8 image.
bool DecodeReduced(File* file, std::vector<uint8_t>* pixels) {
  jpeg_decompress_struct cinfo;
  JpegErrorTrap trap;
  cinfo.err = InitJpegErrorTrap(&trap);
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  JpegFileSource(&cinfo, file, nullptr);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.scale_num = 1;
  cinfo.scale_denom = 8;
  cinfo.dct_method = JDCT_IFAST;
  cinfo.do_fancy_upsampling = FALSE;
  cinfo.do_block_smoothing = FALSE;
  jpeg_start_decompress(&cinfo);
  pixels->resize(size_t{cinfo.output_width} * cinfo.output_height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels->data() + size_t{cinfo.output_scanline} * cinfo.output_width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_destroy_decompress(&cinfo);
  return true;
}

void BM_DecodeFloor(benchmark::State& state) {
  const std::string& photo = Photo();  // made before the clock runs
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    std::unique_ptr<File> file;
    if (!DefaultFileSystem().Open(photo, GENERIC_READ, Disposition::kOpenExisting, &file).ok() ||
        !DecodeReduced(file.get(), &pixels)) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_DecodeFloor)->Unit(benchmark::kMillisecond);

void BM_MakeThumbnail(benchmark::State& state) {
  const std::string& photo = Photo();
  for (auto _ : state) {
    PhotoImage image(DefaultFileSystem());
    if (!image.MakeThumbnail(photo, "/tmp/tavirelle_thumbnail_bench_out.jpg", kImportThumbnail)
             .outcome.ok()) {
      state.SkipWithError("thumbnail failed");
    }
  }
}
BENCHMARK(BM_MakeThumbnail)->Unit(benchmark::kMillisecond);

// The work after the decode: 408 x 306 (a 3264 x 2448 photo at 1/8) to
// 133 x 100, then the encode.
void BM_Scale408x306To133x100(benchmark::State& state) {
  std::vector<uint8_t> source = CameraLikePixels(408, 306), out(133 * 100 * 3);
  C2PassScale<CHammingFilter> scaler;
  for (auto _ : state) {
    benchmark::DoNotOptimize(scaler.Scale(source.data(), 408, 306, out.data(), 133, 100));
  }
}
BENCHMARK(BM_Scale408x306To133x100)->Unit(benchmark::kMicrosecond);

void BM_WriteJpeg133x100(benchmark::State& state) {
  std::vector<uint8_t> pixels = CameraLikePixels(133, 100);
  for (auto _ : state) {
    PhotoImage::WriteJpeg(DefaultFileSystem(), "/tmp/tavirelle_thumbnail_bench_out.jpg",
                          pixels.data(), 133, 100, 100)
        .IgnoreError();
  }
}
BENCHMARK(BM_WriteJpeg133x100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
