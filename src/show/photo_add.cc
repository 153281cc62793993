// AddPhoto: the files of one photo made by ImportPhotoFiles, its
// description filled from them and the photo appended to the show.
#include <string>

#include "com/boundary.h"
#include "show/photo_import.h"
#include "show/qx_helper.h"

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

}  // namespace

HRESULT CQXHelper::ReadPhotoSource(IPhotoDesc* photo, std::string* source) {
  BSTR text = nullptr;
  HRESULT hr = photo->get_Path(&text);
  if (FAILED(hr)) return hr;
  // A host's own description may hand over any text; one the code page
  // cannot hold would name another file.
  hr = ArgumentFromBstr(text, source);
  SysFreeString(text);
  return hr;
}

HRESULT CQXHelper::AddImported(IPhotoDesc* photo, ImportedPhoto& imported) {
  if (!imported.status.ok()) return ToHresult(imported.status);
  if (!imported.found) return S_OK;
  photo->put__Width(imported.width);
  photo->put__Height(imported.height);
  SetPhotoText(photo, &IPhotoDesc::put__OnlineName, imported.online_name);
  SetPhotoText(photo, &IPhotoDesc::put__OriginalName, imported.original_name);
  SetPhotoText(photo, &IPhotoDesc::put__PhotoDateTaken, imported.date_taken);
  photo->put__IsVideo(0);
  AppendPhoto(photo);
  imported.Keep();
  return S_OK;
}

HRESULT CQXHelper::AddPhoto(IPhotoDesc* photo) {
  if (photo == nullptr) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    std::string source;
    HRESULT hr = ReadPhotoSource(photo, &source);
    if (FAILED(hr)) return hr;
    show_changed_ = true;
    ImportedPhoto imported = ImportPhotoFiles(fs_, output_path_, source);
    return AddImported(photo, imported);
  });
}

}  // namespace tavirelle
