#include "cli/module_objects.h"

#include <mutex>

#include "com/dynamic_module.h"

namespace tavirelle {

namespace {

template <class F>
bool Resolve(void* module, const char* name, F* function, std::string* error) {
  *function = reinterpret_cast<F>(ModuleSymbol(module, name));
  if (*function == nullptr) *error = std::string(TAVIRELLE_MODULE_FILE ": no export ") + name;
  return *function != nullptr;
}

}  // namespace

LoadedModule LoadModuleExports() {
  static ModuleExports exports;
  static const ModuleExports* loaded = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    // The loader's message names the file it could not load.
    void* module = nullptr;
    Status opened = LoadModule(TAVIRELLE_MODULE_FILE, &module);
    if (!opened.ok()) {
      failure = opened.words();
      return;
    }
    if (Resolve(module, "DllGetClassObject", &exports.get_class_object, &failure) &&
        Resolve(module, "DllRegisterServer", &exports.register_server, &failure) &&
        Resolve(module, "DllUnregisterServer", &exports.unregister_server, &failure) &&
        Resolve(module, "DllInstall", &exports.install, &failure) &&
        Resolve(module, "TavirelleSetRegistryRoot", &exports.set_registry_root, &failure)) {
      exports.path = ModulePathOf(reinterpret_cast<const void*>(exports.get_class_object));
      loaded = &exports;
    }
  });
  LoadedModule result;
  if (loaded == nullptr) {
    result.status = Status::Error(ERROR_MOD_NOT_FOUND, "cannot load the module: " + failure);
  }
  result.exports = loaded;
  return result;
}

}  // namespace tavirelle
