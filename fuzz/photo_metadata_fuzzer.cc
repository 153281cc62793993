// The EXIF metadata reader on any photo file, writing the preview it finds.
#include <cstddef>
#include <cstdint>

#include "fuzz_memory.h"
#include "imaging/photo_image.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PutInput("/fuzz/photo.jpg", data, size);
  PhotoImage image(FuzzFileSystem());
  PhotoMetadata info;
  image.ReadPhotoMetadata("/fuzz/photo.jpg", "/fuzz/thumb.jpg", &info);
  return 0;
}
