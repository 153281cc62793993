// The four dual automation interfaces of the component, the outgoing event
// interface and the identifiers of the type library, its classes and the
// module's AppID.
//
// Member functions are declared in virtual-table order (after the seven
// IDispatch slots); that order is part of the binary interface.
#ifndef TAVIRELLE_INTERFACES_H_
#define TAVIRELLE_INTERFACES_H_

#include "tavirelle/com.h"

enum PhotoOrientation : LONG {
  Degree0 = 0,
  Degree90 = 1,
  Degree180 = 2,
  Degree270 = 3,
};

inline constexpr GUID LIBID_TavirelleHelperLib = {
    0x5D30531A, 0x0516, 0x45F7, {0xA3, 0xBA, 0x0F, 0x8C, 0x50, 0x5D, 0x28, 0xCB}};
inline constexpr GUID APPID_TavirelleHelper = {
    0x0559D385, 0x9663, 0x4532, {0xAB, 0xDA, 0x46, 0x27, 0xA5, 0xF4, 0xAB, 0x4C}};
inline constexpr CLSID CLSID_QXHelper = {
    0x2080A7D9, 0x1519, 0x414A, {0xA7, 0x82, 0xE5, 0x67, 0x5D, 0x37, 0x50, 0x30}};
inline constexpr CLSID CLSID_PhotoDesc = {
    0x1EF18494, 0x8B5D, 0x4512, {0x8B, 0x0D, 0x1A, 0x2A, 0x17, 0x2E, 0x5D, 0x3E}};
inline constexpr CLSID CLSID_Clip = {
    0xAFB5DFB6, 0x2E29, 0x46C3, {0x8F, 0xC4, 0x1C, 0x78, 0xFE, 0x13, 0x2A, 0x1E}};
inline constexpr CLSID CLSID_QXFileIO = {
    0x4AFA552F, 0x5007, 0x40EC, {0x8D, 0xE7, 0xE2, 0x1B, 0xF3, 0x78, 0x80, 0xD4}};
inline constexpr IID DIID__IQXHelperEvents = {
    0x17376810, 0x08EB, 0x4D2A, {0xAD, 0x78, 0xCD, 0xCE, 0xA2, 0xEE, 0x8C, 0x27}};

class IClip : public IDispatch {
 public:
  static constexpr IID kIid = {
      0x2B706627, 0x7911, 0x4834, {0xAB, 0x44, 0x05, 0xD7, 0x29, 0x19, 0xF2, 0x3E}};
  virtual HRESULT get_Path(BSTR* value) = 0;
  virtual HRESULT put_Path(BSTR value) = 0;
  virtual HRESULT get_xPos(FLOAT* value) = 0;
  virtual HRESULT put_xPos(FLOAT value) = 0;
  virtual HRESULT get_yPos(FLOAT* value) = 0;
  virtual HRESULT put_yPos(FLOAT value) = 0;
  virtual HRESULT get_scale(FLOAT* value) = 0;
  virtual HRESULT put_scale(FLOAT value) = 0;

 protected:
  ~IClip() = default;
};

class IPhotoDesc : public IDispatch {
 public:
  static constexpr IID kIid = {
      0x17B023A8, 0xFD63, 0x4F4A, {0x8C, 0x92, 0x9A, 0xFE, 0x76, 0x9D, 0xB1, 0xEE}};
  virtual HRESULT get_Path(BSTR* value) = 0;
  virtual HRESULT put_Path(BSTR value) = 0;
  virtual HRESULT get_Orientation(PhotoOrientation* value) = 0;
  virtual HRESULT put_Orientation(PhotoOrientation value) = 0;
  virtual HRESULT AddClip(IClip* clip) = 0;
  virtual HRESULT ClearClip() = 0;
  virtual HRESULT GetClip(LONG index, IClip** clip) = 0;
  virtual HRESULT get_ClipCount(LONG* value) = 0;
  virtual HRESULT get__OriginalName(BSTR* value) = 0;
  virtual HRESULT put__OriginalName(BSTR value) = 0;
  virtual HRESULT get__OnlineName(BSTR* value) = 0;
  virtual HRESULT put__OnlineName(BSTR value) = 0;
  virtual HRESULT get__Width(LONG* value) = 0;
  virtual HRESULT put__Width(LONG value) = 0;
  virtual HRESULT get__Height(LONG* value) = 0;
  virtual HRESULT put__Height(LONG value) = 0;
  virtual HRESULT get__PhotoDateTaken(BSTR* value) = 0;
  virtual HRESULT put__PhotoDateTaken(BSTR value) = 0;
  virtual HRESULT get__DisplayDate(BSTR* value) = 0;
  virtual HRESULT put__DisplayDate(BSTR value) = 0;
  virtual HRESULT get__IsVideo(LONG* value) = 0;
  virtual HRESULT put__IsVideo(LONG value) = 0;
  virtual HRESULT get__Changed(LONG* value) = 0;
  virtual HRESULT put__Changed(LONG value) = 0;

