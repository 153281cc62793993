// The file work of importing one photo, apart from the show it joins: the
// copy under a GUID name, the thumbnail, the size and the date. It touches no
// automation object, so several photos can be worked on at once; the show
// takes the results one by one on its own thread.
#ifndef TAVIRELLE_SHOW_PHOTO_IMPORT_H_
#define TAVIRELLE_SHOW_PHOTO_IMPORT_H_

#include <cstdint>
#include <string>

#include "imaging/image_format.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// The files made for one photo and what was read from them. It owns the copy
// and the thumbnail: unless Keep() is called they are deleted with it, so a
// photo that is not added leaves nothing in the output folder.
class ImportedPhoto {
 public:
  ImportedPhoto() = default;
  ~ImportedPhoto() { Discard(); }
  ImportedPhoto(ImportedPhoto&& other) noexcept;
  ImportedPhoto& operator=(ImportedPhoto&& other) noexcept;
  ImportedPhoto(const ImportedPhoto&) = delete;
  ImportedPhoto& operator=(const ImportedPhoto&) = delete;

  // Ok unless the files could not be made (the cause is kept); then nothing
  // is left to keep.
  Status status = Status::Ok();
  // False when nothing existed at the source path: no file was made, and the
  // photo is not added, which is not a failure.
  bool found = false;
  std::string online_name;    // the copy's name in the output folder
  std::string original_name;  // the file-name part of the source path
  std::string date_taken;
  int32_t width = 0, height = 0;
  // Whether the photo got a thumbnail (its embedded preview or a scaled
  // copy), and when it did not, why the scaled copy could not be made.
  bool has_thumbnail = false;
  PictureOutcome thumbnail_outcome;

  // The files stay: the photo joined the show.
  void Keep() { fs_ = nullptr; }

 private:
  friend ImportedPhoto ImportPhotoFiles(FileSystem& fs, const std::string& output_path,
                                        const std::string& source, const std::string& name);
  void Discard();

  FileSystem* fs_ = nullptr;  // set while files are owned
  std::string copy_path_, thumbnail_path_;
};

// Copies `source` into `output_path` (a folder with its trailing separator)
// under a new GUID name, writes its thumbnail beside it and reads its size
// and capture date. Safe to call from several threads at once when `fs` is.
// Never throws: a failure, memory included, is in the result's status.
// `name` is the name the photo goes by when `source` is another way to reach
// it (a descriptor's alias, which has no extension): its extension says
// which formats the photo is read as, and its file-name part is the original
// name. Empty: `source` is the photo's own name.
ImportedPhoto ImportPhotoFiles(FileSystem& fs, const std::string& output_path,
                               const std::string& source, const std::string& name = {});

}  // namespace tavirelle

#endif  // TAVIRELLE_SHOW_PHOTO_IMPORT_H_
