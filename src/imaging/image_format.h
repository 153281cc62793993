// The picture formats the imaging code reads, as one table: each entry says
// how to recognise its files, read their size and decode them. Everything
// that asks "which format is this, and may it be read as one" asks the
// table, so a new format is one entry in image_format.cc and its three
// functions (declared in decoders.h, written in a file of their own).
//
// Which formats a photo is tried as depends on its name: a format with no
// extension is recognised by its content whatever the name (JPEG), one with
// an extension only under a name that ends in it, in any case (BMP, ".bmp").
// They are tried in the table's order, and the first that is not plainly
// "not this format" decides. Reading a size asks every format, whatever the
// name.
#ifndef TAVIRELLE_IMAGING_IMAGE_FORMAT_H_
#define TAVIRELLE_IMAGING_IMAGE_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// The largest decoded image a decoder delivers, in pixels (after its own
// reduction): its buffer of 3 bytes a pixel (384 MiB) still fits 32 bits.
// Larger headers make decoding fail rather than allocate.
inline constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 27;

// The most memory the JPEG decoder may take for one photo. A progressive or
// otherwise multi-scan JPEG keeps every DCT coefficient of the whole image
// (128 bytes per 8x8 block and component) whatever the reduction, so a few
// megabytes of file can claim gigabytes; such files are refused beyond this.
// A baseline JPEG is decoded row by row and needs a few MiB.
inline constexpr uint64_t kMaxDecoderMemory = uint64_t{512} << 20;

struct PixelSize {
  uint32_t width = 0;
  uint32_t height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A decoded picture: size.height rows from top to bottom, each size.width x
// 3 bytes (red, green, blue), no gaps. No pixels: nothing was decoded.
struct DecodedImage {
  PixelSize size;
  std::unique_ptr<uint8_t[]> pixels;
  size_t bytes() const { return size_t{size.width} * size.height * 3; }
};

// Why a photo gave no pixels or no thumbnail.
enum class PictureFailure {
  kNone,
  kUnreadable,   // the photo cannot be opened or read (the status says why)
  kNotAPicture,  // no format of the table takes it under its name
  kDamaged,      // a JPEG whose header claims more than its data can hold,
                 // or whose data breaks off in a way the decoder cannot mend
  kTooLarge,     // decoding would take more memory than the bounds allow
  kNoFit,        // decoded, but no thumbnail of the box's height can hold it
  kUnwritable,   // the thumbnail cannot be written (the status says why)
};

// What became of decoding a photo (and of writing its thumbnail): success,
// or the kind of failure with what a message about it needs.
struct PictureOutcome {
  PictureFailure failure = PictureFailure::kNone;
  // The platform's reason for kUnreadable and kUnwritable; ok() when it gave
  // none.
  Status status;
  // The size stored in the file, once its header was read.
  PixelSize source;
  // A JPEG in several scans (progressive, or one component a scan), which
  // the decoder buffers whole.
  bool multiScan = false;
  bool progressive = false;
  // For kNoFit: the height no thumbnail of could hold the picture's shape.
  uint32_t boxHeight = 0;

  bool ok() const { return failure == PictureFailure::kNone; }
};

// What a decoder is given: the photo open at its start, its size in bytes,
// its path (for decoders that read by name) and the thumbnail box the
// decoder may reduce towards (0 x 0: as small as it can).
struct DecodeRequest {
  FileSystem& fs;
  const std::string& path;
  File* file;
  uint64_t fileSize;
  PixelSize box;
};

struct ImageFormat {
  const char* name;       // "JPEG": for messages
  const char* extension;  // ".bmp": the only names it is tried under; null: any
  // Whether a file starting with these bytes (at most the first 16) claims
  // to be of this format.
  bool (*recognise)(const uint8_t* start, size_t size);
  // The size stated by the file's headers; false when it gives none.
  bool (*readSize)(FileSystem& fs, const std::string& path, PixelSize* size);
  // Decodes into `image`, or says in `outcome` why not (kNotAPicture: the
  // file is not of this format, and the next format may try). Sets
  // outcome->source as soon as the header is read.
  void (*decode)(const DecodeRequest& request, DecodedImage* image, PictureOutcome* outcome);
};

// Every format, in the order they are tried.
std::span<const ImageFormat> ImageFormats();

// The formats a photo named `name` is tried as, in order.
std::vector<const ImageFormat*> FormatsForName(std::string_view name);

// The format whose files start as `start` does; null for none.
const ImageFormat* RecogniseFormat(const uint8_t* start, size_t size);

// "JPEG or BMP": the formats' names for a message saying a file is none.
std::string FormatNamesInWords();

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_IMAGE_FORMAT_H_
