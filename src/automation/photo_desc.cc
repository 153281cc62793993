#include "automation/photo_desc.h"

#include "com/boundary.h"

namespace tavirelle {

HRESULT CPhotoDesc::PutText(std::string* field, BSTR value) {
  return Guarded([&] {
    HRESULT hr = ArgumentFromBstr(value, field);
    if (hr == S_OK) changed_ = 1;
    return hr;
  });
}

HRESULT CPhotoDesc::get_Path(BSTR* value) {
  return Guarded([&] { return ReturnText(path_, value); });
}
HRESULT CPhotoDesc::put_Path(BSTR value) { return PutText(&path_, value); }

HRESULT CPhotoDesc::get_Orientation(PhotoOrientation* value) {
  return ReturnValue(orientation_, value);
}
HRESULT CPhotoDesc::put_Orientation(PhotoOrientation value) {
  orientation_ = value;  // deliberately unchecked: any 32-bit value is kept
  changed_ = 1;
  return S_OK;
}

HRESULT CPhotoDesc::AddClip(IClip* clip) {
  if (clip == nullptr) return E_POINTER;
  return Guarded([&] {
    clips_.push_back(ComPtr<IClip>::Share(clip));
    changed_ = 1;
    return S_OK;
  });
}

HRESULT CPhotoDesc::ClearClip() {
  changed_ = 1;
  // The list is empty before any clip goes, so the photo never lists a clip
  // that is being released.
  std::vector<ComPtr<IClip>> released;
  released.swap(clips_);
  return S_OK;
}

HRESULT CPhotoDesc::GetClip(LONG index, IClip** clip) {
  if (clip == nullptr) return E_POINTER;
  if (index < 0 || static_cast<size_t>(index) >= clips_.size()) return E_FAIL;
  *clip = ComPtr<IClip>(clips_[static_cast<size_t>(index)]).Detach();
  return S_OK;
}

HRESULT CPhotoDesc::get_ClipCount(LONG* value) {
  return ReturnValue(static_cast<LONG>(clips_.size()), value);
}

HRESULT CPhotoDesc::get__OriginalName(BSTR* value) {
  return Guarded([&] { return ReturnText(original_name_, value); });
}
HRESULT CPhotoDesc::put__OriginalName(BSTR value) {
  return PutText(&original_name_, value);
}
HRESULT CPhotoDesc::get__OnlineName(BSTR* value) {
  return Guarded([&] { return ReturnText(online_name_, value); });
}
HRESULT CPhotoDesc::put__OnlineName(BSTR value) {
  return PutText(&online_name_, value);
}

HRESULT CPhotoDesc::get__Width(LONG* value) { return ReturnValue(width_, value); }
HRESULT CPhotoDesc::put__Width(LONG value) {
  width_ = value;
  changed_ = 1;
  return S_OK;
}
HRESULT CPhotoDesc::get__Height(LONG* value) { return ReturnValue(height_, value); }
HRESULT CPhotoDesc::put__Height(LONG value) {
  height_ = value;
  changed_ = 1;
  return S_OK;
}

HRESULT CPhotoDesc::get__PhotoDateTaken(BSTR* value) {
  return Guarded([&] { return ReturnText(photo_date_taken_, value); });
}
HRESULT CPhotoDesc::put__PhotoDateTaken(BSTR value) {
  return PutText(&photo_date_taken_, value);
}
HRESULT CPhotoDesc::get__DisplayDate(BSTR* value) {
  return Guarded([&] { return ReturnText(display_date_, value); });
}
HRESULT CPhotoDesc::put__DisplayDate(BSTR value) {
  return PutText(&display_date_, value);
}

HRESULT CPhotoDesc::get__IsVideo(LONG* value) {
  return ReturnValue<LONG>(is_video_ ? 1 : 0, value);
}
HRESULT CPhotoDesc::put__IsVideo(LONG value) {
  is_video_ = value == 1;  // only exactly 1 means true (so -1 stores false)
  changed_ = 1;
  return S_OK;
}

HRESULT CPhotoDesc::get__Changed(LONG* value) { return ReturnValue(changed_, value); }
HRESULT CPhotoDesc::put__Changed(LONG value) {
  changed_ = value;
  return S_OK;
}

}  // namespace tavirelle
