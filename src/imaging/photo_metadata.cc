// The EXIF reader of PhotoImage: capture date, pixel size and the embedded
// JPEG preview from the first APP1 segment of a photo.
//
// The photo is read through a small window (ExifWindow) that holds a
// run of consecutive file bytes. Where the walk may go depends on that
// window: a segment whose successor lies beyond the window ends the marker
// walk, so a file whose first APP1 comes after a long run of other segments
// is read as having none. Every number and value itself comes from its own
// file position, wherever the window happens to be.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "imaging/photo_image.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

constexpr uint32_t kMaxIfd0Entries = 50;
constexpr uint32_t kMaxExifEntries = 75;
constexpr uint32_t kMaxIfd1Entries = 50;

constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagPixelXDimension = 0xA002;
constexpr uint16_t kTagPixelYDimension = 0xA003;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagPreviewOffset = 0x0201;
constexpr uint16_t kTagPreviewLength = 0x0202;
constexpr uint16_t kCompressionJpeg = 6;

// Bytes per element of the TIFF value types 1 to 12; 0 for the others.
uint32_t ElementSize(uint16_t type) {
  static const uint8_t kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < 13 ? kSizes[type] : 0;
}

// Reads until `n` bytes arrived or the file ends.
bool ReadFully(File* file, uint8_t* out, uint64_t n) {
  while (n > 0) {
    DWORD chunk = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
    DWORD done = 0;
    if (!file->Read(out, chunk, &done).ok() || done == 0) return false;
    out += done;
    n -= done;
  }
  return true;
}

// One directory entry with its value field undecoded.
struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t field[4] = {};
  uint64_t Size() const { return uint64_t{ElementSize(type)} * count; }
};

// The reader's window onto the photo: `windowSize` bytes of buffer, valid
// up to `windowEnd`, holding the file bytes that start at `windowPosition`.
// Lives for one walk.
struct ExifWindow {
  static constexpr uint32_t windowSize = 2560;
  std::unique_ptr<File> windowFile;
  std::unique_ptr<uint8_t[]> buffer;
  uint8_t* window = nullptr;
  uint8_t* windowEnd = nullptr;
  uint64_t windowPosition = 0;
};

class ExifWalker {
 public:
  ExifWalker(ExifWindow* image, uint64_t fileSize)
      : image_(image), fileSize_(fileSize) {}

  // Loads up to a window of bytes from `position`; the cursor goes to the
  // window's start.
  void Refill(uint64_t position) {
    image_->windowPosition = position;
    image_->windowEnd = image_->window;
    cursor_ = 0;
    if (position >= fileSize_ ||
        !image_->windowFile->Seek(static_cast<int64_t>(position), SeekOrigin::kBegin, nullptr)
             .ok()) {
      return;
    }
    uint64_t want = fileSize_ - position;
    if (want > ExifWindow::windowSize) want = ExifWindow::windowSize;
    DWORD got = 0;
    uint8_t* out = image_->window;
    while (want > 0 && image_->windowFile->Read(out, static_cast<DWORD>(want), &got).ok() &&
           got != 0) {
      out += got;
      want -= got;
    }
    image_->windowEnd = out;
  }

  int64_t Valid() const { return image_->windowEnd - image_->window; }
  bool CursorInWindow() const { return cursor_ >= 0 && cursor_ < Valid(); }
  uint64_t Position() const { return image_->windowPosition + cursor_; }

