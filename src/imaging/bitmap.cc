#include "imaging/bitmap.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/file_system.h"

namespace tavirelle {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kLargestHeaderSize = 124;  // BITMAPV5HEADER
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads until `n` bytes arrived or the file ends (reads may come back short).
Status ReadFully(File* file, void* buffer, uint64_t n) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(n, 1u << 30));
    DWORD done = 0;
    Status read = file->Read(out, chunk, &done);
    if (!read.ok()) return read;
    if (done == 0) return Status::Error(ERROR_HANDLE_EOF);
    out += done;
    n -= done;
  }
  return Status::Ok();
}

Status Invalid() { return Status::Error(ERROR_INVALID_DATA); }

// One colour channel of a 16 or 32-bit pixel: where its mask sits and how
// many bits it has.
struct Channel {
  uint32_t shift = 0;
  uint32_t bits = 0;
};

bool MakeChannel(uint32_t mask, uint32_t bitsPerPixel, Channel* channel) {
  if (mask == 0) return false;
  if (bitsPerPixel == 16 && (mask >> 16) != 0) return false;
  uint32_t shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;  // the mask's bits must be contiguous
  channel->shift = shift;
  channel->bits = static_cast<uint32_t>(__builtin_popcount(run));
  return true;
}

// Widens a channel value of `bits` bits to 8 by repeating its bits, so that
// full scale stays full scale (31 in 5 bits becomes 255).
uint8_t Widen(uint32_t value, uint32_t bits) {
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  uint32_t result = 0;
  uint32_t filled = 0;
  while (filled < 8) {
    result = (result << bits) | value;
    filled += bits;
  }
  return static_cast<uint8_t>(result >> (filled - 8));
}

// What the headers say, after every field was checked against the file.
struct Layout {
  int32_t width = 0;
  int32_t height = 0;  // positive
  bool topDown = false;
  uint32_t bitsPerPixel = 0;
  uint32_t colorsUsed = 0;
  uint64_t tableOffset = 0;
  uint32_t tableEntries = 0;
  uint32_t tableEntrySize = 4;
  Channel channels[3];  // red, green, blue (16 and 32 bits per pixel)
  uint64_t bitsOffset = 0;
  uint64_t stride = 0;
};

// The size, bit depth and compression from the core or info header `h`
// of `headerSize` bytes, checked.
Status ReadDimensions(const uint8_t* h, uint32_t headerSize, Layout* layout,
                      uint32_t* compression) {
  int64_t width, height;
  uint32_t planes;
  if (headerSize == kCoreHeaderSize) {
    width = Get16(h + 4);
    height = Get16(h + 6);
    planes = Get16(h + 8);
    layout->bitsPerPixel = Get16(h + 10);
    layout->tableEntrySize = 3;
  } else {
    width = static_cast<int32_t>(Get32(h + 4));
    height = static_cast<int32_t>(Get32(h + 8));
    planes = Get16(h + 12);
    layout->bitsPerPixel = Get16(h + 14);
    *compression = Get32(h + 16);
    layout->colorsUsed = Get32(h + 32);
  }
  const uint32_t bpp = layout->bitsPerPixel;
  if (planes != 1 || width <= 0 || height == 0) return Invalid();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    return Invalid();
  }
  layout->topDown = height < 0;
  if (height < 0) height = -height;
  if (height > INT32_MAX) return Invalid();
  layout->width = static_cast<int32_t>(width);
  layout->height = static_cast<int32_t>(height);
  return Status::Ok();
}

