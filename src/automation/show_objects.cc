#include "automation/show_objects.h"

#include "com/boundary.h"
#include "automation/clip.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"

namespace tavirelle {

HRESULT CreateClip(REFIID riid, void** object) { return CreateObject<CClip>(riid, object); }
HRESULT CreatePhotoDesc(REFIID riid, void** object) {
  return CreateObject<CPhotoDesc>(riid, object);
}
HRESULT CreateQXHelper(REFIID riid, void** object) {
  return CreateObject<CQXHelper>(riid, object);
}

}  // namespace tavirelle
