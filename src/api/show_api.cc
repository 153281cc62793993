#include "api/show_api.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "imaging/photo_image.h"
#include "metaxml/template_selector.h"
#include "platform/code_page.h"
#include "show/photo_import.h"
#include "util/file_utils.h"
#include "util/parallel.h"
#include "util/text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

std::string Size(PixelSize size) {
  return std::to_string(size.width) + "\u00D7" + std::to_string(size.height);
}

// The worker's share of one photo: its files, and its orientation read from
// the source (the copy is the same bytes).
struct PhotoWork {
  ImportedPhoto files;
  int32_t quarter_turns = 0;
  bool skipped = false;  // cancelled before its files were made
};

ImportedPhotoResult ResultOf(const std::string& source, const PhotoWork& work) {
  ImportedPhotoResult result;
  result.source = source;
  const ImportedPhoto& files = work.files;
  result.status = !files.found && files.status.ok() ? Status::Error(ERROR_FILE_NOT_FOUND)
                                                    : files.status;
  result.online_name = files.online_name;
  result.original_name = files.original_name;
  result.date_taken = files.date_taken;
  result.width = files.width;
  result.height = files.height;
  result.exif_quarter_turns = work.quarter_turns;
  result.thumbnail = files.has_thumbnail;
  if (!files.has_thumbnail && result.status.ok()) {
    result.no_thumbnail = files.thumbnail_outcome.ok()
                              ? "the thumbnail could not be written"
                              : PictureFailureInWords(files.thumbnail_outcome);
  }
  return result;
}

}  // namespace

PhotoImport ImportPhotos(FileSystem& fs, const std::string& folder,
                         const std::vector<std::string>& sources,
                         const PhotoImportOptions& options) {
  PhotoImport import;
  if (options.jobs < 1 || options.jobs > 256) {
    import.status = Status::Error(ERROR_INVALID_PARAMETER, "jobs must be 1 to 256");
    return import;
  }
  if (Cancelled(options.cancel)) {
    import.status = Status::Error(ERROR_CANCELLED);
    return import;
  }
  // Photos not taken delete their files with this vector; those taken are
  // kept until the whole import stands.
  std::vector<PhotoWork> work(sources.size());
  const bool one_by_one = static_cast<bool>(options.taken);
  try {
    RunInOrder(
        sources.size(), options.jobs,
        [&](size_t i) {
          // A photo after the first is not begun once the host cancelled.
          if (i > 0 && Cancelled(options.cancel)) {
            work[i].skipped = true;
            return;
          }
          work[i].files = ImportPhotoFiles(fs, folder, sources[i],
                                           i < options.names.size() ? options.names[i] : "");
          if (work[i].files.found && work[i].files.status.ok()) {
            work[i].quarter_turns = QuarterTurnsOf(ReadExifOrientation(fs, sources[i]));
          }
        },
        [&](size_t i) {
          if (work[i].skipped || (i > 0 && Cancelled(options.cancel))) {
            import.status = Status::Error(ERROR_CANCELLED);
            return false;
          }
          import.photos.push_back(ResultOf(sources[i], work[i]));
          const ImportedPhotoResult& photo = import.photos.back();
          const bool missing = !work[i].files.found && work[i].files.status.ok();
          if (!photo.status.ok() && !(one_by_one && missing)) {
            import.status = photo.status;
            return false;
          }
          if (one_by_one) {
            work[i].files.Keep();
            options.taken(photo);
          }
          if (options.progress) options.progress(i + 1, sources.size());
          return true;
        });
  } catch (const std::bad_alloc&) {
    import.status = Status::Error(ERROR_OUTOFMEMORY);
  }
  if (import.status.ok()) {
    for (PhotoWork& photo : work) photo.files.Keep();
  }
  return import;
}

void RemoveImportedPhotos(FileSystem& fs, const std::string& folder, const PhotoImport& import) {
  for (const ImportedPhotoResult& photo : import.photos) {
    if (photo.online_name.empty()) continue;
    const std::string copy = folder + photo.online_name;
    // What cannot be removed stays; the host's run has failed either way.
    fs.DeleteFile(ThumbnailPathOf(copy)).IgnoreError();
    fs.DeleteFile(copy).IgnoreError();
  }
}

Status WriteShowDescription(FileSystem& fs, const ShowDescription& show,
                            const TemplateSource& templates) {
  return WriteMetaXml(show, CTemplateSelector(fs, templates), fs);
}

