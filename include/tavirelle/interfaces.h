// The four dual automation interfaces of the component, the outgoing event
// interface and the identifiers of the type library, its classes and the
// module's AppID.
//
// Member functions are declared in virtual-table order (after the seven
// IDispatch slots); that order is part of the binary interface.
//
// Contracts common to every member below:
// - Every member returns an HRESULT and never throws; E_OUTOFMEMORY when
//   memory runs out, E_POINTER for a null out pointer.
// - Texts cross as BSTRs. A BSTR passed in stays the caller's; a null BSTR
//   is the empty text, and a text ends at its first NUL. A BSTR returned
//   through an out pointer is new and the caller frees it with
//   SysFreeString. Texts are held in the Windows-1252 code page inside: a
//   text argument with a character it lacks is refused with
//   HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION) and changes nothing.
// - An interface pointer returned through an out pointer carries one
//   reference for the caller. An interface pointer passed in is not
//   consumed; the object adds a reference of its own when it keeps it.
// - Late-bound calls (IDispatch::Invoke) answer a member that fails with
//   DISP_E_EXCEPTION and the member's HRESULT in the EXCEPINFO's scode (when
//   the caller gives one); a name, argument count or argument type that does
//   not fit comes back as its own DISP_E_ code.
// - Objects are single-threaded: call each object from one thread at a time.
//   Different objects may be used on different threads.
// - Paths are the component's Windows-style paths: either separator, names
//   joined to a folder by plain concatenation (give folders with their
//   trailing separator).
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
  // The clip-art file, written unchanged as the clip's "file" attribute.
  virtual HRESULT get_Path(BSTR* value) = 0;
  virtual HRESULT put_Path(BSTR value) = 0;
  // Position and size factor on the photo, stored unchecked and written with
  // six decimals. Changing a clip does not mark its photos changed.
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
  // Every setter except put__Changed sets _Changed to 1, whatever the value.
  // The photo's source file, set by the host; AddPhoto copies it.
  virtual HRESULT get_Path(BSTR* value) = 0;
  virtual HRESULT put_Path(BSTR value) = 0;
  // The turn in steps of 90 degrees; stored unchecked (other values make
  // GenerateMetaXML write no rotation).
  virtual HRESULT get_Orientation(PhotoOrientation* value) = 0;
  virtual HRESULT put_Orientation(PhotoOrientation value) = 0;
  // Appends a clip (the photo keeps a reference; the same clip may be added
  // twice). E_POINTER for a null clip.
  virtual HRESULT AddClip(IClip* clip) = 0;
  // Releases every clip.
  virtual HRESULT ClearClip() = 0;
  // The clip at `index`; E_FAIL (and *clip untouched) outside 0..ClipCount-1.
  virtual HRESULT GetClip(LONG index, IClip** clip) = 0;
  virtual HRESULT get_ClipCount(LONG* value) = 0;
  // The names, size, capture date and video flag that AddPhoto fills in: the
  // source's file name, the copy's name in the output folder, its pixel size
  // (0 by 0 when unreadable), "YYYY:MM:DD hh:mm:ss", and 0.
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
  // A date text to show with the photo; set only by the host.
  virtual HRESULT get__DisplayDate(BSTR* value) = 0;
  virtual HRESULT put__DisplayDate(BSTR value) = 0;
  // put stores true for exactly 1 and false for anything else.
  virtual HRESULT get__IsVideo(LONG* value) = 0;
  virtual HRESULT put__IsVideo(LONG value) = 0;
  // The change flag: 1 after any change, 0 after GenerateMetaXML; put stores
  // any value unchanged.
  virtual HRESULT get__Changed(LONG* value) = 0;
  virtual HRESULT put__Changed(LONG value) = 0;

 protected:
  ~IPhotoDesc() = default;
};