 protected:
  ~IPhotoDesc() = default;
};

class IQXHelper : public IDispatch {
 public:
  static constexpr IID kIid = {
      0x371D6E25, 0x5EDB, 0x4CCE, {0x85, 0x85, 0x7D, 0x1B, 0x7C, 0x2C, 0x07, 0x3C}};
  virtual HRESULT get_CreatBy(BSTR* value) = 0;
  virtual HRESULT put_CreatBy(BSTR value) = 0;
  virtual HRESULT get_Title(BSTR* value) = 0;
  virtual HRESULT put_Title(BSTR value) = 0;
  virtual HRESULT get_Starring(BSTR* value) = 0;
  virtual HRESULT put_Starring(BSTR value) = 0;
  virtual HRESULT get_StyleId(BSTR* value) = 0;
  virtual HRESULT put_StyleId(BSTR value) = 0;
  virtual HRESULT get_MusicPath(BSTR* value) = 0;
  virtual HRESULT put_MusicPath(BSTR value) = 0;
  virtual HRESULT AddPhoto(IPhotoDesc* photo) = 0;
  virtual HRESULT RemovePhoto(LONG index) = 0;
  virtual HRESULT ClearPhotos() = 0;
  virtual HRESULT GetPhoto(LONG index, IPhotoDesc** photo) = 0;
  virtual HRESULT get_PhotoCount(LONG* value) = 0;
  virtual HRESULT MovePhoto(LONG old_index, LONG new_index) = 0;
  virtual HRESULT GenerateMetaXML() = 0;
  virtual HRESULT get_OutputPath(BSTR* value) = 0;
  virtual HRESULT put_OutputPath(BSTR value) = 0;
  virtual HRESULT get_MUSIC_DEFAULT(BSTR* value) = 0;
  virtual HRESULT get_MUSIC_NONE(BSTR* value) = 0;

 protected:
  ~IQXHelper() = default;
};

class IQXFileIO : public IDispatch {
 public:
  static constexpr IID kIid = {
      0xF2578DE2, 0x8033, 0x47EC, {0x8F, 0xEC, 0xEF, 0xEC, 0x5A, 0x5F, 0x93, 0x08}};
  virtual HRESULT OpenDotTavirelle(BSTR file_name, LONG download_missing_common_assets) = 0;
  virtual HRESULT GenerateTavirelleData() = 0;
  virtual HRESULT QuickGetShowInfo(BSTR* show_icon, BSTR* show_title) = 0;
  virtual HRESULT GetShowCode(BSTR* show_code) = 0;
  virtual HRESULT GetServerModTime(BSTR* server_mod_time) = 0;
  virtual HRESULT GetLocalModified(LONG* local_modified) = 0;
  virtual HRESULT get_OutputPath(BSTR* value) = 0;
  virtual HRESULT put_OutputPath(BSTR value) = 0;
  virtual HRESULT CloseDotTavirelle() = 0;
  virtual HRESULT WriteDotTavirelle(BSTR export_filename, BSTR data_folder,
                                    BSTR* exact_filename) = 0;
  virtual HRESULT GetMetaXml(BSTR* meta_xml) = 0;
  virtual HRESULT Utils_MakeLegalName(BSTR source_name, BSTR* dest_name) = 0;

 protected:
  ~IQXFileIO() = default;
};

#endif  // TAVIRELLE_INTERFACES_H_
