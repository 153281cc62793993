// The bitmap entry of the format table: the parser of bitmap.h, its rows
// turned top-down and into RGB.
#include <cstring>
#include <new>

#include "imaging/bitmap.h"
#include "imaging/decoders.h"

namespace tavirelle {

namespace {

// One bottom-up bitmap row as RGB. Without a colour table an 8-bit pixel is
// a grey level and a 4-bit one black.
void BitmapRowToRgb(const DibSection& dib, const RgbQuad* table, bool hasTable,
                    const uint8_t* row, uint8_t* out) {
  for (uint32_t x = 0; x < static_cast<uint32_t>(dib.width); ++x, out += 3) {
    switch (dib.bitsPerPixel) {
      case 24:
        out[0] = row[x * 3 + 2];
        out[1] = row[x * 3 + 1];
        out[2] = row[x * 3];
        break;
      case 8: {
        const uint8_t index = row[x];
        if (hasTable) {
          out[0] = table[index].red;
          out[1] = table[index].green;
          out[2] = table[index].blue;
        } else {
          out[0] = out[1] = out[2] = index;
        }
        break;
      }
      case 4: {
        const uint8_t index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        out[0] = hasTable ? table[index].red : 0;
        out[1] = hasTable ? table[index].green : 0;
        out[2] = hasTable ? table[index].blue : 0;
        break;
      }
      case 1: {
        const bool set = (row[x / 8] >> (7 - x % 8)) & 1;
        out[0] = out[1] = out[2] = set ? 255 : 0;
        break;
      }
    }
  }
}

}  // namespace

bool IsBitmapStart(const uint8_t* start, size_t size) {
  return size >= 2 && start[0] == 'B' && start[1] == 'M';
}

bool ReadBitmapSize(FileSystem& fs, const std::string& path, PixelSize* size) {
  int32_t width = 0, height = 0;
  if (!ReadBitmapFileSize(fs, path, &width, &height).ok()) return false;
  *size = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  return true;
}

void DecodeBitmap(const DecodeRequest& request, DecodedImage* image, PictureOutcome* outcome) {
  DibSection dib;
  // Whatever stops the parser, unreadable bytes included, means the file
  // is no bitmap it can take.
  if (!LoadBitmapFile(request.fs, request.path, &dib).ok()) {
    outcome->failure = PictureFailure::kNotAPicture;
    return;
  }
  const uint32_t width = static_cast<uint32_t>(dib.width);
  const uint32_t height = static_cast<uint32_t>(dib.height);
  outcome->source = {width, height};
  if (uint64_t{width} * height > kMaxDecodedPixels) {
    outcome->failure = PictureFailure::kTooLarge;
    return;
  }
  // Only a count of exactly 16 or 256 brings the colour table into play;
  // entries the file does not have stay black.
  RgbQuad table[256] = {};
  const bool hasTable = dib.colorsUsed == 256 || dib.colorsUsed == 16;
  if (hasTable) {
    const size_t n = dib.colorTable.size() < dib.colorsUsed
                         ? dib.colorTable.size() : dib.colorsUsed;
    if (n != 0) std::memcpy(table, dib.colorTable.data(), n * sizeof(RgbQuad));
  }

  image->size = {width, height};
  image->pixels.reset(new (std::nothrow) uint8_t[image->bytes()]);
  if (image->pixels == nullptr) {
    outcome->failure = PictureFailure::kTooLarge;
    return;
  }
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = dib.bits.data() + uint64_t{height - 1 - y} * dib.stride;
    BitmapRowToRgb(dib, table, hasTable, row, image->pixels.get() + uint64_t{y} * width * 3);
  }
}

}  // namespace tavirelle
