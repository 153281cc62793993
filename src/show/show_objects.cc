#include "show/show_objects.h"

#include "show/boundary.h"
#include "show/clip.h"
#include "show/photo_desc.h"
#include "show/qx_helper.h"

namespace tavirelle {

namespace {

template <typename T>
HRESULT Create(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return Guarded([&] {
    T* created = new T();
    HRESULT hr = created->QueryInterface(riid, object);
    created->Release();  // the creator's reference; the query holds its own
    return hr;
  });
}

}  // namespace

HRESULT CreateClip(REFIID riid, void** object) { return Create<CClip>(riid, object); }
HRESULT CreatePhotoDesc(REFIID riid, void** object) {
  return Create<CPhotoDesc>(riid, object);
}
HRESULT CreateQXHelper(REFIID riid, void** object) {
  return Create<CQXHelper>(riid, object);
}

}  // namespace tavirelle
