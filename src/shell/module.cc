#include "shell/module.h"

#include <new>

#include "com/boundary.h"
#include "com/com_object.h"
#include "com/dynamic_module.h"
#include "platform/guid.h"
#include "platform/last_error.h"
#include "platform/status.h"
#include "util/text.h"
#include "com/registrar.h"
#include "com/registry.h"
#include "com/type_library_registration.h"
#include "shell/registration_scripts.h"
#include "automation/clip.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "automation/qx_file_io.h"

namespace tavirelle {

template <class T>
HRESULT CreateAggregatable(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr && !(riid == IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  if (outer == nullptr) return CreateObject<T>(riid, object);
  return Guarded([&] {
    T* created = new T();
    created->SetOuterUnknown(outer);
    *object = created->InnerUnknown();  // the creation reference goes with it
    return S_OK;
  });
}

namespace {

constexpr ObjectEntry kObjectMap[] = {
    {&CLSID_QXHelper, "QXHelper", "QXHelper Class",
     &CreateAggregatable<CQXHelper>},
    {&CLSID_PhotoDesc, "PhotoDesc", "PhotoDesc Class",
     &CreateAggregatable<CPhotoDesc>},
    {&CLSID_Clip, "Clip", "Clip Class", &CreateAggregatable<CClip>},
    {&CLSID_QXFileIO, "QXFileIO", "QXFileIO Class",
     &CreateAggregatable<CQXFileIO>},
};
static_assert(std::size(kObjectMap) == 4);

// Points the class script's variables at one class.
void FillClassScript(Registrar& registrar, const ObjectEntry& entry) {
  registrar.AddReplacement("CLASSNAME", entry.name);
  registrar.AddReplacement("DESCRIPTION", entry.description);
  registrar.AddReplacement("CLSID", GuidToString(*entry.clsid));
}

// A class object. The module's cache holds one reference that does not lock
// the module; every further reference (a host holding the factory) does.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(CreatorFunction create) : create_(create) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override {
    ULONG count = ++references_;
    if (count == 2) ModuleLock();
    return count;
  }
  ULONG Release() override {
    ULONG count = --references_;
    if (count == 1) ModuleUnlock();
    if (count == 0) delete this;
    return count;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return create_(outer, riid, object);
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

 private:
  ~ClassFactory() = default;

  CreatorFunction create_;
  std::atomic<ULONG> references_{1};
};

// Why the registry could not be read or written; a failure the platform gave
// no reason for still reads as one to the registration tools.
HRESULT RegistryFailure(const Status& status) {
  return status.code() != ERROR_SUCCESS ? ToHresult(status)
                                        : HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION);
}

std::string FolderOfPath(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

CTavirelleHelperModule& CTavirelleHelperModule::Instance() {
  static CTavirelleHelperModule module;
  return module;
}

std::span<const ObjectEntry> CTavirelleHelperModule::ObjectMap() const { return kObjectMap; }

const CLSID* CTavirelleHelperModule::FindClass(const std::string& name) const {
  GUID braced;
  bool is_class_id = GuidFromString(name, &braced);
  std::string wanted = name;
  LowerCase(wanted);
  for (const ObjectEntry& entry : kObjectMap) {
    if (is_class_id) {
      if (*entry.clsid == braced) return entry.clsid;
      continue;
    }
    std::string prog_id = std::string("TavirelleHelper.") + entry.name;
    LowerCase(prog_id);
    if (wanted == prog_id || wanted == prog_id + ".1") return entry.clsid;
  }
  return nullptr;
}

HRESULT CTavirelleHelperModule::GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (size_t i = 0; i < std::size(kObjectMap); ++i) {
    if (!(*kObjectMap[i].clsid == clsid)) continue;
    IClassFactory* factory = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!factories_[i]) {
        factories_[i] =
            ComPtr<IClassFactory>::Adopt(new (std::nothrow) ClassFactory(kObjectMap[i].create));
        if (!factories_[i]) return E_OUTOFMEMORY;
      }
      factory = factories_[i].get();
    }
    return factory->QueryInterface(riid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

std::string CTavirelleHelperModule::ModulePath() {
  return ModulePathOf(reinterpret_cast<const void*>(&CTavirelleHelperModule::Instance));
}

HRESULT CTavirelleHelperModule::RegisterServer(FileSystem& fs) {
  return UpdateRegistry(fs, /*do_register=*/true);
}

HRESULT CTavirelleHelperModule::UnregisterServer(FileSystem& fs) {
  return UpdateRegistry(fs, /*do_register=*/false);
}

HRESULT CTavirelleHelperModule::Install(FileSystem& fs, bool install) {
  if (!install) return UnregisterServer(fs);
  HRESULT hr = RegisterServer(fs);
  if (FAILED(hr)) UnregisterServer(fs);
  return hr;
}

HRESULT CTavirelleHelperModule::UpdateRegistry(FileSystem& fs, bool do_register) {
  std::string module_path = ModulePath();
  if (module_path.empty()) return E_UNEXPECTED;
  RegistrationLocale locale;
  // Where the registry is the module's own file, all scripts change one
  // in-memory copy, saved at the end in one step: a failure part-way leaves
  // the stored registry as it was. The system's registry takes each change
  // as it is made, as for every self-registering module; DllInstall undoes
  // a registration that failed.
  Registry registry(fs);
  Status loaded = registry.Load();
  if (!loaded.ok()) return RegistryFailure(loaded);
  Registrar registrar(&registry);
  registrar.AddReplacement("APPID", GuidToString(APPID_TavirelleHelper));
  registrar.AddReplacement("MODULE", module_path);
  registrar.AddReplacement("MODULEDIR", FolderOfPath(module_path));
  registrar.AddReplacement("LIBID", GuidToString(LIBID_TavirelleHelperLib));
  if (per_user_) registrar.set_classes_root("HKEY_CURRENT_USER\\Software\\Classes");
  TypeLibraryEntry type_library;
  type_library.script = kTypeLibraryScript;
  type_library.module_path = module_path;
  type_library.help_folder = FolderOfPath(module_path);
  type_library.libid = &LIBID_TavirelleHelperLib;
  type_library.per_user = per_user_;

  HRESULT hr = S_OK;
  if (do_register) {
    hr = registrar.Register(kAppIdScript);
    for (const ObjectEntry& entry : kObjectMap) {
      FillClassScript(registrar, entry);
      if (SUCCEEDED(hr)) hr = registrar.Register(kClassScript);
    }
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(registrar, type_library);
  } else {
    for (const ObjectEntry& entry : kObjectMap) {
      FillClassScript(registrar, entry);
      if (SUCCEEDED(hr)) hr = registrar.Unregister(kClassScript);
    }
    if (SUCCEEDED(hr)) hr = UnregisterTypeLibrary(registrar, type_library);
    if (SUCCEEDED(hr)) hr = registrar.Unregister(kAppIdScript);
  }
  if (FAILED(hr)) return hr;
  Status saved = registry.Save();
  if (!saved.ok()) return RegistryFailure(saved);
  return S_OK;
}

}  // namespace tavirelle
