// Thumbnail making: the decoded photo scaled to a fixed height with the
// two-pass scaler, and written as a baseline JPEG with the fast integer DCT.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "imaging/photo_image.h"
#include "imaging/two_pass_scale.h"
#include "platform/file_system.h"
#include "util/file_utils.h"
// After the platform headers: libjpeg defines TRUE and FALSE as macros.
#include "imaging/jpeg_io.h"

namespace tavirelle {

namespace {

// libjpeg cannot write a side longer than this.
constexpr uint32_t kMaxJpegSide = JPEG_MAX_DIMENSION;

// Writes the rows of a baseline JPEG with the fast integer DCT. libjpeg's
// fatal errors longjmp over this function, so it holds nothing with a
// destructor.
void CompressRows(jpeg_compress_struct* cinfo, const uint8_t* pixels, uint32_t width,
                  uint32_t height, int32_t quality) {
  cinfo->image_width = width;
  cinfo->image_height = height;
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  cinfo->dct_method = JDCT_IFAST;
  jpeg_start_compress(cinfo, TRUE);
  const size_t row = size_t{width} * 3;
  while (cinfo->next_scanline < cinfo->image_height) {
    // libjpeg takes non-const rows but only reads them.
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(pixels + cinfo->next_scanline * row)};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
}

// Compresses the pixels into the open file, which belongs to the caller;
// when writing fails, its platform code goes to *error. Every way out passes
// the one jpeg_destroy_compress.
bool Compress(File* file, const uint8_t* pixels, uint32_t width, uint32_t height, int32_t quality,
              DWORD* error) {
  jpeg_compress_struct cinfo;
  JpegErrorTrap trap;
  volatile bool compressed = false;
  cinfo.err = InitJpegErrorTrap(&trap);
  if (setjmp(trap.jump) == 0) {
    jpeg_create_compress(&cinfo);
    JpegFileDestination(&cinfo, file, error);
    CompressRows(&cinfo, pixels, width, height, quality);
    compressed = true;
  }
  jpeg_destroy_compress(&cinfo);
  return compressed;
}

}  // namespace

std::optional<PixelSize> ThumbnailSizeFor(PixelSize decoded, PixelSize box) {
  if (decoded.width == 0 || decoded.height == 0) return std::nullopt;
  PixelSize size = decoded;
  if (decoded.width < box.width && decoded.height < box.height) return size;
  // Thumbnails have a fixed height and the width the picture's aspect gives
  // it, so a panorama comes out wider than the box.
  const double aspect =
      static_cast<double>(decoded.width) / static_cast<double>(decoded.height);
  const double boxAspect = static_cast<double>(box.width) / static_cast<double>(box.height);
  if (aspect == boxAspect) {
    size = box;
  } else if (decoded.height > box.height) {
    const double fitted = static_cast<double>(box.height) * aspect;
    if (!(fitted < 4294967296.0)) return std::nullopt;
    size = {static_cast<uint32_t>(fitted), box.height};
  }
  // A picture more than `box.height` times taller than wide has no
  // thumbnail; nor has one that no JPEG could hold.
  if (size.width == 0 || size.height == 0 || size.width > kMaxJpegSide ||
      size.height > kMaxJpegSide || uint64_t{size.width} * size.height > kMaxDecodedPixels) {
    return std::nullopt;
  }
  return size;
}

ThumbnailResult PhotoImage::MakeThumbnail(const std::string& photoPath,
                                          const std::string& thumbnailPath,
                                          const ThumbnailSettings& settings,
                                          std::string_view formatName) {
  ThumbnailResult result;
  DecodedImage image;
  result.outcome = Load(photoPath, settings.box(), &image, formatName);
  if (!result.outcome.ok()) return result;
  ThumbnailResult saved = SaveScaled(image, settings.box(), thumbnailPath, settings.quality);
  // What the decoder learnt of the photo stays, for the words of a failure.
  result.outcome.failure = saved.outcome.failure;
  result.outcome.status = std::move(saved.outcome.status);
  result.outcome.boxHeight = saved.outcome.boxHeight;
  result.size = saved.size;
  return result;
}

ThumbnailResult PhotoImage::SaveScaled(const DecodedImage& image, PixelSize box,
                                       const std::string& path, int32_t quality) {
  ThumbnailResult result;
  result.outcome.source = image.size;
  if (image.pixels == nullptr) {
    result.outcome.failure = PictureFailure::kNotAPicture;
    return result;
  }
  Status written;
  // Images smaller than the box both ways are written as they are, never
  // enlarged; all others pass the scaler, even to their own size.
  if (image.size.width < box.width && image.size.height < box.height) {
    written = WriteJpeg(fs_, path, image.pixels.get(), image.size.width, image.size.height,
                        quality);
    result.size = image.size;
  } else {
    DecodedImage scaled = ScaleToTarget(image, box);
    if (scaled.pixels == nullptr) {
      result.outcome.failure = PictureFailure::kNoFit;
      result.outcome.boxHeight = box.height;
      return result;
    }
    written = WriteJpeg(fs_, path, scaled.pixels.get(), scaled.size.width, scaled.size.height,
                        quality);
    result.size = scaled.size;
  }
  if (!written.ok()) {
    result.outcome.failure = PictureFailure::kUnwritable;
    result.outcome.status = std::move(written);
    result.size = PixelSize();
  }
  return result;
}

DecodedImage PhotoImage::ScaleToTarget(const DecodedImage& image, PixelSize box) {
  DecodedImage scaled;
  if (image.pixels == nullptr) return scaled;
  std::optional<PixelSize> size = ThumbnailSizeFor(image.size, box);
  if (!size) return scaled;
  scaled.size = *size;
  scaled.pixels.reset(new (std::nothrow) uint8_t[scaled.bytes()]);
  if (scaled.pixels == nullptr) return DecodedImage();
  C2PassScale<CHammingFilter> scaler;
  if (scaler.Scale(image.pixels.get(), image.size.width, image.size.height, scaled.pixels.get(),
                   scaled.size.width, scaled.size.height) == nullptr) {
    return DecodedImage();
  }
  return scaled;
}

Status PhotoImage::WriteJpeg(FileSystem& fs, const std::string& path, const uint8_t* pixels,
                             uint32_t width, uint32_t height, int32_t quality) {
  if (path.empty() || pixels == nullptr) return Status::Error(ERROR_INVALID_PARAMETER);
  // A folder that cannot be made shows up as the open failing.
  EnsureFolderFor(fs, path).IgnoreError();
  std::unique_ptr<File> file;
  Status opened = fs.Open(path, GENERIC_WRITE, Disposition::kCreateAlways, &file);
  if (!opened.ok()) return opened;
  DWORD error = ERROR_SUCCESS;
  Status written = Compress(file.get(), pixels, width, height, quality, &error)
                       ? Status::Ok()
                       : Status::Error(error);
  Status closed = file->Close();
  file.reset();
  if (written.ok() && closed.ok()) return Status::Ok();
  // A cut-off thumbnail would be taken for a good one later.
  fs.DeleteFile(path).IgnoreError();
  return written.ok() ? closed : written;
}

}  // namespace tavirelle
