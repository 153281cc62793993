#include "automation/clip.h"

#include "com/boundary.h"

namespace tavirelle {

HRESULT CClip::get_Path(BSTR* value) {
  return Guarded([&] { return ReturnText(path_, value); });
}

HRESULT CClip::put_Path(BSTR value) {
  return Guarded([&] { return ArgumentFromBstr(value, &path_); });
}

HRESULT CClip::get_xPos(FLOAT* value) { return ReturnValue(x_pos_, value); }
HRESULT CClip::put_xPos(FLOAT value) {
  x_pos_ = value;
  return S_OK;
}
HRESULT CClip::get_yPos(FLOAT* value) { return ReturnValue(y_pos_, value); }
HRESULT CClip::put_yPos(FLOAT value) {
  y_pos_ = value;
  return S_OK;
}
HRESULT CClip::get_scale(FLOAT* value) { return ReturnValue(scale_, value); }
HRESULT CClip::put_scale(FLOAT value) {
  scale_ = value;
  return S_OK;
}

}  // namespace tavirelle
