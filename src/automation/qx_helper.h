// CQXHelper: the show being authored (texts, style, music, output folder and
// the ordered photo list) behind IQXHelper.
#ifndef TAVIRELLE_AUTOMATION_QX_HELPER_H_
#define TAVIRELLE_AUTOMATION_QX_HELPER_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/show_api.h"
#include "automation/photo_batch.h"
#include "com/com_object.h"
#include "com/connection_point.h"
#include "platform/file_system.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

class CQXHelper : public DispatchObject<IQXHelper> {
 public:
  // As a host creates it, through the module's class factory: on the
  // machine's file system.
  CQXHelper() : CQXHelper(DefaultFileSystem()) {}
  // Imports photos and writes the show's files through `fs`, which must
  // outlive the object.
  explicit CQXHelper(FileSystem& fs) : fs_(fs) {}
  ~CQXHelper() override;

  HRESULT get_CreatBy(BSTR* value) override;
  HRESULT put_CreatBy(BSTR value) override;
  HRESULT get_Title(BSTR* value) override;
  HRESULT put_Title(BSTR value) override;
  HRESULT get_Starring(BSTR* value) override;
  HRESULT put_Starring(BSTR value) override;
  HRESULT get_StyleId(BSTR* value) override;
  HRESULT put_StyleId(BSTR value) override;
  HRESULT get_MusicPath(BSTR* value) override;
  HRESULT put_MusicPath(BSTR value) override;
  HRESULT AddPhoto(IPhotoDesc* photo) override;
  HRESULT RemovePhoto(LONG index) override;
  HRESULT ClearPhotos() override;
  HRESULT GetPhoto(LONG index, IPhotoDesc** photo) override;
  HRESULT get_PhotoCount(LONG* value) override;
  HRESULT MovePhoto(LONG old_index, LONG new_index) override;
  HRESULT GenerateMetaXML() override;
  HRESULT get_OutputPath(BSTR* value) override;
  HRESULT put_OutputPath(BSTR value) override;
  HRESULT get_MUSIC_DEFAULT(BSTR* value) override;
  HRESULT get_MUSIC_NONE(BSTR* value) override;

  // Where GenerateMetaXML finds the style templates: HostTemplateSource()
  // until set.
  void set_template_source(TemplateSource source) { template_source_ = std::move(source); }

  // The show's state as the meta XML generator reads it: the photos are
  // asked through their interfaces, which the host may implement.
  ShowDescription Describe() const;

  // The show's state as photo import reads it.
  FileSystem& file_system() const { return fs_; }
  const std::string& title() const { return title_; }
  const std::string& creat_by() const { return creat_by_; }
  const std::string& starring() const { return starring_; }
  const std::string& style_id() const { return style_id_; }
  const std::string& music_path() const { return music_path_; }
  const std::string& output_path() const { return output_path_; }
  const std::vector<ComPtr<IPhotoDesc>>& photos() const { return photos_; }
  bool show_changed() const { return show_changed_; }
  void set_show_changed(bool changed) { show_changed_ = changed; }

  // Appends a photo and takes one reference on it (the last step of
  // AddPhoto).
  void AppendPhoto(IPhotoDesc* photo);

  // IPhotoBatch::AddPhotos, which the object serves through QueryInterface.
  HRESULT AddPhotos(IPhotoDesc** photos, LONG count, LONG jobs, PhotoBatchProgress progress,
                    void* context, LONG* added);

 protected:
  // The object is a connection-point container for _IQXHelperEvents, and
  // imports photos in batches.
  bool QueryOtherInterface(REFIID riid, void** object) override {
    if (riid == IPhotoBatch::kIid) {
      *object = static_cast<IPhotoBatch*>(&batch_);
      return true;
    }
    return events_.QueryInterface(riid, object);
  }

 private:
  // IPhotoBatch of the object, living as long as it does: its reference
  // count and other interfaces are the object's.
  class Batch final : public IPhotoBatch {
   public:
    explicit Batch(CQXHelper* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
      return owner_->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return owner_->AddRef(); }
    ULONG Release() override { return owner_->Release(); }
    HRESULT AddPhotos(IPhotoDesc** photos, LONG count, LONG jobs, PhotoBatchProgress progress,
                      void* context, LONG* added) override {
      return owner_->AddPhotos(photos, count, jobs, progress, context, added);
    }

   private:
    CQXHelper* owner_;
  };

  // The steps of AddPhoto around the file work, on the caller's thread:
  // the description's source path, and the imported photo joining the show.
  static HRESULT ReadPhotoSource(IPhotoDesc* photo, std::string* source);
  void TakeImported(IPhotoDesc* photo, const ImportedPhotoResult& imported);
  // Imports sources[i] for photos[i] in turn, up to `jobs` at once, until
  // one fails or `progress` asks to stop (E_ABORT); counts the photos
  // appended in *added (may be null).
  HRESULT ImportInto(IPhotoDesc** photos, const std::vector<std::string>& sources, LONG jobs,
                     PhotoBatchProgress progress, void* context, LONG* added);

  HRESULT PutText(std::string* field, BSTR value);
  // Deletes the photo copy and the thumbnail of the photo; failures ignored.
  void DeletePhotoFiles(IPhotoDesc* photo) const;

  FileSystem& fs_;
  std::vector<ComPtr<IPhotoDesc>> photos_;
  std::string title_;
  std::string creat_by_;
  std::string starring_;
  std::string style_id_;
  std::string music_path_;
  bool show_changed_ = true;
  std::string output_path_;
  std::optional<TemplateSource> template_source_;
  ConnectionPointSource events_{static_cast<IQXHelper*>(this), DIID__IQXHelperEvents};
  Batch batch_{this};
};


}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_QX_HELPER_H_
