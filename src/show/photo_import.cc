// AddPhoto: copies a photo into the output folder under a GUID name, gives it
// a thumbnail (the embedded preview when it suits, a scaled copy otherwise),
// fills its description and appends it to the show.
#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "show/boundary.h"
#include "show/qx_helper.h"
#include "util/file_utils.h"

namespace {

HRESULT SetPhotoText(IPhotoDesc* photo, HRESULT (IPhotoDesc::*setter)(BSTR),
                const std::string& text) {
  BSTR value = BstrFromAnsi(text);
  if (value == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = (photo->*setter)(value);
  SysFreeString(value);
  return hr;
}

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
    if (!PathExists(source)) return S_OK;

    std::string online_name = NewGuidText(false) + ".jpg";
    std::string copy_path = output_path_ + online_name;
    // Whether the copy worked shows in what can be read from it below.
    GetFileSystem()->CopyFile(source, copy_path, false);
    std::string thumbnail_path = ThumbnailPathOf(copy_path);

    PhotoMetadata metadata;
    {
      PhotoImage image;
      image.ReadPhotoMetadata(copy_path, thumbnail_path, &metadata);
    }
    std::string date = metadata.dateTaken;
    if (date.empty()) date = FormatFileDate(source, false);

    if (!PathExists(thumbnail_path)) {
      ThumbnailSettings settings;
      settings.width = 133;
      settings.height = 100;
      PhotoImage image;
      image.MakeThumbnail(copy_path, thumbnail_path, settings);
      image.ReleasePixels();
    }
    int32_t width = 0, height = 0;
    ReadImageSize(copy_path, &width, &height);

    photo->put__Width(width);
    photo->put__Height(height);
    SetPhotoText(photo, &IPhotoDesc::put__OnlineName, online_name);
    SetPhotoText(photo, &IPhotoDesc::put__OriginalName, FileNameOf(source));
    SetPhotoText(photo, &IPhotoDesc::put__PhotoDateTaken, date);
    photo->put__IsVideo(0);
    AppendPhoto(photo);
    return S_OK;
  });
}
