// The JPEG entry of the format table: libjpeg, reduced inside the decoder
// towards the thumbnail box, with every size checked before it allocates.
#include <cstring>
#include <new>

#include "imaging/decoders.h"
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
// them holds anything with a destructor: the file, the image and the
// outcome belong to the caller, and the CMYK row buffer comes from the
// decompressor's own pool.

// Reads the header and chooses the output: RGB, reduced inside the decoder
// when the picture is larger than the box both ways. Returns whether the
// picture is CMYK (or YCCK), which libjpeg does not turn into RGB.
bool ChooseJpegOutput(PixelSize box, jpeg_decompress_struct* cinfo, PictureOutcome* outcome) {
  jpeg_read_header(cinfo, TRUE);
  outcome->source = {cinfo->image_width, cinfo->image_height};
  outcome->multiScan = jpeg_has_multiple_scans(cinfo);
  outcome->progressive = cinfo->progressive_mode;
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK ||
                    cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (outcome->source.width != box.width && outcome->source.height != box.height) {
    cinfo->scale_num = 1;
    cinfo->scale_denom =
        ReductionFor(outcome->source.width, outcome->source.height, box.width, box.height);
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
PictureFailure CheckJpegSizes(const PictureOutcome& outcome, jpeg_decompress_struct* cinfo,
                              uint64_t fileSize, bool cmyk) {
  if (outcome.multiScan && CoefficientBytes(*cinfo) > kMaxDecoderMemory) {
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

// Decodes every row into new pixels of `image`; kNone, or why it stopped.
PictureFailure ReadJpegRows(DecodedImage* image, jpeg_decompress_struct* cinfo, bool cmyk) {
  jpeg_start_decompress(cinfo);
  const uint32_t rowBytes = cinfo->output_width * 3;
  image->size = {cinfo->output_width, cinfo->output_height};
  image->pixels.reset(new (std::nothrow) uint8_t[image->bytes()]);
  if (image->pixels == nullptr) return PictureFailure::kTooLarge;
  JSAMPARRAY cmykRow =
      cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                         JPOOL_IMAGE, cinfo->output_width * 4, 1)
           : nullptr;
  while (cinfo->output_scanline < cinfo->output_height) {
    uint8_t* out = image->pixels.get() + uint64_t{cinfo->output_scanline} * rowBytes;
    JSAMPROW row = cmyk ? cmykRow[0] : out;
    // The file source never suspends, so no progress means a broken stream.
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return PictureFailure::kDamaged;
    if (cmyk) CmykRowToRgb(row, out, cinfo->output_width, cinfo->saw_Adobe_marker);
  }
  // Whatever follows the last row is of no interest: no finish call.
  return PictureFailure::kNone;
}

// The decoding itself; a read's failure leaves its platform code in
// *readError, out of the frames the error exit jumps over. Every way out
// passes the one jpeg_destroy_decompress.
PictureFailure DecodeTrapped(const DecodeRequest& request, DecodedImage* image,
                             PictureOutcome* outcome, DWORD* readError) {
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
    JpegFileSource(&cinfo, request.file, readError);
    const bool cmyk = ChooseJpegOutput(request.box, &cinfo, outcome);
    failureOnError = PictureFailure::kDamaged;
    failure = CheckJpegSizes(*outcome, &cinfo, request.fileSize, cmyk);
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
  return failure;
}

bool ReadJpegSize(File* file, PixelSize* size) {
  jpeg_decompress_struct cinfo;
  JpegErrorTrap trap;
  volatile bool read = false;
  cinfo.err = InitJpegErrorTrap(&trap);
  if (setjmp(trap.jump) == 0) {
    jpeg_create_decompress(&cinfo);
    JpegFileSource(&cinfo, file, nullptr);
    jpeg_read_header(&cinfo, TRUE);
    *size = {cinfo.image_width, cinfo.image_height};
    read = true;
  }
  jpeg_destroy_decompress(&cinfo);
  return read;
}

}  // namespace

bool IsJpegStart(const uint8_t* start, size_t size) {
  return size >= 2 && start[0] == 0xFF && start[1] == 0xD8;
}

bool ReadJpegHeaderSize(FileSystem& fs, const std::string& path, PixelSize* size) {
  std::unique_ptr<File> file;
  if (!fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok()) return false;
  return ReadJpegSize(file.get(), size);
}

void DecodeJpeg(const DecodeRequest& request, DecodedImage* image, PictureOutcome* outcome) {
  DWORD readError = ERROR_SUCCESS;
  outcome->failure = DecodeTrapped(request, image, outcome, &readError);
  if (outcome->failure == PictureFailure::kUnreadable && readError != ERROR_SUCCESS) {
    outcome->status = Status::Error(readError);
  }
  if (!outcome->ok()) image->pixels.reset();
}

}  // namespace tavirelle