ThumbnailMade WriteThumbnail(FileSystem& fs, const std::string& photo, const std::string& out,
                             const ThumbnailOptions& options) {
  PhotoImage image(fs);
  const ThumbnailResult result =
      image.MakeThumbnail(photo, out, {options.width, options.height, options.quality},
                          options.format_name);
  ThumbnailMade made;
  if (!result.outcome.ok()) {
    made.write_failed = result.outcome.failure == PictureFailure::kUnwritable;
    made.status = Status::Error(result.outcome.status.code(), PictureFailureInWords(result.outcome));
    return made;
  }
  made.width = result.size.width;
  made.height = result.size.height;
  return made;
}

namespace {

// Whether the file starts as a picture of a format the library reads.
bool LooksLikeAPicture(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  uint8_t start[16] = {};
  DWORD done = 0;
  if (!fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok() ||
      !file->Read(start, sizeof start, &done).ok()) {
    return false;
  }
  return RecogniseFormat(start, done) != nullptr;
}

}  // namespace

PhotoFacts ReadPhotoFacts(FileSystem& fs, const std::string& photo, const std::string& preview) {
  PhotoFacts facts;
  PhotoImage image(fs);
  PhotoMetadata info;
  const PreviewResult result = image.ReadPhotoMetadata(photo, preview, &info);
  facts.preview_kept = result.kept();
  if (result.outcome == PreviewOutcome::kUnwritable) {
    facts.preview_unwritable = true;
    facts.status = result.status.ok() ? Status::Error(ERROR_SUCCESS) : result.status;
    return facts;
  }
  // The metadata is read from the headers: a photo the decoder cannot take
  // still has them, and a photo without EXIF still states its frame.
  if (info.width == 0 || info.height == 0) {
    ReadJpegFrameSize(fs, photo, &info.width, &info.height);
  }
  if (info.width == 0 || info.height == 0) {
    if (facts.preview_kept) fs.DeleteFile(preview).IgnoreError();
    facts.preview_kept = false;
    facts.status = Status::Error(ERROR_INVALID_DATA,
                                 LooksLikeAPicture(fs, photo)
                                     ? "cannot be decoded: its headers give no picture size"
                                     : NotAPicture());
    return facts;
  }
  facts.date_taken = info.dateTaken;
  facts.width = info.width;
  facts.height = info.height;
  return facts;
}

bool StatesPictureSize(FileSystem& fs, const std::string& path) {
  int32_t width = 0, height = 0;
  return ReadImageSize(fs, path, &width, &height);
}

LoadedXml LoadXmlFile(FileSystem& fs, const std::string& path) {
  LoadedXml loaded;
  std::string bytes;
  loaded.status = ReadWholeFile(fs, path, &bytes);
  if (!loaded.status.ok()) return loaded;
  XmlDocument document;
  XMLParseResult result = document.LoadText(bytes);
  if (!result.ok()) {
    loaded.status = Status::Error(
        ERROR_INVALID_DATA,
        result.error == XMLParseError::None
            ? "does not load: no root element"
            : "does not load: error " + std::to_string(static_cast<int>(result.error)) +
                  " at " + std::to_string(result.position) + ": " +
                  AnsiToUtf8(result.message));
    return loaded;
  }
  loaded.text = document.DocumentText();
  return loaded;
}

std::string PictureFailureInWords(const PictureOutcome& outcome) {
  switch (outcome.failure) {
    case PictureFailure::kNone:
      return "no failure";
    case PictureFailure::kUnreadable:
    case PictureFailure::kUnwritable:
      return outcome.status.code() != ERROR_SUCCESS ? ErrorInWords(outcome.status.code())
                                                    : "input/output error";
    case PictureFailure::kNotAPicture:
      return NotAPicture();
    case PictureFailure::kDamaged:
      return "damaged: its data cannot be decoded";
    case PictureFailure::kTooLarge: {
      std::string words = "too large to decode (" + Size(outcome.source);
      if (outcome.multiScan) words += outcome.progressive ? ", progressive" : ", multi-scan";
      return words + ")";
    }
    case PictureFailure::kNoFit:
      return "no thumbnail " + std::to_string(outcome.boxHeight) +
             " pixels high can hold its shape (" + Size(outcome.source) + ")";
  }
  return "cannot be decoded";
}

std::string NotAPicture() { return "not a " + FormatNamesInWords() + " picture"; }

}  // namespace tavirelle
