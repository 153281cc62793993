// AddPhotos: AddPhoto for many photos, with the file work of several done at
// once on the library's worker threads and everything else on the caller's
// thread, in order.
#include <string>
#include <vector>

#include "automation/qx_helper.h"
#include "com/boundary.h"

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
    HRESULT result = ImportInto(photos, sources, jobs, progress, context, added);
    if (result != S_OK) return result;
    // A null description leaves the show unchanged; one whose Path fails
    // marks it changed first, as AddPhoto does.
    if (unreadable != S_OK && !null_photo) show_changed_ = true;
    return unreadable;
  });
}

}  // namespace tavirelle
