#include "imaging/photo_image.h"

#include <memory>
#include <utility>

#include "util/file_utils.h"

namespace tavirelle {

namespace {

// The file, or null when it cannot be opened: for readers that ask only
// whether they can tell something about it.
std::unique_ptr<File> OpenForReading(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).IgnoreError();
  return file;
}

}  // namespace

PictureOutcome PhotoImage::Load(const std::string& path, PixelSize box, DecodedImage* image,
                                std::string_view formatName) {
  *image = DecodedImage();
  PictureOutcome outcome;
  if (path.empty()) {
    outcome.failure = PictureFailure::kUnreadable;
    outcome.status = Status::Error(ERROR_FILE_NOT_FOUND);
    return outcome;
  }
  std::unique_ptr<File> file;
  Status opened = fs_.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  if (!opened.ok()) {
    // A folder refuses to open like a protected file, but is no picture.
    outcome.failure = FolderExists(fs_, path) ? PictureFailure::kNotAPicture
                                              : PictureFailure::kUnreadable;
    outcome.status = std::move(opened);
    return outcome;
  }
  uint64_t fileSize = 0;
  Status sized = file->Size(&fileSize);
  if (!sized.ok()) {
    outcome.failure = PictureFailure::kUnreadable;
    outcome.status = std::move(sized);
    return outcome;
  }
  // Each format in turn, until one says more than that the file is not of
  // its kind.
  outcome.failure = PictureFailure::kNotAPicture;
  bool first = true;
  for (const ImageFormat* format : FormatsForName(formatName.empty() ? path : formatName)) {
    if (!first) {
      Status rewound = file->Seek(0, SeekOrigin::kBegin, nullptr);
      if (!rewound.ok()) {
        outcome = PictureOutcome();
        outcome.failure = PictureFailure::kUnreadable;
        outcome.status = std::move(rewound);
        return outcome;
      }
    }
    first = false;
    outcome = PictureOutcome();
    format->decode(DecodeRequest{fs_, path, file.get(), fileSize, box}, image, &outcome);
    if (outcome.failure != PictureFailure::kNotAPicture) break;
  }
  if (!outcome.ok()) *image = DecodedImage();
  return outcome;
}

bool ReadImageSize(FileSystem& fs, const std::string& path, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  // Every format, whatever the name: a size is only a size.
  for (const ImageFormat& format : ImageFormats()) {
    PixelSize size;
    if (format.readSize(fs, path, &size)) {
      *width = static_cast<int32_t>(size.width);
      *height = static_cast<int32_t>(size.height);
      return true;
    }
  }
  return false;
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