// The colour channels of 16 and 32-bit pixels: the masks the file gives
// (after a plain info header they follow it, moving *afterHeader), or the
// defaults of uncompressed bitmaps. Run-length rows pass only `sizeOnly`.
Status ReadChannels(const uint8_t* h, uint32_t headerSize, uint64_t headBytes, uint32_t compression,
                    bool sizeOnly, uint64_t* afterHeader, Layout* layout) {
  const uint32_t bpp = layout->bitsPerPixel;
  if (compression == kBiBitfields) {
    if (bpp != 16 && bpp != 32) return Invalid();
    const uint8_t* masks = h + kInfoHeaderSize;
    if (headerSize == kInfoHeaderSize) {
      *afterHeader += 12;
      if (*afterHeader > headBytes) return Invalid();
    }
    for (int c = 0; c < 3; ++c) {
      if (!MakeChannel(Get32(masks + 4 * c), bpp, &layout->channels[c])) {
        return Invalid();
      }
    }
    return Status::Ok();
  }
  if (compression == kBiRgb) {
    const uint32_t defaults16[3] = {0x7C00, 0x03E0, 0x001F};
    const uint32_t defaults32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    if (bpp == 16 || bpp == 32) {
      for (int c = 0; c < 3; ++c) {
        MakeChannel(bpp == 16 ? defaults16[c] : defaults32[c], bpp, &layout->channels[c]);
      }
    }
    return Status::Ok();
  }
  if (sizeOnly && ((compression == kBiRle8 && bpp == 8) || (compression == kBiRle4 && bpp == 4))) {
    return Status::Ok();
  }
  return Invalid();  // compressed rows: no pixels from these
}

// `sizeOnly`: the caller wants the size alone, which run-length bitmaps
// have as well; their rows are not checked.
Status ParseHeaders(File* file, bool sizeOnly, Layout* layout) {
  uint64_t fileSize = 0;
  Status status = file->Size(&fileSize);
  if (!status.ok()) return status;
  uint8_t head[kFileHeaderSize + kLargestHeaderSize + 12] = {};
  uint64_t headBytes = std::min<uint64_t>(fileSize, sizeof(head));
  if (headBytes < kFileHeaderSize + 4) return Invalid();
  status = file->Seek(0, SeekOrigin::kBegin, nullptr);
  if (status.ok()) status = ReadFully(file, head, headBytes);
  if (!status.ok()) return status;
  if (head[0] != 'B' || head[1] != 'M') return Invalid();
  const uint64_t bitsOffset = Get32(head + 10);
  const uint32_t headerSize = Get32(head + kFileHeaderSize);
  const uint8_t* h = head + kFileHeaderSize;
  if (headerSize != kCoreHeaderSize &&
      (headerSize < kInfoHeaderSize || headerSize > kLargestHeaderSize)) {
    return Invalid();
  }
  if (kFileHeaderSize + headerSize > headBytes) return Invalid();

  uint32_t compression = kBiRgb;
  status = ReadDimensions(h, headerSize, layout, &compression);
  if (!status.ok()) return status;
  const uint32_t bpp = layout->bitsPerPixel;
  const uint64_t width = static_cast<uint64_t>(layout->width);
  const uint64_t height = static_cast<uint64_t>(layout->height);
  uint64_t afterHeader = kFileHeaderSize + headerSize;
  status = ReadChannels(h, headerSize, headBytes, compression, sizeOnly, &afterHeader, layout);
  if (!status.ok()) return status;
  const bool runLength = compression == kBiRle8 || compression == kBiRle4;

  if (bpp <= 8) {
    const uint32_t most = 1u << bpp;
    if (layout->colorsUsed > most) return Invalid();
    layout->tableEntries = layout->colorsUsed != 0 ? layout->colorsUsed : most;
    layout->tableOffset = afterHeader;
    afterHeader += uint64_t{layout->tableEntries} * layout->tableEntrySize;
    if (afterHeader > fileSize) return Invalid();
  }

  layout->stride = runLength ? 0 : DibStride(width, bpp);
  if (DibStride(width, 24) > UINT32_MAX) return Invalid();
  if (bitsOffset < kFileHeaderSize + headerSize || bitsOffset > fileSize) {
    return Invalid();
  }
  if (layout->stride * height > fileSize - bitsOffset) {
    return Invalid();
  }
  layout->bitsOffset = bitsOffset;
  return Status::Ok();
}

