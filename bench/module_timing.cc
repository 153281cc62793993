// Photo import timed through the module's interfaces, one source for both
// systems, so the Windows module under wine can be set against the Linux
// module on the same machine: on Windows the DLL is loaded by path and its
// class objects taken from DllGetClassObject (nothing registered), on Linux
// the module's objects are created by ProgID.
//
//   module_timing [--module=DLL] OUTPUT ROUNDS PHOTO...
//
// A round creates a show writing to OUTPUT and adds every photo (copy, EXIF
// date, preview and thumbnail); the photos are removed again between rounds,
// untimed. Prints the best round's milliseconds per photo. Built with the
// tests so that it cannot rot; run by bench/windows_ratio.sh, never by a test.
#ifdef _WIN32
#include <windows.h>
#include <ole2.h>

#include "tavirelle_helper_h.h"
#else
#include <tavirelle/tavirelle.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

#ifdef _WIN32
using Char16 = wchar_t;
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
GetClassObject g_get_class_object = nullptr;

bool LoadModule(const std::string& path) {
  std::wstring wide(path.begin(), path.end());
  HMODULE module = LoadLibraryW(wide.c_str());
  if (module == nullptr) return false;
  g_get_class_object =
      reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
  return g_get_class_object != nullptr;
}

template <class T>
HRESULT Create(const CLSID& clsid, const IID& iid, T** object) {
  *object = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = g_get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(object));
  factory->Release();
  return hr;
}
HRESULT CreateShow(IQXHelper** show) { return Create(CLSID_QXHelper, IID_IQXHelper, show); }
HRESULT CreatePhoto(IPhotoDesc** photo) {
  return Create(CLSID_PhotoDesc, IID_IPhotoDesc, photo);
}
#else
using Char16 = char16_t;
HRESULT CreateShow(IQXHelper** show) {
  return TavirelleCreateObject(u"TavirelleHelper.QXHelper", IQXHelper::kIid,
                               reinterpret_cast<void**>(show));
}
HRESULT CreatePhoto(IPhotoDesc** photo) {
  return TavirelleCreateObject(u"TavirelleHelper.PhotoDesc", IPhotoDesc::kIid,
                               reinterpret_cast<void**>(photo));
}
#endif

// An automation string of a path (ASCII: the script names its files so).
BSTR Text(const std::string& ascii) {
  std::basic_string<Char16> wide(ascii.begin(), ascii.end());
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "module_timing: %s failed: HRESULT 0x%08lX\n", what,
               static_cast<unsigned long>(hr));
  return false;
}

// One round; its wall time in milliseconds through *ms.
bool Round(const std::string& output, const std::vector<std::string>& photos, double* ms) {
  IQXHelper* show = nullptr;
  HRESULT hr = CreateShow(&show);
  if (FAILED(hr)) return Fail("creating a show", hr);
  BSTR folder = Text(output);
  show->put_OutputPath(folder);
  SysFreeString(folder);
  bool ok = true;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : photos) {
    IPhotoDesc* photo = nullptr;
    hr = CreatePhoto(&photo);
    if (FAILED(hr)) {
      ok = Fail("creating a photo", hr);
      break;
    }
    BSTR text = Text(path);
    photo->put_Path(text);
    SysFreeString(text);
    hr = show->AddPhoto(photo);
    photo->Release();
    if (FAILED(hr)) {
      ok = Fail(("adding " + path).c_str(), hr);
      break;
    }
  }
  *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
  show->ClearPhotos();  // removes the copies and thumbnails
  show->Release();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  std::string module;
  if (argc > 1 && std::strncmp(argv[1], "--module=", 9) == 0) module = argv[first++] + 9;
  if (argc - first < 3) {
    std::fprintf(stderr, "usage: module_timing [--module=DLL] OUTPUT ROUNDS PHOTO...\n");
    return 2;
  }
#ifdef _WIN32
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (!LoadModule(module.empty() ? "TavirelleHelper.dll" : module)) {
    std::fprintf(stderr, "module_timing: cannot load the module\n");
    return 1;
  }
#endif
  const std::string output = argv[first];
  const int rounds = std::atoi(argv[first + 1]);
  const std::vector<std::string> photos(argv + first + 2, argv + argc);
  double best = 0;
  for (int i = 0; i < rounds; ++i) {
    double ms = 0;
    if (!Round(output, photos, &ms)) return 1;
    if (i == 0 || ms < best) best = ms;
  }
  std::printf("%.2f ms per photo (%zu photos, best of %d rounds)\n",
              best / static_cast<double>(photos.size()), photos.size(), rounds);
  return 0;
}
