#include "imaging/photo_image.h"

#include <cstdlib>
#include <cstring>

#include "imaging/bitmap.h"
#include "util/file_utils.h"
// After the platform headers: libjpeg defines TRUE and FALSE as macros.
#include "imaging/jpeg_io.h"

#include <jerror.h>

namespace tavirelle {

namespace {

// A Huffman-coded JPEG spends at least one bit on every 8x8 block of its
// first component, so a file of n bytes cannot hold more than 512 n pixels.
// Headers that claim far more (twice the bound) come from damaged or hostile
// files, which would otherwise make the decoder allocate and fill a huge
// image from a few bytes.
constexpr uint64_t kMaxPixelsPerJpegByte = 1024;

// The power of two by which the decoder may reduce a width x height image
// and still deliver at least the size that fits the box. Reductions beyond
// 8 all mean 1/8 to the decoder.
unsigned ReductionFor(uint32_t width, uint32_t height, uint32_t boxWidth,
                      uint32_t boxHeight) {
  const double rw = static_cast<double>(boxWidth) / width;
  const double rh = static_cast<double>(boxHeight) / height;
  const double r = rw < rh ? rw : rh;
  const uint64_t fw = static_cast<uint64_t>(r * width);
  const uint64_t fh = static_cast<uint64_t>(r * height);
  unsigned d = 1;
  // Bounded so that an empty box (fitted size 0) cannot loop for ever.
  while (d < 16 && fw * d * 2 <= width && fh * d * 2 <= height) d *= 2;
  return d;
}

// The memory a multi-scan JPEG makes the decoder hold: every component's
// DCT coefficients for the whole image, whatever the reduction. Valid once
// the header is read (the block counts are set at the first scan).
uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
  uint64_t bytes = 0;
  for (int i = 0; i < cinfo.num_components; ++i) {
    const jpeg_component_info& c = cinfo.comp_info[i];
    bytes += uint64_t{c.width_in_blocks} * c.height_in_blocks * DCTSIZE2 *
             sizeof(JCOEF);
  }
  return bytes;
}

// One row of CMYK samples as RGB. Adobe's applications store CMYK (and the
// CMYK behind YCCK) inverted, 255 meaning no ink, and say so with their APP14
// marker; other writers store the amount of ink.
void CmykRowToRgb(const JSAMPLE* cmyk, uint8_t* rgb, uint32_t width,
                  bool inverted) {
  for (uint32_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int i = 0; i < 3; ++i) {
      const unsigned c = inverted ? cmyk[i] : 255u - cmyk[i];
      rgb[i] = static_cast<uint8_t>((c * k + 127) / 255);
    }
  }
}

// The functions below run while libjpeg may longjmp over them, so none of
// them holds anything with a destructor: the file belongs to the caller, the
// pixels are a malloc block the image owns, and the CMYK row buffer comes
// from the decompressor's own pool.

// Reads the header and chooses the output: RGB, reduced inside the decoder
// when the picture is larger than the box both ways. Returns whether the
// picture is CMYK (or YCCK), which libjpeg does not turn into RGB.
bool ChooseJpegOutput(PhotoImage* image, jpeg_decompress_struct* cinfo) {
  jpeg_read_header(cinfo, TRUE);
  image->sourceWidth = cinfo->image_width;
  image->sourceHeight = cinfo->image_height;
  image->multiScan = jpeg_has_multiple_scans(cinfo);
  image->progressive = cinfo->progressive_mode;
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK ||
                    cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (image->sourceWidth != image->targetWidth &&
      image->sourceHeight != image->targetHeight) {
    cinfo->scale_num = 1;
    cinfo->scale_denom = ReductionFor(image->sourceWidth, image->sourceHeight,
                                      image->targetWidth, image->targetHeight);
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    cinfo->dither_mode = JDITHER_NONE;
    cinfo->two_pass_quantize = FALSE;
  }
  return cmyk;
}