class IQXHelper : public IDispatch {
 public:
  static constexpr IID kIid = {
      0x371D6E25, 0x5EDB, 0x4CCE, {0x85, 0x85, 0x7D, 0x1B, 0x7C, 0x2C, 0x07, 0x3C}};
  // The show's texts. Each put marks the show changed.
  virtual HRESULT get_CreatBy(BSTR* value) = 0;
  virtual HRESULT put_CreatBy(BSTR value) = 0;
  virtual HRESULT get_Title(BSTR* value) = 0;
  virtual HRESULT put_Title(BSTR value) = 0;
  virtual HRESULT get_Starring(BSTR* value) = 0;
  virtual HRESULT put_Starring(BSTR value) = 0;
  // Selects the style template that GenerateMetaXML fills.
  virtual HRESULT get_StyleId(BSTR* value) = 0;
  virtual HRESULT put_StyleId(BSTR value) = 0;
  // A music file, or MUSIC_DEFAULT (the style's own) or MUSIC_NONE.
  virtual HRESULT get_MusicPath(BSTR* value) = 0;
  virtual HRESULT put_MusicPath(BSTR value) = 0;
  // Imports the photo named by the description's Path: copies it into
  // OutputPath under a new name, writes its thumbnail beside it, fills the
  // description (see IPhotoDesc) and appends it, keeping a reference.
  // A photo of which no thumbnail can be made (its pixels do not decode, or
  // it is far taller than wide) is added without one.
  // E_FAIL for a null description; S_OK without adding anything when the
  // source file does not exist; HRESULT_FROM_WIN32 of the cause (disk full,
  // access denied, ...) when the copy or the thumbnail cannot be written,
  // and then nothing is added and no file is left.
  virtual HRESULT AddPhoto(IPhotoDesc* photo) = 0;
  // Takes the photo at `index` out and deletes its copy and thumbnail
  // (failed deletions are ignored). E_FAIL outside 0..PhotoCount-1.
  virtual HRESULT RemovePhoto(LONG index) = 0;
  // RemovePhoto for every photo.
  virtual HRESULT ClearPhotos() = 0;
  // The photo at `index`; E_FAIL outside 0..PhotoCount-1.
  virtual HRESULT GetPhoto(LONG index, IPhotoDesc** photo) = 0;
  virtual HRESULT get_PhotoCount(LONG* value) = 0;
  // Moves one photo to another place; E_FAIL when either index is outside
  // 0..PhotoCount-1.
  virtual HRESULT MovePhoto(LONG old_index, LONG new_index) = 0;
  // Writes OutputPath + "meta.xml" from the style's template when the show
  // or a photo changed since the last run, then marks everything unchanged.
  // With nothing changed it only reads the photos' _Changed, in order, up to
  // the first that reads 1, and returns S_OK; a show without photos writes
  // nothing. HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND when no template of
  // the style is found, of ERROR_INVALID_DATA for a template without
  // qx/images or an image element in it, or of the write's error (the old
  // meta.xml stays whole); after a failure everything stays marked changed,
  // so a host that mends the template or the folder just calls again.
  virtual HRESULT GenerateMetaXML() = 0;
  // The folder everything is written into, kept as given; put creates it
  // (a failure shows later, as failed writes) and does not mark the show
  // changed.
  virtual HRESULT get_OutputPath(BSTR* value) = 0;
  virtual HRESULT put_OutputPath(BSTR value) = 0;
  // "default_music" and "none_music".
  virtual HRESULT get_MUSIC_DEFAULT(BSTR* value) = 0;
  virtual HRESULT get_MUSIC_NONE(BSTR* value) = 0;

 protected:
  ~IQXHelper() = default;
};

class IQXFileIO : public IDispatch {
 public:
  static constexpr IID kIid = {
      0xF2578DE2, 0x8033, 0x47EC, {0x8F, 0xEC, 0xEF, 0xEC, 0x5A, 0x5F, 0x93, 0x08}};
  // Opens a package for reading (closing one already open); with the flag
  // set, its meta.xml must be usable too. E_FAIL when it cannot be opened.
  virtual HRESULT OpenDotTavirelle(BSTR file_name, LONG download_missing_common_assets) = 0;
  // Copies the files the open show refers to, and its meta.xml, into
  // OutputPath; each file appears under its name only when whole. S_OK when
  // the description and every file the package holds for the show were
  // written; an entry the package lacks is skipped (a host supplies shared
  // assets such as the default music itself), as is a name that would leave
  // OutputPath. Otherwise HRESULT_FROM_WIN32 of the first write's error (a
  // missing folder, a full disk, ...) or of ERROR_CRC for an entry whose
  // MD5 does not match, which is not written while the others are. A
  // description that fails its own MD5 cannot be trusted to name the files:
  // nothing is written, and the status is HRESULT_FROM_WIN32(ERROR_CRC).
  // E_FAIL when no package is open.
  virtual HRESULT GenerateTavirelleData() = 0;
  // The icon's entry name and the show's title (empty without a meta.xml),
  // saving the icon into OutputPath. E_FAIL when no package is open.
  virtual HRESULT QuickGetShowInfo(BSTR* show_icon, BSTR* show_title) = 0;
  // The show's code and server modification time from "onlineInfo.xml"
  // (empty when missing). E_FAIL when no package is open.
  virtual HRESULT GetShowCode(BSTR* show_code) = 0;
  virtual HRESULT GetServerModTime(BSTR* server_mod_time) = 0;
  // 1 when "localInfo.xml" says the show changed locally, else 0. E_FAIL
  // when no package is open.
  virtual HRESULT GetLocalModified(LONG* local_modified) = 0;
  // The folder GenerateTavirelleData and QuickGetShowInfo write into.
  virtual HRESULT get_OutputPath(BSTR* value) = 0;
  virtual HRESULT put_OutputPath(BSTR value) = 0;
  // Closes the package; S_OK also when none is open.
  virtual HRESULT CloseDotTavirelle() = 0;
  // Packs the show files of `data_folder` into a new package at
  // `export_filename`, or at the first free "NAME (n)" beside it, never
  // replacing a file; *exact_filename receives the name used. The package
  // appears under that name only when complete. HRESULT_FROM_WIN32 of the
  // cause on failure (ERROR_DISK_FULL, ERROR_FILE_TOO_LARGE past 4 GiB, ...),
  // and nothing is left behind. Does not touch the open package.
  virtual HRESULT WriteDotTavirelle(BSTR export_filename, BSTR data_folder,
                                    BSTR* exact_filename) = 0;
  // The show description as text (from UTF-8); a damaged newest meta.xml is
  // replaced by the newest usable older version, and the package repaired.
  // E_FAIL when no package is open.
  virtual HRESULT GetMetaXml(BSTR* meta_xml) = 0;
  // `source_name` made into a legal file name.
  virtual HRESULT Utils_MakeLegalName(BSTR source_name, BSTR* dest_name) = 0;

 protected:
  ~IQXFileIO() = default;
};

#endif  // TAVIRELLE_INTERFACES_H_
