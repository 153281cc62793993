#include "automation/qx_helper.h"

#include <algorithm>

#include "api/show_api.h"
#include "com/boundary.h"
#include "com/bstr.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace tavirelle {


CQXHelper::~CQXHelper() = default;

HRESULT CQXHelper::PutText(std::string* field, BSTR value) {
  return Guarded([&] {
    HRESULT hr = ArgumentFromBstr(value, field);
    if (hr == S_OK) show_changed_ = true;
    return hr;
  });
}

HRESULT CQXHelper::get_CreatBy(BSTR* value) {
  return Guarded([&] { return ReturnText(creat_by_, value); });
}
HRESULT CQXHelper::put_CreatBy(BSTR value) { return PutText(&creat_by_, value); }
HRESULT CQXHelper::get_Title(BSTR* value) {
  return Guarded([&] { return ReturnText(title_, value); });
}
HRESULT CQXHelper::put_Title(BSTR value) { return PutText(&title_, value); }
HRESULT CQXHelper::get_Starring(BSTR* value) {
  return Guarded([&] { return ReturnText(starring_, value); });
}
HRESULT CQXHelper::put_Starring(BSTR value) { return PutText(&starring_, value); }
HRESULT CQXHelper::get_StyleId(BSTR* value) {
  return Guarded([&] { return ReturnText(style_id_, value); });
}
HRESULT CQXHelper::put_StyleId(BSTR value) { return PutText(&style_id_, value); }
HRESULT CQXHelper::get_MusicPath(BSTR* value) {
  return Guarded([&] { return ReturnText(music_path_, value); });
}
HRESULT CQXHelper::put_MusicPath(BSTR value) { return PutText(&music_path_, value); }

HRESULT CQXHelper::get_OutputPath(BSTR* value) {
  return Guarded([&] { return ReturnText(output_path_, value); });
}

HRESULT CQXHelper::put_OutputPath(BSTR value) {
  return Guarded([&] {
    HRESULT hr = ArgumentFromBstr(value, &output_path_);
    if (hr != S_OK) return hr;
    // The folder is made at once; whether that worked shows only when files
    // are written into it later.
    CreateFolderPath(fs_, output_path_).IgnoreError();
    return S_OK;
  });
}

HRESULT CQXHelper::get_MUSIC_DEFAULT(BSTR* value) {
  return Guarded([&] { return ReturnText(kMusicDefault, value); });
}
HRESULT CQXHelper::get_MUSIC_NONE(BSTR* value) {
  return Guarded([&] { return ReturnText(kMusicNone, value); });
}

HRESULT CQXHelper::get_PhotoCount(LONG* value) {
  return ReturnValue(static_cast<LONG>(photos_.size()), value);
}

HRESULT CQXHelper::GetPhoto(LONG index, IPhotoDesc** photo) {
  if (photo == nullptr) return E_POINTER;
  if (index < 0 || static_cast<size_t>(index) >= photos_.size()) return E_FAIL;
  *photo = ComPtr<IPhotoDesc>(photos_[static_cast<size_t>(index)]).Detach();
  return S_OK;
}

void CQXHelper::AppendPhoto(IPhotoDesc* photo) {
  photos_.push_back(ComPtr<IPhotoDesc>::Share(photo));
}

void CQXHelper::DeletePhotoFiles(IPhotoDesc* photo) const {
  ScopedBstr name;
  if (FAILED(photo->get__OnlineName(name.Receive()))) return;
  std::string copy_path = output_path_ + name.Ansi();
  // Files that cannot be removed stay behind; the photo leaves the show.
  fs_.DeleteFile(copy_path).IgnoreError();
  fs_.DeleteFile(ThumbnailPathOf(copy_path)).IgnoreError();
}

HRESULT CQXHelper::RemovePhoto(LONG index) {
  if (index < 0 || static_cast<size_t>(index) >= photos_.size()) return E_FAIL;
  return Guarded([&] {
    show_changed_ = true;
    ComPtr<IPhotoDesc> photo = std::move(photos_[static_cast<size_t>(index)]);
    DeletePhotoFiles(photo.get());
    photos_.erase(photos_.begin() + index);
    return S_OK;
  });
}

