#include "show/show_objects.h"

#include "com/boundary.h"
#include "show/clip.h"
#include "show/photo_desc.h"
#include "show/qx_helper.h"

namespace tavirelle {

HRESULT CreateClip(REFIID riid, void** object) { return CreateObject<CClip>(riid, object); }
HRESULT CreatePhotoDesc(REFIID riid, void** object) {
  return CreateObject<CPhotoDesc>(riid, object);
}
HRESULT CreateQXHelper(REFIID riid, void** object) {
  return CreateObject<CQXHelper>(riid, object);
}

}  // namespace tavirelle