  // Fixed-size read at the cursor. The window is refilled at the cursor
  // whenever no more than 4 bytes remain after a read.
  bool Read(uint8_t* out, uint32_t n) {
    if (cursor_ < 0 || cursor_ + n > Valid()) {
      if (cursor_ < 0 && static_cast<uint64_t>(-cursor_) > image_->windowPosition) {
        return false;
      }
      Refill(Position());
      if (cursor_ + n > Valid()) return false;
    }
    std::memcpy(out, image_->window + cursor_, n);
    cursor_ += n;
    if (Valid() - cursor_ <= 4) Refill(Position());
    return true;
  }
  bool Read16(uint16_t* value) {
    uint8_t b[2];
    if (!Read(b, 2)) return false;
    *value = Decode16(b);
    return true;
  }
  bool Read32(uint32_t* value) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    *value = Decode32(b);
    return true;
  }
  bool ReadEntry(Entry* e) {
    return Read16(&e->tag) && Read16(&e->type) && Read32(&e->count) &&
           Read(e->field, 4);
  }

  void Advance(int64_t distance) { cursor_ += distance; }

  // Moves the cursor to a file position, refilling when it lies outside the
  // window.
  void JumpTo(uint64_t position) {
    if (position >= image_->windowPosition &&
        position < image_->windowPosition + Valid()) {
      cursor_ = static_cast<int64_t>(position - image_->windowPosition);
    } else {
      Refill(position);
    }
  }

  // The `size` bytes at `position`: from the window when they lie in it,
  // otherwise by a positioned read. Values that would run past the end of
  // the file are unreadable; nothing of their size is allocated.
  bool ReadAt(uint64_t position, uint64_t size, std::vector<uint8_t>* out) {
    if (position > fileSize_ || size > fileSize_ - position) return false;
    if (position >= image_->windowPosition &&
        position + size <= image_->windowPosition + Valid()) {
      const uint8_t* from = image_->window + (position - image_->windowPosition);
      out->assign(from, from + size);
      return true;
    }
    out->resize(size);
    return image_->windowFile->Seek(static_cast<int64_t>(position), SeekOrigin::kBegin, nullptr)
               .ok() &&
           ReadFully(image_->windowFile.get(), out->data(), size);
  }

  void SetByteOrder(bool littleEndian) { littleEndian_ = littleEndian; }
  uint16_t Decode16(const uint8_t* b) const {
    return littleEndian_ ? static_cast<uint16_t>(b[0] | b[1] << 8)
                         : static_cast<uint16_t>(b[0] << 8 | b[1]);
  }
  uint32_t Decode32(const uint8_t* b) const {
    const uint32_t lo = Decode16(b), hi = Decode16(b + 2);
    return littleEndian_ ? (hi << 16 | lo) : (lo << 16 | hi);
  }

 private:
  ExifWindow* image_;
  uint64_t fileSize_;
  int64_t cursor_ = 0;
  bool littleEndian_ = false;  // segment lengths are big-endian
};

// What the walk of the EXIF block found.
struct ExifFindings {
  uint64_t tiffBase = 0;
  uint32_t compression = 0;
  uint32_t previewOffset = 0;
  uint32_t previewLength = 0;
};

// The "Exif" signature and the TIFF header after it: sets the walker's byte
// order, the header's position (offsets count from there) and IFD0's offset.
bool ReadTiffHeader(ExifWalker& w, uint64_t* base, uint32_t* ifd0Offset) {
  uint8_t signature[6];
  if (!w.Read(signature, 4) || !w.Read(signature + 4, 2) ||
      std::memcmp(signature, "Exif\0\0", 6) != 0) {
    return false;
  }
  *base = w.Position();
  uint8_t order[2];
  if (!w.Read(order, 2)) return false;
  if (order[0] == 'I' && order[1] == 'I') {
    w.SetByteOrder(true);
  } else if (order[0] == 'M' && order[1] == 'M') {
    w.SetByteOrder(false);
  } else {
    return false;
  }
  uint16_t magic = 0;
  return w.Read16(&magic) && magic == 42 && w.Read32(ifd0Offset);
}

// An ASCII entry's text up to its first NUL; empty when its value lies
// outside the file.
std::string ReadText(ExifWalker& w, uint64_t base, const Entry& e) {
  std::vector<uint8_t> value;
  if (e.Size() <= 4) {
    value.assign(e.field, e.field + e.Size());
  } else if (!w.ReadAt(base + w.Decode32(e.field), e.Size(), &value)) {
    return std::string();
  }
  // An empty value (count 0) has no buffer to search.
  const uint8_t* nul = value.empty() ? nullptr
                                     : static_cast<const uint8_t*>(
                                           std::memchr(value.data(), 0, value.size()));
  const size_t n = nul != nullptr ? nul - value.data() : value.size();
  return std::string(reinterpret_cast<const char*>(value.data()), n);
}

