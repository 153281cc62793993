// Windows bitmap (.bmp) files, read directly in place of the platform image
// loader: the file as a device-independent bitmap section (its rows, bits
// per pixel, colours-used count and colour table) or just its size.
//
// Every header field is checked against the file's real size before
// anything is allocated; compressed bitmaps (RLE, embedded JPEG/PNG) are
// refused. 16 and 32 bits per pixel (plain or with BI_BITFIELDS masks) are
// converted to 24, so users see only 1, 4, 8 or 24 bits per pixel.
#ifndef TAVIRELLE_IMAGING_BITMAP_H_
#define TAVIRELLE_IMAGING_BITMAP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
};

struct DibSection {
  int32_t width = 0;
  int32_t height = 0;           // positive; `bits` holds the bottom row first
  uint16_t bitsPerPixel = 0;    // 1, 4, 8 or 24
  uint32_t colorsUsed = 0;      // the header's count as stored (0: none given)
  std::vector<RgbQuad> colorTable;  // the stored table (bitmaps up to 8 bits)
  uint32_t stride = 0;          // bytes per stored row, a multiple of 4
  std::vector<uint8_t> bits;    // height rows of `stride` bytes, bottom-up
};

// Bytes of one stored row: the bits of `width` pixels rounded up to whole
// 32-bit words.
uint64_t DibStride(uint64_t width, uint32_t bitsPerPixel);

// Loads a bitmap file as a DIB section. Fails when the file cannot be read,
// or with ERROR_INVALID_DATA when it is not a bitmap, is damaged or
// compressed.
Status LoadBitmapFile(FileSystem& fs, const std::string& path, DibSection* dib);

// The size of a bitmap file, checked as LoadBitmapFile checks it but without
// reading the pixels.
Status ReadBitmapFileSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height);

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_BITMAP_H_