// Why the picture whose output was chosen must not be decoded, or kNone:
// the sizes are checked before the decoder allocates anything.
PictureFailure CheckJpegSizes(const PhotoImage& image, jpeg_decompress_struct* cinfo,
                              uint64_t fileSize, bool cmyk) {
  if (image.multiScan && CoefficientBytes(*cinfo) > kMaxDecoderMemory) {
    return PictureFailure::kTooLarge;
  }
  const uint64_t claimed = uint64_t{cinfo->image_width} * cinfo->image_height;
  if (!cinfo->arith_code && claimed > kMaxPixelsPerJpegByte * fileSize) {
    return PictureFailure::kDamaged;
  }
  jpeg_calc_output_dimensions(cinfo);
  if (cinfo->output_components != (cmyk ? 4 : 3)) return PictureFailure::kNotAPicture;
  const uint64_t outputPixels = uint64_t{cinfo->output_width} * cinfo->output_height;
  if (outputPixels > kMaxDecodedPixels) return PictureFailure::kTooLarge;
  return PictureFailure::kNone;
}

// Decodes every row into a new image->pixels; kNone, or why it stopped.
PictureFailure ReadJpegRows(PhotoImage* image, jpeg_decompress_struct* cinfo, bool cmyk) {
  jpeg_start_decompress(cinfo);
  const uint32_t rowBytes = cinfo->output_width * 3;
  image->pixelWidth = cinfo->output_width;
  image->pixelHeight = cinfo->output_height;
  image->pixelBytes = rowBytes * cinfo->output_height;
  image->pixels = static_cast<uint8_t*>(std::malloc(image->pixelBytes));
  if (image->pixels == nullptr) {
    image->pixelBytes = 0;
    return PictureFailure::kTooLarge;
  }
  JSAMPARRAY cmykRow =
      cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                         JPOOL_IMAGE, cinfo->output_width * 4, 1)
           : nullptr;
  while (cinfo->output_scanline < cinfo->output_height) {
    uint8_t* out = image->pixels + uint64_t{cinfo->output_scanline} * rowBytes;
    JSAMPROW row = cmyk ? cmykRow[0] : out;
    // The file source never suspends, so no progress means a broken stream.
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return PictureFailure::kDamaged;
    if (cmyk) CmykRowToRgb(row, out, cinfo->output_width, cinfo->saw_Adobe_marker);
  }
  // Whatever follows the last row is of no interest: no finish call.
  return PictureFailure::kNone;
}

// Decodes the JPEG in `file` into image->pixels; on failure sets
// image->failure. Every way out passes the one jpeg_destroy_decompress.
bool DecodeJpeg(PhotoImage* image, File* file, uint64_t fileSize) {
  jpeg_decompress_struct cinfo;
  JpegErrorTrap trap;
  // What a libjpeg error means depends on how far the decoding got.
  volatile PictureFailure failureOnError = PictureFailure::kNotAPicture;
  volatile PictureFailure failure = PictureFailure::kNone;
  cinfo.err = InitJpegErrorTrap(&trap);
  if (setjmp(trap.jump) == 0) {
    jpeg_create_decompress(&cinfo);
    // Whatever the checks miss, the decoder itself stays in bounds: it has
    // no backing store, so going past this is a fatal error.
    cinfo.mem->max_memory_to_use = static_cast<long>(kMaxDecoderMemory);
    // A read's failure leaves its reason on the image itself, out of the
    // frames the error exit jumps over.
    JpegFileSource(&cinfo, file, &image->failureError);
    const bool cmyk = ChooseJpegOutput(image, &cinfo);
    failureOnError = PictureFailure::kDamaged;
    failure = CheckJpegSizes(*image, &cinfo, fileSize, cmyk);
    if (failure == PictureFailure::kNone) failure = ReadJpegRows(image, &cinfo, cmyk);
  } else if (trap.manager.msg_code == JERR_FILE_READ) {
    failure = PictureFailure::kUnreadable;
  } else if (trap.manager.msg_code == JERR_OUT_OF_MEMORY ||
             trap.manager.msg_code == JERR_NO_BACKING_STORE) {
    failure = PictureFailure::kTooLarge;
  } else {
    failure = failureOnError;
  }
  jpeg_destroy_decompress(&cinfo);
  if (failure == PictureFailure::kNone) return true;
  image->failure = failure;
  return false;
}

