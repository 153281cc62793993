// The file work of importing one photo: copies it into the output folder
// under a GUID name and gives it a thumbnail (the embedded preview when it
// suits, a scaled copy otherwise). The show's AddPhoto (photo_add.cc) and
// the library's import both stand on it.
#include "show/photo_import.h"

#include <new>
#include <string>
#include <utility>

#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "platform/status.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// Makes the files of `imported`, which already owns their names; returns
// the failure that leaves nothing worth keeping.
Status MakeImportFiles(FileSystem& fs, const std::string& source, const std::string& name,
                       ImportedPhoto* imported, const std::string& copy_path,
                       const std::string& thumbnail_path) {
  // A photo whose copy is not there (a full disk, an unreadable source, a
  // folder named as the photo) would leave the show naming a missing file.
  Status copied = fs.CopyFile(source, copy_path, IfExists::kReplace);
  if (!copied.ok()) return copied;

  PhotoMetadata metadata;
  PhotoImage image(fs);
  // A preview that cannot be written leaves the thumbnail to be made below.
  image.ReadPhotoMetadata(copy_path, thumbnail_path, &metadata);
  imported->date_taken = metadata.dateTaken;
  if (imported->date_taken.empty()) {
    imported->date_taken = FormatFileDate(fs, source, /*with_milliseconds=*/false);
  }

  imported->has_thumbnail = PathExists(fs, thumbnail_path);
  if (!imported->has_thumbnail) {
    // The copy is named ".jpg" whatever it is: the photo's own name says
    // which formats to read it as (a bitmap is known only by its name).
    ThumbnailResult thumbnail =
        image.MakeThumbnail(copy_path, thumbnail_path, kImportThumbnail, name);
    // A picture that does not decode, or whose shape no thumbnail of the
    // box's height can hold (far taller than wide), simply has no
    // thumbnail; one that could not be written (a full disk) fails the
    // import.
    if (thumbnail.outcome.failure == PictureFailure::kUnwritable) {
      return std::move(thumbnail.outcome.status);
    }
    imported->has_thumbnail = thumbnail.outcome.ok();
    imported->thumbnail_outcome = std::move(thumbnail.outcome);
  }
  ReadImageSize(fs, copy_path, &imported->width, &imported->height);
  return Status::Ok();
}

}  // namespace

ImportedPhoto::ImportedPhoto(ImportedPhoto&& other) noexcept { *this = std::move(other); }

ImportedPhoto& ImportedPhoto::operator=(ImportedPhoto&& other) noexcept {
  if (this == &other) return *this;
  Discard();
  status = other.status;
  found = other.found;
  online_name = std::move(other.online_name);
  original_name = std::move(other.original_name);
  date_taken = std::move(other.date_taken);
  width = other.width;
  height = other.height;
  has_thumbnail = other.has_thumbnail;
  thumbnail_outcome = std::move(other.thumbnail_outcome);
  fs_ = other.fs_;
  copy_path_ = std::move(other.copy_path_);
  thumbnail_path_ = std::move(other.thumbnail_path_);
  other.fs_ = nullptr;
  return *this;
}

void ImportedPhoto::Discard() {
  if (fs_ == nullptr) return;
  // What cannot be removed stays; the import failed either way.
  fs_->DeleteFile(thumbnail_path_).IgnoreError();
  fs_->DeleteFile(copy_path_).IgnoreError();
  fs_ = nullptr;
}

ImportedPhoto ImportPhotoFiles(FileSystem& fs, const std::string& output_path,
                               const std::string& source, const std::string& name) {
  const std::string& own_name = name.empty() ? source : name;
  ImportedPhoto imported;
  try {
    if (!PathExists(fs, source)) return imported;
    imported.found = true;
    imported.online_name = NewGuidText(false) + ".jpg";
    imported.original_name = FileNameOf(own_name);
    imported.copy_path_ = output_path + imported.online_name;
    imported.thumbnail_path_ = ThumbnailPathOf(imported.copy_path_);
    imported.fs_ = &fs;
    imported.status =
        MakeImportFiles(fs, source, own_name, &imported, imported.copy_path_,
                        imported.thumbnail_path_);
  } catch (const std::bad_alloc&) {
    imported.status = Status::Error(ERROR_OUTOFMEMORY);
  } catch (...) {
    imported.status = Status::Error(ERROR_SUCCESS);  // a failure without a reason
  }
  if (!imported.status.ok()) imported.Discard();
  return imported;
}

}  // namespace tavirelle
