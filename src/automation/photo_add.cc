// AddPhoto and AddPhotos: the library's photo import, each photo taken into
// the show and its description filled on the caller's thread as it is dealt
// with, so that a batch ends as one-by-one calls would leave it.
#include <string>
#include <vector>

#include "api/show_api.h"
#include "automation/qx_helper.h"
#include "com/boundary.h"

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

void CQXHelper::TakeImported(IPhotoDesc* photo, const ImportedPhotoResult& imported) {
  // A source with nothing at it is passed over: not added, and no failure.
  if (!imported.status.ok()) return;
  photo->put__Width(imported.width);
  photo->put__Height(imported.height);
  SetPhotoText(photo, &IPhotoDesc::put__OnlineName, imported.online_name);
  SetPhotoText(photo, &IPhotoDesc::put__OriginalName, imported.original_name);
  SetPhotoText(photo, &IPhotoDesc::put__PhotoDateTaken, imported.date_taken);
  photo->put__IsVideo(0);
  AppendPhoto(photo);
}

HRESULT CQXHelper::ImportInto(IPhotoDesc** photos, const std::vector<std::string>& sources,
                              LONG jobs, PhotoBatchProgress progress, void* context,
                              LONG* added) {
  bool host_stopped = false;
  PhotoImportOptions options;
  options.jobs = static_cast<unsigned>(jobs);
  options.cancel = [&] { return host_stopped; };
  size_t told = 0;
  options.taken = [&](const ImportedPhotoResult& imported) {
    show_changed_ = true;
    size_t before = photos_.size();
    TakeImported(photos[told], imported);
    ++told;
    if (added != nullptr) *added += static_cast<LONG>(photos_.size() - before);
    if (progress != nullptr && progress(context, static_cast<LONG>(told)) != S_OK) {
      host_stopped = true;
    }
  };
  PhotoImport import = ImportPhotos(fs_, output_path_, sources, options);
  if (host_stopped) return E_ABORT;
  if (import.status.ok()) return S_OK;
  // The photo that failed leaves the show as it was, but for the change flag.
  show_changed_ = true;
  return ToHresult(import.status);
}

HRESULT CQXHelper::AddPhoto(IPhotoDesc* photo) {
  if (photo == nullptr) return E_FAIL;
  return Guarded([&]() -> HRESULT {
    std::string source;
    HRESULT hr = ReadPhotoSource(photo, &source);
    if (FAILED(hr)) return hr;
    show_changed_ = true;
    return ImportInto(&photo, {source}, 1, nullptr, nullptr, nullptr);
  });
}

}  // namespace tavirelle
