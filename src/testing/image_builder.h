// Builds image files for tests, byte by byte where the bytes matter: JPEG
// files of chosen size and content (encoded with libjpeg), marker segments
// to put in front of them, EXIF blocks with chosen directories, entries and
// previews in either byte order, and bitmap files with chosen headers.
#ifndef TAVIRELLE_TESTING_IMAGE_BUILDER_H_
#define TAVIRELLE_TESTING_IMAGE_BUILDER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavirelle {

namespace testing_images {

// ---- JPEG ----

// Gives the red, green, blue of pixel (x, y) (y = 0 is the top row).
using PixelFunction = std::function<void(uint32_t x, uint32_t y, uint8_t* rgb)>;

// A smooth colour gradient with some detail, unlike any of its mirror
// images, so flipped or shifted decodes show.
void GradientPixel(uint32_t x, uint32_t y, uint8_t* rgb);

// kCmyk and kYcck are written as Adobe's applications write them: with an
// APP14 marker and the ink stored inverted (255 = none); kPlainCmyk has no
// marker and stores the amount of ink. All three use the black channel for
// the darkness the pixel shares in all colours.
enum class JpegColor { kRgb, kGrey, kCmyk, kYcck, kPlainCmyk };

struct JpegOptions {
  int quality = 90;
  JpegColor color = JpegColor::kRgb;
  bool progressive = false;
};

// The bytes of a JFIF file (SOI, APP0, ...) of the given size, encoded row by
// row so large images need little memory.
std::string EncodeJpeg(uint32_t width, uint32_t height,
                       const PixelFunction& pixel = GradientPixel,
                       const JpegOptions& options = {});
// The bytes of a JPEG of the given RGB pixels (rows top-down, no gaps).
std::string EncodeJpegPixels(const uint8_t* rgb, uint32_t width,
                             uint32_t height, int quality = 90);

// `jpeg` with another size written into its baseline (SOF0) or progressive
// (SOF2) frame header: a header that claims what the data does not hold.
std::string WithFrameSize(std::string jpeg, uint16_t width, uint16_t height);

// A marker segment: 0xFF, marker, big-endian length (payload + 2), payload.
std::string Segment(uint8_t marker, const std::string& payload);
// An APP1 segment carrying an XMP packet.
std::string XmpSegment();
// `jpeg` with `segments` inserted right after its SOI marker; with
// `dropApp0` the encoder's JFIF APP0 is removed first.
std::string WithSegments(const std::string& jpeg,
                         const std::vector<std::string>& segments,
                         bool dropApp0 = false);

// ---- EXIF ----

// TIFF value types.
enum : uint16_t {
  kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kDouble = 12,
};

struct IfdEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  // The value's bytes (already in the block's byte order). Up to 4 bytes go
  // into the value field; longer values are placed after the directory and
  // the field gets their offset.
  std::string data;
  // When set, written as the value field (a 32-bit number in the block's
  // order) instead of anything derived from `data`: offsets that point
  // anywhere, sizes that lie.
  std::optional<uint32_t> field;
};

class ExifBuilder {
 public:
  explicit ExifBuilder(bool littleEndian = true) : little_(littleEndian) {}

  // Entries in the block's byte order.
  IfdEntry Short(uint16_t tag, uint16_t value) const;
  IfdEntry Long(uint16_t tag, uint32_t value) const;
  IfdEntry Ascii(uint16_t tag, const std::string& text) const;  // adds the NUL
  IfdEntry Raw(uint16_t tag, uint16_t type, uint32_t count,
               uint32_t field) const;

  // Directory entries, written in this order.
  std::vector<IfdEntry> ifd0;
  std::vector<IfdEntry> exif;  // with entries, IFD0 gets a pointer to them
  std::vector<IfdEntry> ifd1;  // the preview's entries are added after these
  std::vector<IfdEntry> ifd1Tail;  // and these after the preview's entries

  // The embedded preview: IFD1 gets Compression (`previewCompression`),
  // JPEGInterchangeFormat and JPEGInterchangeFormatLength, and the bytes
  // follow IFD1.
  std::string preview;
  uint16_t previewCompression = 6;

  // Overrides of the links the builder would otherwise compute.
  std::optional<uint32_t> exifPointer;     // IFD0's 0x8769 value (added even
                                           // without Exif entries)
  bool writeExifPointer = true;            // false: no 0x8769 entry at all
  std::optional<uint32_t> ifd1Offset;      // IFD0's next-directory offset
  std::optional<uint32_t> previewOffset;   // relative to the TIFF header
  std::optional<uint32_t> previewLength;
  std::string byteOrderMark;               // instead of "II"/"MM" when set
  uint16_t magic = 42;

  // "Exif\0\0" and the TIFF block: the payload of the APP1 segment.
  std::string Payload() const;
  // The whole APP1 segment.
  std::string App1() const { return Segment(0xE1, Payload()); }

 private:
  std::string Bytes16(uint16_t v) const;
  std::string Bytes32(uint32_t v) const;
  bool little_;
};

// A camera-like photo: SOI, APP1 Exif of `exif`, then the rest of `jpeg`
// (its JFIF APP0 kept after the Exif block when `keepApp0`).
std::string WithExif(const std::string& jpeg, const ExifBuilder& exif,
                     bool keepApp0 = false);

// What a camera writes: a JPEG of `width` x `height` pixels whose Exif block
// holds the capture date (unless empty), the size the camera states (unless
// zero; a test may state a size far larger than the pixels it pays for)
// and an embedded preview (unless empty).
struct CameraShot {
  uint32_t width = 64, height = 48;
  std::string date = "2021:05:06 07:08:09";
  uint16_t stated_width = 0, stated_height = 0;
  std::string preview;
  bool little_endian = true;
};
std::string CameraPhoto(const CameraShot& shot);

// ---- Bitmaps ----

struct BmpColor {
  uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;  // negative for rows stored top-down
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t headerSize = 40;        // 12, 40, 108 or 124
  std::vector<BmpColor> table;     // written after the header (and masks)
  std::vector<uint32_t> masks;     // red, green, blue; after a 40-byte header
                                   // or inside a larger one
  std::string rows;                // the stored pixel data
  std::optional<uint32_t> bitsOffset;  // instead of where `rows` really start
  uint16_t planes = 1;
};

// The bytes of a bitmap file.
std::string BuildBmp(const BmpLayout& bmp);

// Stored rows for a bitmap: `value(x, y)` (y = 0 is the top row) gives the
// pixel as stored: an index for 1, 4 and 8 bits, 0xRRGGBB for 24, the raw
// 16 or 32-bit word otherwise. Rows go bottom-up (top-down for a negative
// height), each padded to 4 bytes.
std::string StoredRows(int32_t width, int32_t height, uint16_t bitsPerPixel,
                       const std::function<uint32_t(uint32_t x, uint32_t y)>& value);

}  // namespace testing_images

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_IMAGE_BUILDER_H_