// The colour table the layout locates, as read from the file.
Status ReadColorTable(File* file, const Layout& layout, std::vector<RgbQuad>* table) {
  if (layout.tableEntries == 0) return Status::Ok();
  std::vector<uint8_t> raw(uint64_t{layout.tableEntries} * layout.tableEntrySize);
  Status status = file->Seek(static_cast<int64_t>(layout.tableOffset), SeekOrigin::kBegin, nullptr);
  if (status.ok()) status = ReadFully(file, raw.data(), raw.size());
  if (!status.ok()) return status;
  for (uint32_t i = 0; i < layout.tableEntries; ++i) {
    const uint8_t* entry = raw.data() + uint64_t{i} * layout.tableEntrySize;
    (*table)[i].blue = entry[0];
    (*table)[i].green = entry[1];
    (*table)[i].red = entry[2];
  }
  return Status::Ok();
}

// 16 or 32-bit rows as stored, converted to three bytes blue, green, red
// like a 24-bit bitmap.
std::vector<uint8_t> ToBgr24(const Layout& layout, const std::vector<uint8_t>& stored) {
  const uint64_t width = static_cast<uint64_t>(layout.width);
  const uint64_t height = static_cast<uint64_t>(layout.height);
  const uint64_t stride = DibStride(width, 24);
  std::vector<uint8_t> converted(stride * height);
  const uint32_t bytesPerPixel = layout.bitsPerPixel / 8;
  for (uint64_t y = 0; y < height; ++y) {
    const uint8_t* in = stored.data() + y * layout.stride;
    uint8_t* out = converted.data() + y * stride;
    for (uint64_t x = 0; x < width; ++x, in += bytesPerPixel, out += 3) {
      const uint32_t value = bytesPerPixel == 2 ? Get16(in) : Get32(in);
      for (int c = 0; c < 3; ++c) {
        const Channel& ch = layout.channels[c];
        uint32_t v = (value >> ch.shift) & ((uint64_t{1} << ch.bits) - 1);
        out[2 - c] = Widen(v, ch.bits);
      }
    }
  }
  return converted;
}

}  // namespace

uint64_t DibStride(uint64_t width, uint32_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

Status ReadBitmapFileSize(FileSystem& fs, const std::string& path, int32_t* width,
                          int32_t* height) {
  std::unique_ptr<File> file;
  Status status = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  Layout layout;
  if (status.ok()) status = ParseHeaders(file.get(), true, &layout);
  if (!status.ok()) return status;
  *width = layout.width;
  *height = layout.height;
  return Status::Ok();
}

Status LoadBitmapFile(FileSystem& fs, const std::string& path, DibSection* dib) {
  std::unique_ptr<File> file;
  Status status = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  Layout layout;
  if (status.ok()) status = ParseHeaders(file.get(), false, &layout);
  std::vector<RgbQuad> table(layout.tableEntries);
  if (status.ok()) status = ReadColorTable(file.get(), layout, &table);
  if (!status.ok()) return status;

  const uint64_t height = static_cast<uint64_t>(layout.height);
  std::vector<uint8_t> stored(layout.stride * height);
  status = file->Seek(static_cast<int64_t>(layout.bitsOffset), SeekOrigin::kBegin, nullptr);
  if (status.ok()) status = ReadFully(file.get(), stored.data(), stored.size());
  if (!status.ok()) return status;

  dib->width = layout.width;
  dib->height = layout.height;
  dib->colorsUsed = layout.colorsUsed;
  dib->colorTable = std::move(table);
  if (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32) {
    dib->bitsPerPixel = 24;
    dib->stride = static_cast<uint32_t>(DibStride(static_cast<uint64_t>(layout.width), 24));
    dib->bits = ToBgr24(layout, stored);
  } else {
    dib->bitsPerPixel = static_cast<uint16_t>(layout.bitsPerPixel);
    dib->stride = static_cast<uint32_t>(layout.stride);
    dib->bits = std::move(stored);
  }
  if (layout.topDown) {
    // Users expect the bottom row first, as in every other bitmap.
    for (uint64_t y = 0; y < height / 2; ++y) {
      std::swap_ranges(dib->bits.begin() + y * dib->stride,
                       dib->bits.begin() + (y + 1) * dib->stride,
                       dib->bits.begin() + (height - 1 - y) * dib->stride);
    }
  }
  return Status::Ok();
}

}  // namespace tavirelle
