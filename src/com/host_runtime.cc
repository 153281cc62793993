#include "com/host_runtime.h"

#include <map>
#include <mutex>

#include "com/dynamic_module.h"
#include "platform/guid.h"
#include "com/registry.h"
#include "tavirelle/com_ptr.h"

namespace tavirelle {

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

std::mutex g_modules_mutex;
std::map<std::string, void*>& LoadedModules() {
  static auto* modules = new std::map<std::string, void*>;
  return *modules;
}

void Explain(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

HRESULT CLSIDFromProgID(const std::string& prog_id, CLSID* clsid) {
  if (clsid == nullptr) return E_INVALIDARG;
  *clsid = GUID_NULL;
  if (!prog_id.empty() && prog_id.front() == '{') {
    return GuidFromString(prog_id, clsid) ? S_OK : CO_E_CLASSSTRING;
  }
  if (prog_id.empty() || prog_id.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
  Registry registry(DefaultFileSystem());
  std::string text;
  if (!registry.Load().ok() ||
      !registry.GetValue(std::string(kClassesRoot) + "\\" + prog_id + "\\CLSID", "", &text) ||
      !GuidFromString(text, clsid)) {
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** object,
                                   std::string* error) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  Registry registry(DefaultFileSystem());
  std::string path;
  std::string key = std::string(kClassesRoot) + "\\CLSID\\" + GuidToString(clsid) +
                    "\\InprocServer32";
  if (!registry.Load().ok()) {
    Explain(error, "the registry under " + registry.root() + " cannot be read");
    return REGDB_E_CLASSNOTREG;
  }
  if (!registry.GetValue(key, "", &path) || path.empty()) {
    Explain(error, "class " + GuidToString(clsid) + " is not registered");
    return REGDB_E_CLASSNOTREG;
  }
  void* module = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_modules_mutex);
    auto found = LoadedModules().find(path);
    if (found != LoadedModules().end()) {
      module = found->second;
    } else {
      Status loaded = LoadModule(path, &module);
      if (!loaded.ok()) {
        Explain(error, "module " + path + " cannot be loaded: " + loaded.words());
        return CO_E_DLLNOTFOUND;
      }
      LoadedModules()[path] = module;
    }
  }
  auto get_class_object =
      reinterpret_cast<GetClassObjectFunction>(ModuleSymbol(module, "DllGetClassObject"));
  if (get_class_object == nullptr) {
    Explain(error, "module " + path + " exports no DllGetClassObject");
    return CO_E_ERRORINDLL;
  }
  HRESULT hr = get_class_object(clsid, riid, object);
  if (FAILED(hr)) Explain(error, "module " + path + " has no class object for " +
                                     GuidToString(clsid));
  return hr;
}

HRESULT CreateInstanceFromRegistry(REFCLSID clsid, IUnknown* outer, REFIID riid,
                                   void** object, std::string* error) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr = GetClassObjectFromRegistry(clsid, IID_IClassFactory, factory.ReceiveVoid(), error);
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, object);
  if (FAILED(hr)) Explain(error, "the class object of " + GuidToString(clsid) +
                                     " could not create the object");
  return hr;
}

HRESULT CreateObjectByName(const std::string& name, REFIID riid, void** object,
                           std::string* error) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(name, &clsid);
  if (FAILED(hr)) {
    Explain(error, "\"" + name + "\" is not a registered ProgID");
    return hr;
  }
  return CreateInstanceFromRegistry(clsid, nullptr, riid, object, error);
}

}  // namespace tavirelle
