// CClip: one clip-art overlay on a photo (its file, position and size).
#ifndef TAVIRELLE_AUTOMATION_CLIP_H_
#define TAVIRELLE_AUTOMATION_CLIP_H_

#include <string>

#include "com/com_object.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

class CClip : public DispatchObject<IClip> {
 public:
  CClip() = default;

  HRESULT get_Path(BSTR* value) override;
  HRESULT put_Path(BSTR value) override;
  HRESULT get_xPos(FLOAT* value) override;
  HRESULT put_xPos(FLOAT value) override;
  HRESULT get_yPos(FLOAT* value) override;
  HRESULT put_yPos(FLOAT value) override;
  HRESULT get_scale(FLOAT* value) override;
  HRESULT put_scale(FLOAT value) override;

 private:
  std::string path_;
  FLOAT x_pos_ = 0;
  FLOAT y_pos_ = 0;
  FLOAT scale_ = 0;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_CLIP_H_
