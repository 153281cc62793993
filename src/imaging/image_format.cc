#include "imaging/image_format.h"

#include "imaging/decoders.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// JPEG first and by content: cameras and editors name them anything. A
// bitmap is taken only under its own name, as the platform loader it
// replaces did.
constexpr ImageFormat kFormats[] = {
    {"JPEG", nullptr, IsJpegStart, ReadJpegHeaderSize, DecodeJpeg},
    {"BMP", ".bmp", IsBitmapStart, ReadBitmapSize, DecodeBitmap},
};

}  // namespace

std::span<const ImageFormat> ImageFormats() { return kFormats; }

std::vector<const ImageFormat*> FormatsForName(std::string_view name) {
  const std::string extension = Extension(std::string(name));
  std::vector<const ImageFormat*> formats;
  for (const ImageFormat& format : kFormats) {
    if (format.extension == nullptr || extension == format.extension) formats.push_back(&format);
  }
  return formats;
}

const ImageFormat* RecogniseFormat(const uint8_t* start, size_t size) {
  for (const ImageFormat& format : kFormats) {
    if (format.recognise(start, size)) return &format;
  }
  return nullptr;
}

std::string FormatNamesInWords() {
  std::string words;
  const size_t count = std::size(kFormats);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) words += i + 1 == count ? " or " : ", ";
    words += kFormats[i].name;
  }
  return words;
}

}  // namespace tavirelle
