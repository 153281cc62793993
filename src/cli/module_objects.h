// Objects of the module libTavirelleHelper.so, made the way any host makes
// them: through the class object its DllGetClassObject export hands out, so
// that the command works with the very classes a host gets and reaches
// nothing behind their interfaces.
//
// The module is loaded on first use rather than linked: most runs of the
// command (--version, help, the commands that only read files) never need
// it, and its load, with the libraries it brings, is most of the start-up
// time of a process that scripts start once per photo.
#ifndef TAVIRELLE_CLI_MODULE_OBJECTS_H_
#define TAVIRELLE_CLI_MODULE_OBJECTS_H_

#include <string>

#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"
#include "tavirelle/module.h"

namespace tavirelle {

// The exports the command calls, resolved from the loaded module.
struct ModuleExports {
  HRESULT (*get_class_object)(REFCLSID, REFIID, void**);
  HRESULT (*register_server)();
  HRESULT (*unregister_server)();
  HRESULT (*install)(BOOL, LPCOLESTR);
  HRESULT (*set_registry_root)(const char*);
  // The file the loader took the module from.
  std::string path;
};

// Loads the module once per process, found by its versioned name through the
// command's run path; null when it cannot be loaded, with the file and the
// loader's reason in *error, in words fit for the one line of a failure.
const ModuleExports* LoadModuleExports(std::string* error);

// A new object of the module's class `clsid`, as its interface `T`; null
// with the failure in *hr (when given). Callers load the module first, so
// that a module that cannot be loaded is told as such.
template <class T>
ComPtr<T> CreateModuleObject(REFCLSID clsid, HRESULT* hr = nullptr) {
  ComPtr<IClassFactory> factory;
  ComPtr<T> object;
  const ModuleExports* module = LoadModuleExports(nullptr);
  HRESULT status = E_FAIL;
  if (module != nullptr) {
    status = module->get_class_object(clsid, IID_IClassFactory, factory.ReceiveVoid());
  }
  if (SUCCEEDED(status)) status = factory->CreateInstance(nullptr, T::kIid, object.ReceiveVoid());
  if (hr != nullptr) *hr = status;
  return object;
}

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_MODULE_OBJECTS_H_
