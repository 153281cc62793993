// AddPhotos: AddPhoto for many photos, with the file work of several done at
// once on worker threads and everything else on the caller's thread, in
// order, so that the show ends as one-by-one calls would leave it.
#include <string>
#include <vector>

#include "com/boundary.h"
#include "show/photo_import.h"
#include "show/qx_helper.h"
#include "util/parallel.h"

namespace tavirelle {

HRESULT CQXHelper::AddPhotos(IPhotoDesc** photos, LONG count, LONG jobs,
                             PhotoBatchProgress progress, void* context, LONG* added) {
  if (added == nullptr) return E_POINTER;
  *added = 0;
  if (count < 0 || jobs < 1 || jobs > 256) return E_INVALIDARG;
  if (photos == nullptr && count > 0) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    // The descriptions are asked on this thread, before any work starts.
    // Where one cannot be read, the run ends there, after the photos before
    // it, as AddPhoto would have ended.
    std::vector<std::string> sources;
    HRESULT unreadable = S_OK;
    bool null_photo = false;
    for (LONG i = 0; i < count; ++i) {
      if (photos[i] == nullptr) {
        unreadable = E_FAIL;
        null_photo = true;
        break;
      }
      std::string& source = sources.emplace_back();
      HRESULT hr = ReadPhotoSource(photos[i], &source);
      if (FAILED(hr)) {
        sources.pop_back();
        unreadable = hr;
        break;
      }
    }

    const std::string output_path = output_path_;
    FileSystem& fs = fs_;
    // Photos made but never added delete their files with this vector.
    std::vector<ImportedPhoto> imported(sources.size());
    HRESULT result = S_OK;
    RunInOrder(
        sources.size(), static_cast<unsigned>(jobs),
        [&](size_t i) { imported[i] = ImportPhotoFiles(fs, output_path, sources[i]); },
        [&](size_t i) {
          show_changed_ = true;
          IPhotoDesc* photo = photos[i];
          LONG before = static_cast<LONG>(photos_.size());
          result = AddImported(photo, imported[i]);
          *added += static_cast<LONG>(photos_.size()) - before;
          if (result != S_OK) return false;
          if (progress != nullptr && progress(context, static_cast<LONG>(i) + 1) != S_OK) {
            result = E_ABORT;
            return false;
          }
          return true;
        });
    if (result != S_OK) return result;
    // A null description leaves the show unchanged; one whose Path fails
    // marks it changed first, as AddPhoto does.
    if (unreadable != S_OK && !null_photo) show_changed_ = true;
    return unreadable;
  });
}

}  // namespace tavirelle
