// Decoding and sizing any file named like an image: built once as a .jpg
// (the JPEG decoder) and once as a .bmp (the bitmap parser), by
// TAVIRELLE_FUZZ_IMAGE_PATH.
#include <cstddef>
#include <cstdint>

#include "fuzz_memory.h"
#include "imaging/photo_image.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = TAVIRELLE_FUZZ_IMAGE_PATH;
  PutInput(path, data, size);
  int32_t width = 0, height = 0;
  ReadImageSize(FuzzFileSystem(), path, &width, &height);

  PhotoImage image(FuzzFileSystem());
  DecodedImage decoded;
  if (image.Load(path, {96, 72}, &decoded).ok()) {
    // Odd sizes reach the scaler too.
    PhotoImage::ScaleToTarget(decoded, {96, 72});
  }
  return 0;
}