// The three directories of the EXIF block at the cursor. Returns when the
// walk ends, for whatever reason; `info` and `found` keep what was read.
// True only when the walk read the preview directory to its end: the
// preview's entries from a directory cut short are not to be trusted.
bool WalkExifBlock(ExifWalker& w, uint64_t fileSize, PhotoMetadata* info,
                   ExifFindings* found) {
  uint64_t base = 0;
  uint32_t ifd0Offset = 0;
  if (!ReadTiffHeader(w, &base, &ifd0Offset)) return false;
  found->tiffBase = base;

  // IFD0: the date and the way to the Exif directory.
  w.JumpTo(base + ifd0Offset);
  uint16_t count = 0;
  if (!w.Read16(&count) || count > kMaxIfd0Entries) return false;
  uint32_t exifOffset = 0;
  for (uint16_t i = 0; i < count; ++i) {
    Entry e;
    if (!w.ReadEntry(&e) || ElementSize(e.type) == 0) return false;
    if (e.tag == kTagDateTime) {
      info->dateTaken = ReadText(w, base, e);
    } else if (e.tag == kTagOrientation && e.Size() == 2) {
      const uint16_t orientation = w.Decode16(e.field);
      info->orientation = orientation >= 1 && orientation <= 8 ? orientation : 0;
    } else if (e.tag == kTagExifIfd && e.Size() == 4) {
      exifOffset = w.Decode32(e.field);
    }
  }
  uint32_t ifd1Offset = 0;
  if (!w.Read32(&ifd1Offset)) return false;

  // The Exif directory: the pixel size. Without a pointer the offset is 0,
  // the TIFF header itself, whose byte-order mark reads as a count far over
  // the limit: the walk ends there.
  if (exifOffset < fileSize) {
    w.JumpTo(base + exifOffset);
    if (!w.Read16(&count) || count > kMaxExifEntries) return false;
    for (uint16_t i = 0; i < count; ++i) {
      Entry e;
      if (!w.ReadEntry(&e) || ElementSize(e.type) == 0) return false;
      const uint16_t v = e.Size() == 2 ? w.Decode16(e.field) : 0;
      if (e.tag == kTagPixelXDimension) info->width = static_cast<int16_t>(v);
      if (e.tag == kTagPixelYDimension) info->height = static_cast<int16_t>(v);
    }
  }

  // IFD1: the preview.
  w.JumpTo(base + ifd1Offset);
  if (!w.Read16(&count) || count > kMaxIfd1Entries) return false;
  for (uint16_t i = 0; i < count; ++i) {
    Entry e;
    if (!w.ReadEntry(&e) || ElementSize(e.type) == 0) return false;
    if (e.tag == kTagCompression) found->compression = w.Decode16(e.field);
    if (e.tag == kTagPreviewOffset) found->previewOffset = w.Decode32(e.field);
    if (e.tag == kTagPreviewLength) found->previewLength = w.Decode32(e.field);
  }
  return true;
}

// Copies the preview's bytes to `path`. A preview written incompletely is
// removed again: it would later be taken for a good thumbnail.
PreviewResult ExtractPreview(FileSystem& fs, ExifWalker& w, const ExifFindings& found,
                             const std::string& path) {
  PreviewResult result;
  if (found.previewLength == 0 || found.previewOffset == 0 ||
      found.compression != kCompressionJpeg) {
    return result;
  }
  std::vector<uint8_t> bytes;
  // Always a positioned read of its own; one that runs past the end of the
  // file reads nothing.
  if (!w.ReadAt(found.tiffBase + found.previewOffset, found.previewLength,
                &bytes)) {
    return result;
  }
  // A folder that cannot be made shows up as the open failing.
  EnsureFolderFor(fs, path).IgnoreError();
  std::unique_ptr<File> out;
  Status opened = fs.Open(path, GENERIC_WRITE, Disposition::kCreateAlways, &out);
  if (!opened.ok()) {
    result.outcome = PreviewOutcome::kUnwritable;
    result.status = std::move(opened);
    return result;
  }
  DWORD written = 0;
  Status complete = out->Write(bytes.data(), static_cast<DWORD>(bytes.size()), &written);
  if (complete.ok() && written != bytes.size()) complete = Status::Error(ERROR_WRITE_FAULT);
  Status closed = out->Close();
  if (complete.ok()) complete = closed;
  out.reset();
  if (complete.ok()) {
    result.outcome = PreviewOutcome::kKept;
    return result;
  }
  fs.DeleteFile(path).IgnoreError();
  result.outcome = PreviewOutcome::kUnwritable;
  result.status = std::move(complete);
  return result;
}

