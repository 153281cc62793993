// The image object that carries a photo through thumbnail making: decoding
// (a JPEG reduced inside the decoder towards the thumbnail box, or a ".bmp"
// bitmap), the EXIF metadata reader with its embedded preview, and the
// scaling and JPEG writing of thumbnails.
//
// A PhotoImage lives on its user's stack for one operation: Reset, set the
// target box, Load or MakeThumbnail or ReadPhotoMetadata, ReleasePixels.
//
// Threads: a PhotoImage holds the whole state of its photo and belongs to
// one thread at a time; any number of them may work at once on as many
// threads. Nothing in the imaging code is shared between them (the scaler's
// tables, the decoder and encoder state and the metadata window are per
// call or per object, and libjpeg-turbo keeps its CPU probe per thread), so
// ReadImageSize and WriteJpeg may be called from any thread as well. The
// file system they are given must be safe to share in the same way: the
// real one is, the in-memory test double is not. Threads that write one
// output path at once are the caller's to prevent.
#ifndef TAVIRELLE_IMAGING_PHOTO_IMAGE_H_
#define TAVIRELLE_IMAGING_PHOTO_IMAGE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// The largest decoded image Load accepts, in pixels (after the decoder's
// reduction): its buffer of 3 bytes a pixel (384 MiB) still fits 32 bits.
// Larger headers make Load fail rather than allocate.
inline constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 27;

// The most memory the JPEG decoder may take for one photo. A progressive or
// otherwise multi-scan JPEG keeps every DCT coefficient of the whole image
// (128 bytes per 8x8 block and component) whatever the reduction, so a few
// megabytes of file can claim gigabytes; such files are refused beyond this.
// A baseline JPEG is decoded row by row and needs a few MiB.
inline constexpr uint64_t kMaxDecoderMemory = uint64_t{512} << 20;

// Why Load (or MakeThumbnail) produced no pixels or no thumbnail.
enum class PictureFailure {
  kNone,
  kUnreadable,   // the photo cannot be opened or read (failureError says why)
  kNotAPicture,  // neither a JPEG nor a ".bmp" bitmap that can be decoded
  kDamaged,      // a JPEG whose header claims more than its data can hold,
                 // or whose data breaks off in a way the decoder cannot mend
  kTooLarge,     // decoding would take more memory than the bounds allow
  kNoFit,        // decoded, but no thumbnail of the box's height can hold it
  kUnwritable,   // the thumbnail cannot be written (failureError says why)
};

// What became of an embedded preview in ReadPhotoMetadata.
enum class PreviewOutcome {
  kNone,         // the photo has no usable preview
  kKept,         // written to the thumbnail path and kept
  kDiscarded,    // read, but unfit (not a picture, or the wrong orientation)
  kUnwritable,   // read, but it could not be written (failureError says why)
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
};

class PhotoImage {
 public:
  // Reads and writes files through `fs`, which must outlive the object.
  explicit PhotoImage(FileSystem& fs) : fs_(fs) { Reset(); }
  ~PhotoImage();
  PhotoImage(const PhotoImage&) = delete;
  PhotoImage& operator=(const PhotoImage&) = delete;

  // Clears every size and the loaded flag; keeps the target box. Frees what
  // the object still holds, so a reused object cannot leak.
  void Reset();
  // Frees the pixels.
  void ReleasePixels();

  // Decodes a JPEG (by content, whatever its name) or a bitmap whose name
  // ends in ".bmp" into `pixels`; returns `loaded`.
  bool Load(const std::string& path);

  // Reads the capture date, pixel size and orientation from the EXIF block
  // of the first APP1 segment and writes the embedded preview to
  // `thumbnailPath` (none when it is empty). Returns
  // true when the preview was written and kept (its orientation matches the
  // photo's); `preview` tells the other outcomes apart. A preview is taken
  // only from a preview directory read to its end, and a preview that could
  // not be written completely is removed again.
  bool ReadPhotoMetadata(const std::string& photoPath,
                         const std::string& thumbnailPath, PhotoMetadata* info);

  // Decodes `photoPath` for the box of `settings` and writes the thumbnail.
  // On failure `failure` says why.
  bool MakeThumbnail(const std::string& photoPath,
                     const std::string& thumbnailPath,
                     const ThumbnailSettings& settings);
  // Writes the decoded pixels, scaled to the target box, as a JPEG.
  bool SaveScaled(const std::string& path, int32_t quality);
  // Scales the decoded pixels to the thumbnail size (height of the box,
  // width following the aspect); sets scaledWidth/scaledHeight. Null when
  // there is nothing to scale to or memory runs out.
  std::unique_ptr<uint8_t[]> ScaleToTarget();
  // Writes `width` x `height` RGB pixels (rows top-down, no gaps) as a
  // baseline JPEG of the given quality; a file that could not be written
  // whole is removed.
  static Status WriteJpeg(FileSystem& fs, const std::string& path, const uint8_t* pixels,
                          uint32_t width, uint32_t height, int32_t quality);

  // Size as stored in the file.
  uint32_t sourceWidth;
  uint32_t sourceHeight;
  // Decoded pixels: pixelHeight rows top to bottom, pixelWidth x 3 bytes
  // (red, green, blue) each, no gaps. Allocated with malloc, owned here.
  uint8_t* pixels = nullptr;
  uint32_t pixelBytes;
  uint32_t pixelWidth;
  uint32_t pixelHeight;
  bool loaded;
  // Set by Load, MakeThumbnail and ReadPhotoMetadata: why the last of them
  // failed, with the platform's error code where a file operation failed.
  PictureFailure failure;
  PreviewOutcome preview;
  DWORD failureError;
  // The JPEG comes in several scans (progressive, or one component a scan),
  // which the decoder buffers whole.
  bool multiScan;
  bool progressive;
  // Size made by ScaleToTarget.
  uint32_t scaledWidth;
  uint32_t scaledHeight;
  // The thumbnail box; set by the user (or MakeThumbnail) before Load.
  uint32_t targetWidth = 0;
  uint32_t targetHeight = 0;

  // The metadata reader's window onto the photo: `windowSize` bytes of
  // buffer, valid up to `windowEnd`, holding the file bytes that start at
  // `windowPosition`. Exists only during ReadPhotoMetadata.
  static constexpr uint32_t windowSize = 2560;
  uint8_t* window = nullptr;
  uint8_t* windowEnd = nullptr;
  uint64_t windowPosition = 0;
  std::unique_ptr<File> windowFile;

  FileSystem& fileSystem() const { return fs_; }

 private:
  FileSystem& fs_;
};

// Writes the pixel size of a JPEG or bitmap file (any name) to the outputs;
// both 0 and false when none is found.
bool ReadImageSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height);
// The size a JPEG's frame header states, read from its markers without the
// decoder: a frame whose height is 0 gets it from the DNL marker that ends
// its first scan (the decoder refuses such files). False when the file is no
// JPEG or its headers do not give both sides.
bool ReadJpegFrameSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height);

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_PHOTO_IMAGE_H_
