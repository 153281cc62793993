// An early-bound host of the automation classes: every call goes through the
// interfaces' virtual tables, including the out-parameter methods scripts
// cannot call. The same source builds on both systems: on Windows against
// the system's object runtime and the interface header compiled from the IDL
// file (objects created by CoCreateInstance from the registered classes), on
// Linux against the module's public headers.
//
//   road_host SCRATCH PHOTO1 PHOTO2 PHOTO3 CLIPART
//
// Run from a folder that holds the photos and the clip-art, named relative to
// it, so that both systems author the same show: SCRATCH/show/ (the show),
// SCRATCH/Summer.pkg (packed from it), SCRATCH/out/ (extracted again) and
// SCRATCH/fixed.pkg (packed from the folder SCRATCH/fixed/ when it exists).
// Prints one line per failed check and a last line with the count.
#ifdef _WIN32
#include <windows.h>
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>

#include "tavirelle_helper_h.h"
#define TEXT16(literal) L##literal
using Char16 = wchar_t;
#else
#include <tavirelle/tavirelle.h>
#define TEXT16(literal) u##literal
using Char16 = char16_t;
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

int g_checks = 0, g_failures = 0;

template <class T>
void Check(const char* what, const T& got, const T& want) {
  ++g_checks;
  if (!(got == want)) {
    ++g_failures;
    std::printf("FAIL: %s\n", what);
  }
}

void CheckHr(const char* what, HRESULT got, HRESULT want = S_OK) {
  ++g_checks;
  if (got != want) {
    ++g_failures;
    std::printf("FAIL: %s: HRESULT 0x%08X, want 0x%08X\n", what, static_cast<unsigned>(got),
                static_cast<unsigned>(want));
  }
}