bool ReadJpegSize(File* file, int32_t* width, int32_t* height) {
  jpeg_decompress_struct cinfo;
  JpegErrorTrap trap;
  volatile bool read = false;
  cinfo.err = InitJpegErrorTrap(&trap);
  if (setjmp(trap.jump) == 0) {
    jpeg_create_decompress(&cinfo);
    JpegFileSource(&cinfo, file, nullptr);
    jpeg_read_header(&cinfo, TRUE);
    *width = static_cast<int32_t>(cinfo.image_width);
    *height = static_cast<int32_t>(cinfo.image_height);
    read = true;
  }
  jpeg_destroy_decompress(&cinfo);
  return read;
}

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

// Decodes the bitmap file at `path` into image->pixels; on failure sets
// image->failure.
bool DecodeBitmap(PhotoImage* image, const std::string& path) {
  DibSection dib;
  if (!LoadBitmapFile(image->fileSystem(), path, &dib).ok()) return false;
  const uint32_t width = static_cast<uint32_t>(dib.width);
  const uint32_t height = static_cast<uint32_t>(dib.height);
  image->sourceWidth = width;
  image->sourceHeight = height;
  if (uint64_t{width} * height > kMaxDecodedPixels) {
    image->failure = PictureFailure::kTooLarge;
    return false;
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

  image->ReleasePixels();
  image->pixelWidth = width;
  image->pixelHeight = height;
  const uint32_t bytes = width * height * 3;
  image->pixels = static_cast<uint8_t*>(std::malloc(bytes));
  if (image->pixels == nullptr) {
    image->failure = PictureFailure::kTooLarge;
    return false;
  }
  image->pixelBytes = bytes;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = dib.bits.data() + uint64_t{height - 1 - y} * dib.stride;
    BitmapRowToRgb(dib, table, hasTable, row, image->pixels + uint64_t{y} * width * 3);
  }
  return true;
}

// The file, or null when it cannot be opened: for readers that ask only
// whether they can tell something about it.
std::unique_ptr<File> OpenForReading(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).IgnoreError();
  return file;
}

}  // namespace

PhotoImage::~PhotoImage() { Reset(); }

void PhotoImage::Reset() {
  ReleasePixels();
  std::free(window);
  window = nullptr;
  windowEnd = nullptr;
  windowPosition = 0;
  windowFile.reset();
  sourceWidth = sourceHeight = 0;
  pixelWidth = pixelHeight = 0;
  scaledWidth = scaledHeight = 0;
  loaded = false;
  failure = PictureFailure::kNone;
  preview = PreviewOutcome::kNone;
  failureError = ERROR_SUCCESS;
  multiScan = progressive = false;
}

void PhotoImage::ReleasePixels() {
  std::free(pixels);
  pixels = nullptr;
  pixelBytes = 0;
}

bool PhotoImage::Load(const std::string& path) {
  loaded = false;
  failure = PictureFailure::kNone;
  failureError = ERROR_SUCCESS;
  multiScan = progressive = false;
  ReleasePixels();
  if (path.empty()) {
    failure = PictureFailure::kUnreadable;
    failureError = ERROR_FILE_NOT_FOUND;
    return false;
  }

  std::unique_ptr<File> file;
  Status opened = fs_.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  if (!opened.ok()) {
    failureError = opened.code();
    // A folder refuses to open like a protected file, but is no picture.
    failure = FolderExists(fs_, path) ? PictureFailure::kNotAPicture
                                 : PictureFailure::kUnreadable;
    return false;
  }
  uint64_t fileSize = 0;
  Status sized = file->Size(&fileSize);
  if (!sized.ok()) {
    failure = PictureFailure::kUnreadable;
    failureError = sized.code();
    return false;
  }
  loaded = DecodeJpeg(this, file.get(), fileSize);
  file.reset();
  if (loaded) {
    failure = PictureFailure::kNone;
    return true;
  }
  // Only what is not a JPEG at all may be a bitmap.
  if (failure != PictureFailure::kNotAPicture || Extension(path) != ".bmp") {
    return false;
  }

  loaded = DecodeBitmap(this, path);
  if (loaded) failure = PictureFailure::kNone;
  return loaded;
}

