// Thumbnail making: the decoded photo scaled to a fixed height with the
// two-pass scaler, and written as a baseline JPEG with the fast integer DCT.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

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

bool PhotoImage::MakeThumbnail(const std::string& photoPath,
                               const std::string& thumbnailPath,
                               const ThumbnailSettings& settings) {
  targetWidth = settings.width;
  targetHeight = settings.height;
  if (!Load(photoPath)) return false;
  return SaveScaled(thumbnailPath, settings.quality);
}

bool PhotoImage::SaveScaled(const std::string& path, int32_t quality) {
  if (pixels == nullptr) return false;
  // Images smaller than the box both ways are written as they are, never
  // enlarged.
  Status written;
  if (pixelWidth < targetWidth && pixelHeight < targetHeight) {
    written = WriteJpeg(fs_, path, pixels, pixelWidth, pixelHeight, quality);
  } else {
    std::unique_ptr<uint8_t[]> scaled = ScaleToTarget();
    if (!scaled) {
      failure = PictureFailure::kNoFit;
      return false;
    }
    written = WriteJpeg(fs_, path, scaled.get(), scaledWidth, scaledHeight, quality);
  }
  if (!written.ok()) {
    failure = PictureFailure::kUnwritable;
    failureError = written.code();
  }
  return written.ok();
}

std::unique_ptr<uint8_t[]> PhotoImage::ScaleToTarget() {
  if (pixels == nullptr || pixelWidth == 0 || pixelHeight == 0) return nullptr;
  // Thumbnails have a fixed height and the width the picture's aspect gives
  // it, so a panorama comes out wider than the box.
  double aspect =
      static_cast<double>(pixelWidth) / static_cast<double>(pixelHeight);
  uint32_t width;
  uint32_t height;
  double boxAspect =
      static_cast<double>(targetWidth) / static_cast<double>(targetHeight);
  if (aspect == boxAspect) {
    width = targetWidth;
    height = targetHeight;
  } else if (pixelHeight > targetHeight) {
    double fitted = static_cast<double>(targetHeight) * aspect;
    if (!(fitted < 4294967296.0)) return nullptr;
    width = static_cast<uint32_t>(fitted);
    height = targetHeight;
  } else {
    width = pixelWidth;
    height = pixelHeight;
  }
  // A picture more than `targetHeight` times taller than wide has no
  // thumbnail; nor has one that no JPEG could hold.
  if (width == 0 || height == 0 || width > kMaxJpegSide ||
      height > kMaxJpegSide ||
      uint64_t{width} * height > kMaxDecodedPixels) {
    return nullptr;
  }
  std::unique_ptr<uint8_t[]> buffer(
      new (std::nothrow) uint8_t[size_t{width} * height * 3]);
  if (!buffer) return nullptr;
  C2PassScale<CHammingFilter> scaler;
  if (scaler.Scale(pixels, pixelWidth, pixelHeight, buffer.get(), width,
                   height) == nullptr) {
    return nullptr;
  }
  scaledWidth = width;
  scaledHeight = height;
  return buffer;
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
