#include "testing/image_builder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace tavirelle {

namespace testing_images {
namespace {

struct EncoderError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void EncoderExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<EncoderError*>(cinfo->err)->jump, 1);
}

// Encodes rows made by `fill` (one row of width x components bytes at a
// time); false on a libjpeg error. Holds nothing with a destructor.
bool Encode(uint32_t width, uint32_t height, const JpegOptions& options,
            void (*fill)(const void* context, uint32_t y, uint8_t* row),
            const void* context, uint8_t* row, unsigned char** out,
            unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  EncoderError error;
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = EncoderExit;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = width;
  cinfo.image_height = height;
  switch (options.color) {
    case JpegColor::kRgb:
      cinfo.input_components = 3;
      cinfo.in_color_space = JCS_RGB;
      break;
    case JpegColor::kGrey:
      cinfo.input_components = 1;
      cinfo.in_color_space = JCS_GRAYSCALE;
      break;
    case JpegColor::kCmyk:
    case JpegColor::kYcck:
    case JpegColor::kPlainCmyk:
      cinfo.input_components = 4;
      cinfo.in_color_space = JCS_CMYK;
      break;
  }
  jpeg_set_defaults(&cinfo);
  if (options.color == JpegColor::kYcck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  if (options.color == JpegColor::kPlainCmyk) cinfo.write_Adobe_marker = FALSE;
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < height) {
    fill(context, cinfo.next_scanline, row);
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

struct PatternContext {
  const PixelFunction* pixel;
  uint32_t width;
  JpegColor color;
};

void FillPatternRow(const void* context, uint32_t y, uint8_t* row) {
  const PatternContext* c = static_cast<const PatternContext*>(context);
  for (uint32_t x = 0; x < c->width; ++x) {
    uint8_t rgb[3];
    (*c->pixel)(x, y, rgb);
    switch (c->color) {
      case JpegColor::kRgb:
        row[x * 3] = rgb[0];
        row[x * 3 + 1] = rgb[1];
        row[x * 3 + 2] = rgb[2];
        break;
      case JpegColor::kGrey:
        row[x] = static_cast<uint8_t>((rgb[0] + rgb[1] + rgb[2]) / 3);
        break;
      case JpegColor::kCmyk:
      case JpegColor::kYcck:
      case JpegColor::kPlainCmyk: {
        // Black ink makes the brightest channel; each colour ink darkens
        // its channel from there: r = (255 - c) * (255 - k) / 255.
        const unsigned top = std::max({rgb[0], rgb[1], rgb[2]});
        const bool inverted = c->color != JpegColor::kPlainCmyk;
        for (int i = 0; i < 3; ++i) {
          const unsigned left = top == 0 ? 255 : (rgb[i] * 255u + top / 2) / top;
          row[x * 4 + i] = static_cast<uint8_t>(inverted ? left : 255 - left);
        }
        row[x * 4 + 3] = static_cast<uint8_t>(inverted ? top : 255 - top);
        break;
      }
    }
  }
}

struct PixelsContext {
  const uint8_t* rgb;
  uint32_t width;
};

void FillPixelsRow(const void* context, uint32_t y, uint8_t* row) {
  const PixelsContext* c = static_cast<const PixelsContext*>(context);
  const size_t n = size_t{c->width} * 3;
  std::copy(c->rgb + y * n, c->rgb + (y + 1) * n, row);
}

std::string Finish(bool ok, unsigned char* out, unsigned long size) {
  std::string bytes;
  if (ok && out != nullptr) bytes.assign(reinterpret_cast<char*>(out), size);
  std::free(out);
  if (!ok) throw std::runtime_error("libjpeg could not encode the test image");
  return bytes;
}

std::string Le16(uint16_t v) { return {char(v & 0xFF), char(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

}  // namespace

void GradientPixel(uint32_t x, uint32_t y, uint8_t* rgb) {
  rgb[0] = static_cast<uint8_t>(x * 255 / 1024 + (y % 16 < 2 ? 40 : 0));
  rgb[1] = static_cast<uint8_t>(y * 255 / 1024);
  rgb[2] = static_cast<uint8_t>((x + 2 * y) % 256);
}

std::string EncodeJpeg(uint32_t width, uint32_t height,
                       const PixelFunction& pixel, const JpegOptions& options) {
  std::vector<uint8_t> row(size_t{width} * 4);
  PatternContext context{&pixel, width, options.color};
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const bool ok = Encode(width, height, options, FillPatternRow, &context,
                         row.data(), &out, &size);
  return Finish(ok, out, size);
}

std::string EncodeJpegPixels(const uint8_t* rgb, uint32_t width,
                             uint32_t height, int quality) {
  std::vector<uint8_t> row(size_t{width} * 3);
  PixelsContext context{rgb, width};
  JpegOptions options;
  options.quality = quality;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const bool ok = Encode(width, height, options, FillPixelsRow, &context,
                         row.data(), &out, &size);
  return Finish(ok, out, size);
}

std::string WithFrameSize(std::string jpeg, uint16_t width, uint16_t height) {
  // The frame header: FF Cn, length, precision, height, width.
  size_t sof = jpeg.find("\xFF\xC0");
  if (sof == std::string::npos) sof = jpeg.find("\xFF\xC2");
  if (sof == std::string::npos || sof + 9 > jpeg.size()) {
    throw std::runtime_error("no frame header to change");
  }
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

std::string Segment(uint8_t marker, const std::string& payload) {
  const size_t length = payload.size() + 2;
  std::string s = {char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)};
  return s + payload;
}

std::string XmpSegment() {
  return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"></x:xmpmeta>");
}

std::string WithSegments(const std::string& jpeg,
                         const std::vector<std::string>& segments,
                         bool dropApp0) {
  std::string rest = jpeg.substr(2);
  if (dropApp0 && rest.size() >= 4 && uint8_t(rest[1]) == 0xE0) {
    const size_t length = uint8_t(rest[2]) << 8 | uint8_t(rest[3]);
    rest = rest.substr(2 + length);
  }
  std::string out = jpeg.substr(0, 2);
  for (const std::string& s : segments) out += s;
  return out + rest;
}

std::string ExifBuilder::Bytes16(uint16_t v) const {
  return little_ ? Le16(v) : std::string{char(v >> 8), char(v & 0xFF)};
}

std::string ExifBuilder::Bytes32(uint32_t v) const {
  return little_ ? Le32(v) : Bytes16(v >> 16) + Bytes16(v & 0xFFFF);
}

IfdEntry ExifBuilder::Short(uint16_t tag, uint16_t value) const {
  return {tag, kShort, 1, Bytes16(value), std::nullopt};
}

IfdEntry ExifBuilder::Long(uint16_t tag, uint32_t value) const {
  return {tag, kLong, 1, Bytes32(value), std::nullopt};
}

IfdEntry ExifBuilder::Ascii(uint16_t tag, const std::string& text) const {
  return {tag, kAscii, static_cast<uint32_t>(text.size() + 1), text + '\0',
          std::nullopt};
}

IfdEntry ExifBuilder::Raw(uint16_t tag, uint16_t type, uint32_t count,
                          uint32_t field) const {
  return {tag, type, count, "", field};
}

std::string ExifBuilder::Payload() const {
  std::vector<IfdEntry> dir0 = ifd0;
  if (writeExifPointer && (exifPointer || !exif.empty())) {
    dir0.push_back(Long(0x8769, 0));  // value filled in below
  }
  std::vector<IfdEntry> dir1 = ifd1;
  const bool hasPreview = !preview.empty() || previewLength || previewOffset;
  if (hasPreview) {
    dir1.push_back(Short(0x0103, previewCompression));
    dir1.push_back(Long(0x0201, 0));
    dir1.push_back(Long(0x0202, 0));
  }
  const size_t previewEntries = dir1.size();
  dir1.insert(dir1.end(), ifd1Tail.begin(), ifd1Tail.end());
  auto sizeOf = [](const std::vector<IfdEntry>& dir) {
    uint32_t size = 2 + 12 * static_cast<uint32_t>(dir.size()) + 4;
    for (const IfdEntry& e : dir) {
      if (!e.field && e.data.size() > 4) size += (e.data.size() + 1) & ~size_t{1};
    }
    return size;
  };
  const uint32_t at0 = 8;
  const uint32_t atExif = at0 + sizeOf(dir0);
  const uint32_t at1 = atExif + (exif.empty() ? 0 : sizeOf(exif));
  const uint32_t atPreview = at1 + (dir1.empty() ? 0 : sizeOf(dir1));
  for (IfdEntry& e : dir0) {
    if (e.tag == 0x8769 && !e.field) e.field = exifPointer.value_or(atExif);
  }
  if (hasPreview) {
    dir1[previewEntries - 2].field = previewOffset.value_or(atPreview);
    dir1[previewEntries - 1].field =
        previewLength.value_or(static_cast<uint32_t>(preview.size()));
  }

  auto write = [&](const std::vector<IfdEntry>& dir, uint32_t at, uint32_t next) {
    std::string head = Bytes16(static_cast<uint16_t>(dir.size()));
    std::string data;
    uint32_t dataAt = at + 2 + 12 * static_cast<uint32_t>(dir.size()) + 4;
    for (const IfdEntry& e : dir) {
      head += Bytes16(e.tag) + Bytes16(e.type) + Bytes32(e.count);
      if (e.field) {
        head += Bytes32(*e.field);
      } else if (e.data.size() <= 4) {
        head += e.data + std::string(4 - e.data.size(), '\0');
      } else {
        head += Bytes32(dataAt + static_cast<uint32_t>(data.size()));
        data += e.data;
        if (data.size() % 2) data += '\0';
      }
    }
    return head + Bytes32(next) + data;
  };
  std::string tiff = byteOrderMark.empty() ? (little_ ? "II" : "MM") : byteOrderMark;
  tiff += Bytes16(magic) + Bytes32(at0);
  tiff += write(dir0, at0, ifd1Offset.value_or(dir1.empty() ? 0 : at1));
  if (!exif.empty()) tiff += write(exif, atExif, 0);
  if (!dir1.empty()) tiff += write(dir1, at1, 0);
  tiff += preview;
  return std::string("Exif\0\0", 6) + tiff;
}

std::string WithExif(const std::string& jpeg, const ExifBuilder& exif,
                     bool keepApp0) {
  std::string out = WithSegments(jpeg, {exif.App1()}, /*dropApp0=*/true);
  if (keepApp0 && jpeg.size() >= 6 && uint8_t(jpeg[3]) == 0xE0) {
    const size_t length = uint8_t(jpeg[4]) << 8 | uint8_t(jpeg[5]);
    out = WithSegments(jpeg, {jpeg.substr(2, 2 + length), exif.App1()}, /*dropApp0=*/true);
  }
  return out;
}

std::string CameraPhoto(const CameraShot& shot) {
  ExifBuilder exif(shot.little_endian);
  if (!shot.date.empty()) exif.ifd0.push_back(exif.Ascii(0x0132, shot.date));
  if (shot.stated_width != 0) exif.exif.push_back(exif.Short(0xA002, shot.stated_width));
  if (shot.stated_height != 0) exif.exif.push_back(exif.Short(0xA003, shot.stated_height));
  exif.preview = shot.preview;
  return WithExif(EncodeJpeg(shot.width, shot.height), exif);
}

std::string BuildBmp(const BmpLayout& bmp) {
  std::string header;
  if (bmp.headerSize == 12) {
    header = Le32(12) + Le16(static_cast<uint16_t>(bmp.width)) +
             Le16(static_cast<uint16_t>(bmp.height)) + Le16(bmp.planes) +
             Le16(bmp.bitsPerPixel);
  } else {
    header = Le32(bmp.headerSize) + Le32(static_cast<uint32_t>(bmp.width)) +
             Le32(static_cast<uint32_t>(bmp.height)) + Le16(bmp.planes) +
             Le16(bmp.bitsPerPixel) + Le32(bmp.compression) +
             Le32(static_cast<uint32_t>(bmp.rows.size())) + Le32(2835) +
             Le32(2835) + Le32(bmp.colorsUsed) + Le32(0);
    std::string masks;
    for (uint32_t m : bmp.masks) masks += Le32(m);
    if (bmp.headerSize == 40) {
      header += masks;
    } else {
      masks.resize(bmp.headerSize - 40, '\0');
      header += masks;
    }
  }
  std::string table;
  for (const BmpColor& c : bmp.table) {
    table += {char(c.blue), char(c.green), char(c.red)};
    if (bmp.headerSize != 12) table += char(c.reserved);
  }
  const uint32_t offset = 14 + static_cast<uint32_t>(header.size() + table.size());
  const uint32_t total = offset + static_cast<uint32_t>(bmp.rows.size());
  return "BM" + Le32(total) + Le32(0) + Le32(bmp.bitsOffset.value_or(offset)) +
         header + table + bmp.rows;
}

std::string StoredRows(int32_t width, int32_t height, uint16_t bitsPerPixel,
                       const std::function<uint32_t(uint32_t x, uint32_t y)>& value) {
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  const size_t stride = (size_t(width) * bitsPerPixel + 31) / 32 * 4;
  std::string out(stride * rows, '\0');
  for (uint32_t y = 0; y < rows; ++y) {
    const uint32_t stored = height < 0 ? y : rows - 1 - y;
    uint8_t* row = reinterpret_cast<uint8_t*>(&out[stored * stride]);
    for (uint32_t x = 0; x < uint32_t(width); ++x) {
      const uint32_t v = value(x, y);
      switch (bitsPerPixel) {
        case 1: row[x / 8] |= (v & 1) << (7 - x % 8); break;
        case 4: row[x / 2] |= (v & 0xF) << (x % 2 ? 0 : 4); break;
        case 8: row[x] = uint8_t(v); break;
        case 16: row[2 * x] = uint8_t(v); row[2 * x + 1] = uint8_t(v >> 8); break;
        case 24:
          row[3 * x] = uint8_t(v);
          row[3 * x + 1] = uint8_t(v >> 8);
          row[3 * x + 2] = uint8_t(v >> 16);
          break;
        case 32:
          for (int b = 0; b < 4; ++b) row[4 * x + b] = uint8_t(v >> (8 * b));
          break;
      }
    }
  }
  return out;
}

}  // namespace testing_images

}  // namespace tavirelle