bool ReadImageSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  bool found = false;
  if (std::unique_ptr<File> file = OpenForReading(fs, path)) {
    found = ReadJpegSize(file.get(), width, height);
  }
  if (!found) {
    int32_t w = 0, h = 0;
    if (ReadBitmapFileSize(fs, path, &w, &h).ok()) {
      *width = w;
      *height = h;
      found = true;
    }
  }
  if (!found) *width = *height = 0;
  return found;
}

namespace {

// Reads a file front to back in blocks, one byte at a time.
class ByteReader {
 public:
  explicit ByteReader(File* file) : file_(file) {}
  bool Next(uint8_t* byte) {
    if (at_ == end_) {
      DWORD done = 0;
      if (!file_->Read(buffer_, sizeof buffer_, &done).ok() || done == 0) return false;
      at_ = 0;
      end_ = done;
    }
    *byte = buffer_[at_++];
    return true;
  }
  bool Next16(uint16_t* value) {
    uint8_t high = 0, low = 0;
    if (!Next(&high) || !Next(&low)) return false;
    *value = static_cast<uint16_t>(high << 8 | low);
    return true;
  }
  bool Skip(uint32_t count) {
    for (uint8_t ignored = 0; count > 0; --count) {
      if (!Next(&ignored)) return false;
    }
    return true;
  }

 private:
  File* file_;
  uint8_t buffer_[8192];
  DWORD at_ = 0, end_ = 0;
};

bool IsFrameMarker(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool ReadFrameSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height) {
  std::unique_ptr<File> file = OpenForReading(fs, path);
  if (file == nullptr) return false;
  ByteReader in(file.get());
  uint8_t byte = 0, marker = 0;
  if (!in.Next(&byte) || byte != 0xFF || !in.Next(&marker) || marker != 0xD8) return false;
  bool in_scan = false;
  for (;;) {
    if (!in.Next(&byte)) return false;
    if (byte != 0xFF) {
      if (!in_scan) return false;  // between segments only markers may stand
      continue;                    // entropy-coded data
    }
    do {
      if (!in.Next(&marker)) return false;
    } while (marker == 0xFF);  // fill bytes
    // Inside a scan, a stuffed zero and the restart markers are data.
    if (in_scan && (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7))) continue;
    if (marker == 0xD9) return false;  // the end, and no height was given
    uint16_t length = 0;
    if (!in.Next16(&length) || length < 2) return false;
    if (IsFrameMarker(marker) && *width == 0) {
      uint8_t precision = 0;
      uint16_t lines = 0, samples = 0;
      if (length < 8 || !in.Next(&precision) || !in.Next16(&lines) || !in.Next16(&samples) ||
          !in.Skip(length - 7u)) {
        return false;
      }
      if (samples == 0) return false;
      *width = samples;
      *height = lines;
      if (lines != 0) return true;
      continue;
    }
    if (marker == 0xDC && *width != 0) {  // DNL: the number of lines
      uint16_t lines = 0;
      if (length != 4 || !in.Next16(&lines) || lines == 0) return false;
      *height = lines;
      return true;
    }
    if (!in.Skip(length - 2u)) return false;
    in_scan = marker == 0xDA;
  }
}

}  // namespace

bool ReadJpegFrameSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height) {
  *width = *height = 0;
  if (ReadFrameSize(fs, path, width, height)) return true;
  *width = *height = 0;
  return false;
}

}  // namespace tavirelle
