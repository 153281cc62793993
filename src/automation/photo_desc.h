// CPhotoDesc: one photo (or video) of a show, its imported copy, dates and
// clip-art overlays. A plain property holder with a change flag.
#ifndef TAVIRELLE_AUTOMATION_PHOTO_DESC_H_
#define TAVIRELLE_AUTOMATION_PHOTO_DESC_H_

#include <string>
#include <vector>

#include "com/com_object.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

class CPhotoDesc : public DispatchObject<IPhotoDesc> {
 public:
  CPhotoDesc() = default;
  ~CPhotoDesc() override = default;

  HRESULT get_Path(BSTR* value) override;
  HRESULT put_Path(BSTR value) override;
  HRESULT get_Orientation(PhotoOrientation* value) override;
  HRESULT put_Orientation(PhotoOrientation value) override;
  HRESULT AddClip(IClip* clip) override;
  HRESULT ClearClip() override;
  HRESULT GetClip(LONG index, IClip** clip) override;
  HRESULT get_ClipCount(LONG* value) override;
  HRESULT get__OriginalName(BSTR* value) override;
  HRESULT put__OriginalName(BSTR value) override;
  HRESULT get__OnlineName(BSTR* value) override;
  HRESULT put__OnlineName(BSTR value) override;
  HRESULT get__Width(LONG* value) override;
  HRESULT put__Width(LONG value) override;
  HRESULT get__Height(LONG* value) override;
  HRESULT put__Height(LONG value) override;
  HRESULT get__PhotoDateTaken(BSTR* value) override;
  HRESULT put__PhotoDateTaken(BSTR value) override;
  HRESULT get__DisplayDate(BSTR* value) override;
  HRESULT put__DisplayDate(BSTR value) override;
  HRESULT get__IsVideo(LONG* value) override;
  HRESULT put__IsVideo(LONG value) override;
  HRESULT get__Changed(LONG* value) override;
  HRESULT put__Changed(LONG value) override;

 private:
  HRESULT PutText(std::string* field, BSTR value);

  std::string path_;
  PhotoOrientation orientation_ = Degree0;
  LONG changed_ = 0;
  std::string original_name_;
  std::string online_name_;
  LONG width_ = 0;
  LONG height_ = 0;
  std::string photo_date_taken_;
  std::string display_date_;
  bool is_video_ = false;
  std::vector<ComPtr<IClip>> clips_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_PHOTO_DESC_H_
