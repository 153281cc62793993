// The photo operations of thumbnail making: decoding a photo (through the
// format table of image_format.h: a JPEG reduced inside the decoder towards
// the thumbnail box, or a ".bmp" bitmap), the EXIF metadata reader with its
// embedded preview, and the scaling and JPEG writing of thumbnails. Every
// operation gives its results back as values; a PhotoImage keeps nothing
// from one call to the next but the file system it works on.
//
// Threads: nothing in the imaging code is shared between calls (the
// scaler's tables, the decoder and encoder state and the metadata window
// are per call, and libjpeg-turbo keeps its CPU probe per thread), so any
// number of PhotoImages may work at once on as many threads, and
// ReadImageSize and WriteJpeg may be called from any thread as well. The
// file system they are given must be safe to share in the same way: the
// real one is, the in-memory test double is not. Threads that write one
// output path at once are the caller's to prevent.
#ifndef TAVIRELLE_IMAGING_PHOTO_IMAGE_H_
#define TAVIRELLE_IMAGING_PHOTO_IMAGE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/image_format.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// What became of an embedded preview in ReadPhotoMetadata.
enum class PreviewOutcome {
  kNone,         // the photo has no usable preview
  kKept,         // written to the thumbnail path and kept
  kDiscarded,    // read, but unfit (not a picture, or the wrong orientation)
  kUnwritable,   // read, but it could not be written (the status says why)
};

// What ReadPhotoMetadata did with the embedded preview.
struct PreviewResult {
  PreviewOutcome outcome = PreviewOutcome::kNone;
  Status status;  // for kUnwritable: the platform's reason
  bool kept() const { return outcome == PreviewOutcome::kKept; }
};

// What the metadata reader found in a photo.
struct PhotoMetadata {
  std::string dateTaken;  // "2009:07:14 18:02:11" as stored, or empty
  int32_t width = 0;
  int32_t height = 0;
  // How the stored pixels are to be turned (and mirrored) to stand upright,
  // as IFD0's Orientation states it: 1 to 8; 0 when it states nothing.
  int32_t orientation = 0;
};

// The quarter turns clockwise (0 to 3) that stand a photo of the given
// orientation upright: 6 -> 1, 3 -> 2, 8 -> 3. Every other value, the
// mirrored ones among them, is 0: a show turns its photos, never mirrors.
int32_t QuarterTurnsOf(int32_t orientation);
// The orientation of a photo's EXIF block (see PhotoMetadata), read without
// writing anything; 0 when the photo states none or cannot be read.
int32_t ReadExifOrientation(FileSystem& fs, const std::string& path);

// The box and quality of a thumbnail.
struct ThumbnailSettings {
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t quality = 100;
  PixelSize box() const { return {width, height}; }
};

// The thumbnail every imported photo gets.
inline constexpr ThumbnailSettings kImportThumbnail{133, 100, 100};

// The size of the thumbnail of a picture decoded at `decoded` for `box`, or
// none when no thumbnail can hold it. The rule: a picture smaller than the
// box both ways keeps its size (never enlarged); one of the box's own
// aspect becomes the box; one higher than the box gets the box's height and
// the width its aspect gives (so a panorama comes out wider than the box);
// any other keeps its size. None when a side comes out 0 (a picture far
// taller than wide) or the thumbnail would be larger than a JPEG can hold.
std::optional<PixelSize> ThumbnailSizeFor(PixelSize decoded, PixelSize box);

// A thumbnail as written.
struct ThumbnailResult {
  // Failed: why, with the photo's own size and, for kNoFit, the box's height.
  PictureOutcome outcome;
  PixelSize size;  // the width and height written
};

class PhotoImage {
 public:
  // Reads and writes files through `fs`, which must outlive the object.
  explicit PhotoImage(FileSystem& fs) : fs_(fs) {}
  PhotoImage(const PhotoImage&) = delete;
  PhotoImage& operator=(const PhotoImage&) = delete;

  // Decodes the photo at `path` into `image`, reduced towards `box` where
  // the format can. The formats tried are those the format table gives for
  // `formatName`, the path itself when it is empty: a copy named otherwise
  // may still be read as what its original's name says it is.
  PictureOutcome Load(const std::string& path, PixelSize box, DecodedImage* image,
                      std::string_view formatName = {});

  // Reads the capture date, pixel size and orientation from the EXIF block
  // of the first APP1 segment and writes the embedded preview to
  // `thumbnailPath` (none when it is empty). The preview is kept only when
  // its orientation matches the photo's; the result tells the outcomes
  // apart. A preview is taken only from a preview directory read to its
  // end, and a preview that could not be written completely is removed
  // again.
  PreviewResult ReadPhotoMetadata(const std::string& photoPath, const std::string& thumbnailPath,
                                  PhotoMetadata* info);

  // Decodes `photoPath` for the box of `settings` and writes the thumbnail
  // (formatName as for Load).
  ThumbnailResult MakeThumbnail(const std::string& photoPath, const std::string& thumbnailPath,
                                const ThumbnailSettings& settings,
                                std::string_view formatName = {});
  // Writes `image` as the thumbnail for `box` (ThumbnailSizeFor), a JPEG of
  // the given quality. A picture smaller than the box both ways is written
  // as it is; any other goes through the scaler.
  ThumbnailResult SaveScaled(const DecodedImage& image, PixelSize box, const std::string& path,
                             int32_t quality);
  // `image` scaled to its thumbnail size for `box`; no pixels when it has
  // none or memory runs out.
  static DecodedImage ScaleToTarget(const DecodedImage& image, PixelSize box);
  // Writes `width` x `height` RGB pixels (rows top-down, no gaps) as a
  // baseline JPEG of the given quality; a file that could not be written
  // whole is removed.
  static Status WriteJpeg(FileSystem& fs, const std::string& path, const uint8_t* pixels,
                          uint32_t width, uint32_t height, int32_t quality);

 private:
  FileSystem& fs_;
};

// Writes the pixel size stated by a picture of any format of the table,
// whatever its name, to the outputs; both 0 and false when none is found.
bool ReadImageSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height);
// The size a JPEG's frame header states, read from its markers without the
// decoder: a frame whose height is 0 gets it from the DNL marker that ends
// its first scan (the decoder refuses such files). False when the file is no
// JPEG or its headers do not give both sides.
bool ReadJpegFrameSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height);

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_PHOTO_IMAGE_H_