HRESULT CQXHelper::ClearPhotos() {
  return Guarded([&] {
    show_changed_ = true;
    std::vector<ComPtr<IPhotoDesc>> removed;
    removed.swap(photos_);
    for (ComPtr<IPhotoDesc>& photo : removed) {
      DeletePhotoFiles(photo.get());
      photo.Reset();
    }
    return S_OK;
  });
}

HRESULT CQXHelper::MovePhoto(LONG old_index, LONG new_index) {
  LONG count = static_cast<LONG>(photos_.size());
  if (old_index < 0 || old_index >= count || new_index < 0 || new_index >= count) {
    return E_FAIL;
  }
  if (old_index == new_index) return S_OK;
  auto first = photos_.begin();
  if (old_index < new_index) {
    std::rotate(first + old_index, first + old_index + 1, first + new_index + 1);
  } else {
    std::rotate(first + new_index, first + old_index, first + old_index + 1);
  }
  show_changed_ = true;
  return S_OK;
}

namespace {

// A getter that fails leaves the empty text or 0, as the generator has always
// read a host's photo.
std::string TextOf(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(BSTR*)) {
  ScopedBstr value;
  (photo->*getter)(value.Receive());
  return value.Ansi();
}

LONG NumberOf(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(LONG*)) {
  LONG value = 0;
  (photo->*getter)(&value);
  return value;
}

std::vector<ClipDescription> ClipsOf(IPhotoDesc* photo) {
  std::vector<ClipDescription> clips;
  LONG count = NumberOf(photo, &IPhotoDesc::get_ClipCount);
  for (LONG i = 0; i < count; ++i) {
    IClip* clip = nullptr;
    if (FAILED(photo->GetClip(i, &clip)) || clip == nullptr) continue;
    ClipDescription& description = clips.emplace_back();
    ScopedBstr path;
    clip->get_Path(path.Receive());
    description.path = path.Ansi();
    clip->get_xPos(&description.x);
    clip->get_yPos(&description.y);
    clip->get_scale(&description.scale);
    clip->Release();
  }
  return clips;
}

PhotoDescription DescribePhoto(IPhotoDesc* photo) {
  PhotoDescription description;
  description.online_name = TextOf(photo, &IPhotoDesc::get__OnlineName);
  description.original_name = TextOf(photo, &IPhotoDesc::get__OriginalName);
  description.date_taken = TextOf(photo, &IPhotoDesc::get__PhotoDateTaken);
  description.display_date = TextOf(photo, &IPhotoDesc::get__DisplayDate);
  PhotoOrientation orientation = Degree0;
  photo->get_Orientation(&orientation);
  description.orientation = static_cast<int>(orientation);
  description.is_video = NumberOf(photo, &IPhotoDesc::get__IsVideo) != 0;
  description.clips = ClipsOf(photo);
  return description;
}

}  // namespace

ShowDescription CQXHelper::Describe() const {
  ShowDescription show;
  show.title = title_;
  show.created_by = creat_by_;
  show.starring = starring_;
  show.style_id = style_id_;
  show.music_path = music_path_;
  show.output_path = output_path_;
  for (const ComPtr<IPhotoDesc>& photo : photos_) show.photos.push_back(DescribePhoto(photo.get()));
  return show;
}

HRESULT CQXHelper::GenerateMetaXML() {
  return Guarded([&] {
    // Only the change flags are read until one says there is work, so that a
    // call with nothing changed costs one pass over them.
    bool out_of_date = MetaXmlIsOutOfDate(show_changed_, photos_.size(), [&](size_t i) {
      return NumberOf(photos_[i].get(), &IPhotoDesc::get__Changed);
    });
    if (!out_of_date) return S_OK;
    // The template places hosts are told about, unless the show was given
    // others.
    Status written = WriteShowDescription(
        fs_, Describe(), template_source_ ? *template_source_ : HostTemplateSource());
    // The flags stay set when nothing could be written, so that a host that
    // mends its template or its folder has only to call again.
    if (!written.ok()) return ToHresult(written);
    show_changed_ = false;
    for (const ComPtr<IPhotoDesc>& photo : photos_) photo->put__Changed(0);
    return S_OK;
  });
}

}  // namespace tavirelle