// Whether the preview written to `path` is a picture that is landscape
// exactly when the photo is.
bool PreviewMatches(FileSystem& fs, const std::string& path, const PhotoMetadata& info) {
  int32_t tw = 0, th = 0;
  const bool probed = ReadImageSize(fs, path, &tw, &th);
  return probed && tw != 0 && th != 0 && (info.width > info.height) == (tw > th);
}

}  // namespace

namespace {

// The marker walk to the first APP1 and through its EXIF block: fills
// `info` with what the block says and, unless `thumbnailPath` is empty,
// writes the preview there.
PreviewResult WalkToExif(FileSystem& fs, const std::string& photoPath,
                         const std::string& thumbnailPath, PhotoMetadata* info) {
  PreviewResult result;
  ExifWindow image;
  if (!photoPath.empty()) {
    // A photo that cannot be opened tells nothing, as one without EXIF.
    fs.Open(photoPath, GENERIC_READ, Disposition::kOpenExisting, &image.windowFile)
        .IgnoreError();
  }
  uint64_t fileSize = 0;
  if (image.windowFile != nullptr && !image.windowFile->Size(&fileSize).ok()) fileSize = 0;
  if (image.windowFile != nullptr) {
    image.buffer.reset(new (std::nothrow) uint8_t[ExifWindow::windowSize]);
    image.window = image.windowEnd = image.buffer.get();
  }
  if (image.window != nullptr) {
    ExifWalker w(&image, fileSize);
    w.Refill(0);
    // The marker walk, up to the first APP1 or the start of the scan.
    while (w.CursorInWindow()) {
      uint8_t marker[2];
      if (!w.Read(marker, 2) || marker[0] != 0xFF) break;
      if (marker[1] == 0xD8 || marker[1] == 0xD9) continue;
      uint16_t length = 0;
      if (!w.Read16(&length) || marker[1] == 0xDA) break;
      if (marker[1] == 0xE1) {
        ExifFindings found;
        if (WalkExifBlock(w, fileSize, info, &found) && !thumbnailPath.empty()) {
          result = ExtractPreview(fs, w, found, thumbnailPath);
        }
        break;
      }
      // A length below 2 would step back into the segment's own header.
      if (length < 2) break;
      w.Advance(length - 2);
    }
  }
  return result;
}

}  // namespace

PreviewResult PhotoImage::ReadPhotoMetadata(const std::string& photoPath,
                                            const std::string& thumbnailPath,
                                            PhotoMetadata* info) {
  PreviewResult preview = WalkToExif(fs_, photoPath, thumbnailPath, info);
  if (info->dateTaken.compare(0, 5, "0000:") == 0) {
    // A camera whose clock was never set: the file's own date instead.
    info->dateTaken = FormatFileDate(fs_, photoPath, /*with_milliseconds=*/false);
  }
  if (info->width == 0 || info->height == 0) {
    info->width = info->height = 0;
    ReadImageSize(fs_, photoPath, &info->width, &info->height);
  }
  if (preview.kept() && info->width != 0 && info->height != 0 &&
      !PreviewMatches(fs_, thumbnailPath, *info)) {
    fs_.DeleteFile(thumbnailPath).IgnoreError();
    preview.outcome = PreviewOutcome::kDiscarded;
  }
  return preview;
}

int32_t QuarterTurnsOf(int32_t orientation) {
  switch (orientation) {
    case 6:
      return 1;
    case 3:
      return 2;
    case 8:
      return 3;
    default:
      return 0;
  }
}

int32_t ReadExifOrientation(FileSystem& fs, const std::string& path) {
  PhotoMetadata info;
  WalkToExif(fs, path, std::string(), &info);
  return info.orientation;
}

}  // namespace tavirelle