// An automation string that frees itself. The texts of this host are ASCII.
class Text {
 public:
  Text() = default;
  explicit Text(const std::string& ascii) {
    std::basic_string<Char16> wide(ascii.begin(), ascii.end());
    bstr_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Text() { SysFreeString(bstr_); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  BSTR get() const { return bstr_; }
  BSTR* Receive() {
    SysFreeString(bstr_);
    bstr_ = nullptr;
    return &bstr_;
  }
  std::string Ascii() const {
    std::string text;
    for (UINT i = 0; i < SysStringLen(bstr_); ++i) text += static_cast<char>(bstr_[i]);
    return text;
  }

 private:
  BSTR bstr_ = nullptr;
};

// Holds one reference to an interface.
template <class T>
class Ref {
 public:
  Ref() = default;
  ~Ref() {
    if (p_ != nullptr) p_->Release();
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** Receive() { return &p_; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

HRESULT Create(const Char16* prog_id, REFIID riid, void** object) {
#ifdef _WIN32
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(prog_id, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, object);
#else
  return TavirelleCreateObject(prog_id, riid, object);
#endif
}

#ifdef _WIN32
const IID& kIQXHelper = IID_IQXHelper;
const IID& kIPhotoDesc = IID_IPhotoDesc;
const IID& kIClip = IID_IClip;
const IID& kIQXFileIO = IID_IQXFileIO;
const IID& kEvents = DIID__IQXHelperEvents;
#else
const IID& kIQXHelper = IQXHelper::kIid;
const IID& kIPhotoDesc = IPhotoDesc::kIid;
const IID& kIClip = IClip::kIid;
const IID& kIQXFileIO = IQXFileIO::kIid;
const IID& kEvents = DIID__IQXHelperEvents;
#endif

// On Windows the objects' late binding is the system's: the type information
// an object hands out is the registered library's own, which the system's
// loader keeps one of (not a copy the module describes itself).
void CheckLateBindingIsTheRegisteredLibrarys(IDispatch* object, const IID& iid) {
#ifdef _WIN32
  Ref<ITypeInfo> served;
  CheckHr("GetTypeInfo", object->GetTypeInfo(0, LOCALE_NEUTRAL, served.Receive()));
  Ref<ITypeLib> library;
  CheckHr("LoadRegTypeLib",
          LoadRegTypeLib(LIBID_TavirelleHelperLib, 1, 0, LOCALE_NEUTRAL, library.Receive()));
  if (served.get() == nullptr || library.get() == nullptr) return;
  Ref<ITypeInfo> registered;
  CheckHr("GetTypeInfoOfGuid", library->GetTypeInfoOfGuid(iid, registered.Receive()));
  Check("late binding through the registered type library", served.get() == registered.get(),
        true);
#else
  (void)object;
  (void)iid;
#endif
}

std::string TextOf(HRESULT hr, const Text& text) { return SUCCEEDED(hr) ? text.Ascii() : "<failed>"; }

void Road(const std::string& scratch, char** inputs) {
  const std::string show_folder = scratch + "\\show\\";
  Ref<IQXHelper> show;
  CheckHr("creating QXHelper", Create(TEXT16("TavirelleHelper.QXHelper"), kIQXHelper,
                                      show.ReceiveVoid()));
  if (show.get() == nullptr) return;
  CheckLateBindingIsTheRegisteredLibrarys(show.get(), kIQXHelper);
  Text text;
  CheckHr("put_Title", show->put_Title(Text("Summer by the sea").get()));
  CheckHr("put_CreatBy", show->put_CreatBy(Text("Ann").get()));
  CheckHr("put_Starring", show->put_Starring(Text("Bo & Cy").get()));
  CheckHr("put_StyleId", show->put_StyleId(Text("classic").get()));
  CheckHr("put_MusicPath", show->put_MusicPath(Text("none_music").get()));
  CheckHr("put_OutputPath", show->put_OutputPath(Text(show_folder).get()));
  Check<std::string>("Title", TextOf(show->get_Title(text.Receive()), text), "Summer by the sea");
  Check<std::string>("CreatBy", TextOf(show->get_CreatBy(text.Receive()), text), "Ann");
  Check<std::string>("Starring", TextOf(show->get_Starring(text.Receive()), text), "Bo & Cy");
  Check<std::string>("StyleId", TextOf(show->get_StyleId(text.Receive()), text), "classic");
  Check<std::string>("MusicPath", TextOf(show->get_MusicPath(text.Receive()), text), "none_music");
  Check<std::string>("MUSIC_DEFAULT", TextOf(show->get_MUSIC_DEFAULT(text.Receive()), text),
                     "default_music");
  Check<std::string>("OutputPath", TextOf(show->get_OutputPath(text.Receive()), text),
                     show_folder);

  // The show is a connection-point container for its (silent) events.
  Ref<IConnectionPointContainer> container;
  CheckHr("IConnectionPointContainer",
          show->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid()));
  if (container.get() != nullptr) {
    Ref<IConnectionPoint> point;
    CheckHr("FindConnectionPoint", container->FindConnectionPoint(kEvents, point.Receive()));
    DWORD cookie = 0;
    if (point.get() != nullptr) {
      CheckHr("Advise without a sink", point->Advise(nullptr, &cookie), E_POINTER);
      CheckHr("Unadvise of no connection", point->Unadvise(7), CONNECT_E_NOCONNECTION);
    }
  }

  // Three photos, the first with clip-art.
  Ref<IPhotoDesc> photos[3];
  for (int i = 0; i < 3; ++i) {
    CheckHr("creating PhotoDesc", Create(TEXT16("TavirelleHelper.PhotoDesc"), kIPhotoDesc,
                                         photos[i].ReceiveVoid()));
    if (photos[i].get() == nullptr) return;
    CheckHr("put_Path", photos[i]->put_Path(Text(inputs[i]).get()));
  }
  Ref<IClip> clip;
  CheckHr("creating Clip", Create(TEXT16("TavirelleHelper.Clip"), kIClip, clip.ReceiveVoid()));
  if (clip.get() == nullptr) return;
  CheckHr("Clip put_Path", clip->put_Path(Text(inputs[3]).get()));
  CheckHr("put_xPos", clip->put_xPos(0.25f));
  CheckHr("put_yPos", clip->put_yPos(0.5f));
  CheckHr("put_scale", clip->put_scale(1.5f));
  float value = 0;
  CheckHr("get_scale", clip->get_scale(&value));
  Check("scale", value, 1.5f);
  CheckHr("AddClip", photos[0]->AddClip(clip.get()));
  CheckHr("put_Orientation", photos[1]->put_Orientation(Degree90));
  LONG count = -1;
  CheckHr("get_ClipCount", photos[0]->get_ClipCount(&count));
  Check("ClipCount", count, LONG{1});

  for (auto& photo : photos) CheckHr("AddPhoto", show->AddPhoto(photo.get()));
  CheckHr("get_PhotoCount", show->get_PhotoCount(&count));
  Check("PhotoCount", count, LONG{3});
  LONG width = 0, height = 0;
  photos[0]->get__Width(&width);
  photos[0]->get__Height(&height);
  Check("the first photo's width", width, LONG{640});
  Check("the first photo's height", height, LONG{480});
  CheckHr("MovePhoto", show->MovePhoto(2, 0));
  Ref<IPhotoDesc> moved;
  CheckHr("GetPhoto", show->GetPhoto(0, moved.Receive()));
  Check("the photo moved first", moved.get() == photos[2].get(), true);
  CheckHr("GetPhoto out of range", show->GetPhoto(3, moved.Receive()), E_FAIL);
  CheckHr("GenerateMetaXML", show->GenerateMetaXML());

  // Packing, then reading the package back in a new object.
  Ref<IQXFileIO> io;
  CheckHr("creating QXFileIO", Create(TEXT16("TavirelleHelper.QXFileIO"), kIQXFileIO,
                                      io.ReceiveVoid()));
  if (io.get() == nullptr) return;
  Text written;
  CheckHr("WriteDotTavirelle", io->WriteDotTavirelle(Text(scratch + "\\Summer.pkg").get(),
                                                      Text(show_folder).get(), written.Receive()));
  Check<std::string>("the package's name", written.Ascii(), scratch + "\\Summer.pkg");
  Text fixed_name;
  io->WriteDotTavirelle(Text(scratch + "\\fixed.pkg").get(), Text(scratch + "\\fixed\\").get(),
                        fixed_name.Receive());

  Ref<IQXFileIO> reader;
  CheckHr("creating a second QXFileIO", Create(TEXT16("TavirelleHelper.QXFileIO"), kIQXFileIO,
                                               reader.ReceiveVoid()));
  if (reader.get() == nullptr) return;
  Text icon, title;
  CheckHr("QuickGetShowInfo with nothing open",
          reader->QuickGetShowInfo(icon.Receive(), title.Receive()), E_FAIL);
  CheckHr("OpenDotTavirelle", reader->OpenDotTavirelle(written.get(), 1));
  // The output folder is the host's to make.
  std::filesystem::create_directories(std::filesystem::path(scratch) / "out");
  CheckHr("put_OutputPath", reader->put_OutputPath(Text(scratch + "\\out\\").get()));
  CheckHr("QuickGetShowInfo", reader->QuickGetShowInfo(icon.Receive(), title.Receive()));
  Check<std::string>("the title read back", title.Ascii(), "Summer by the sea");
  Text code, time;
  LONG modified = -1;
  CheckHr("GetShowCode", reader->GetShowCode(code.Receive()));
  Check<std::string>("no show code", code.Ascii(), "");
  CheckHr("GetServerModTime", reader->GetServerModTime(time.Receive()));
  CheckHr("GetLocalModified", reader->GetLocalModified(&modified));
  Check("not locally modified", modified, LONG{0});
  CheckHr("GenerateTavirelleData", reader->GenerateTavirelleData());
  Text meta;
  CheckHr("GetMetaXml", reader->GetMetaXml(meta.Receive()));
  Check("GetMetaXml holds the title",
        meta.Ascii().find("Summer by the sea") != std::string::npos, true);
  Text legal;
  CheckHr("Utils_MakeLegalName", reader->Utils_MakeLegalName(Text("a/b:c").get(), legal.Receive()));
  Check<std::string>("a legal name", legal.Ascii(), "a b c");
  CheckHr("CloseDotTavirelle", reader->CloseDotTavirelle());
  CheckHr("GetLocalModified when closed", reader->GetLocalModified(&modified), E_FAIL);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: road_host SCRATCH PHOTO1 PHOTO2 PHOTO3 CLIPART\n");
    return 2;
  }
#ifdef _WIN32
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
  Road(argv[1], argv + 2);
#ifdef _WIN32
  CoUninitialize();
#endif
  std::printf("road_host: %d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
