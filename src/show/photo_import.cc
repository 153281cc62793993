// AddPhoto: copies a photo into the output folder under a GUID name, gives it
// a thumbnail (the embedded preview when it suits, a scaled copy otherwise),
// fills its description and appends it to the show.
#include <string>
#include <utility>

#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "platform/status.h"
#include "com/boundary.h"
#include "show/qx_helper.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

HRESULT SetPhotoText(IPhotoDesc* photo, HRESULT (IPhotoDesc::*setter)(BSTR),
                const std::string& text) {
  BSTR value = BstrFromAnsi(text);
  if (value == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = (photo->*setter)(value);
  SysFreeString(value);
  return hr;
}

// Removes the files an import made unless it is kept: a photo that is not
// added leaves nothing in the output folder, whatever step failed.
class ImportFiles {
 public:
  ImportFiles(FileSystem& fs, std::string copy, std::string thumbnail)
      : fs_(fs), copy_(std::move(copy)), thumbnail_(std::move(thumbnail)) {}
  ~ImportFiles() {
    if (kept_) return;
    DWORD error = GetLastError();
    fs_.DeleteFile(thumbnail_);
    fs_.DeleteFile(copy_);
    SetLastError(error);
  }
  ImportFiles(const ImportFiles&) = delete;
  ImportFiles& operator=(const ImportFiles&) = delete;
  void Keep() { kept_ = true; }

 private:
  FileSystem& fs_;
  std::string copy_;
  std::string thumbnail_;
  bool kept_ = false;
};

}  // namespace

HRESULT CQXHelper::AddPhoto(IPhotoDesc* photo) {
  if (photo == nullptr) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    show_changed_ = true;
    BSTR source_text = nullptr;
    HRESULT hr = photo->get_Path(&source_text);
    if (FAILED(hr)) return hr;
    std::string source = AnsiFromBstr(source_text);
    SysFreeString(source_text);
    if (!PathExists(fs_, source)) return S_OK;

    std::string online_name = NewGuidText(false) + ".jpg";
    std::string copy_path = output_path_ + online_name;
    std::string thumbnail_path = ThumbnailPathOf(copy_path);
    ImportFiles files(fs_, copy_path, thumbnail_path);
    // A photo whose copy is not there (a full disk, an unreadable source, a
    // folder named as the photo) would leave the show naming a missing file.
    if (!fs_.CopyFile(source, copy_path, IfExists::kReplace)) {
      return ToHresult(Status::FromLastError());
    }

    PhotoMetadata metadata;
    {
      PhotoImage image(fs_);
      image.ReadPhotoMetadata(copy_path, thumbnail_path, &metadata);
    }
    std::string date = metadata.dateTaken;
    if (date.empty()) date = FormatFileDate(fs_, source, /*with_milliseconds=*/false);

    if (!PathExists(fs_, thumbnail_path)) {
      ThumbnailSettings settings;
      settings.width = 133;
      settings.height = 100;
      PhotoImage image(fs_);
      SetLastError(ERROR_SUCCESS);
      bool made = image.MakeThumbnail(copy_path, thumbnail_path, settings);
      // The decoder knows a bitmap by its name, and the copy of one is named
      // ".jpg": its source, the same bytes, still says what it is.
      if (!made && !image.loaded && Extension(source) == ".bmp") {
        image.Reset();
        made = image.MakeThumbnail(source, thumbnail_path, settings);
      }
      // A picture that does not decode simply has no thumbnail; one that
      // decoded but could not be written (a full disk) fails the import.
      if (!made && image.loaded) return ToHresult(Status::FromLastError());
      image.ReleasePixels();
    }
    int32_t width = 0, height = 0;
    ReadImageSize(fs_, copy_path, &width, &height);

    photo->put__Width(width);
    photo->put__Height(height);
    SetPhotoText(photo, &IPhotoDesc::put__OnlineName, online_name);
    SetPhotoText(photo, &IPhotoDesc::put__OriginalName, FileNameOf(source));
    SetPhotoText(photo, &IPhotoDesc::put__PhotoDateTaken, date);
    photo->put__IsVideo(0);
    AppendPhoto(photo);
    files.Keep();
    return S_OK;
  });
}

}  // namespace tavirelle
