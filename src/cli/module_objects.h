// The module libTavirelleHelper.so as the register command reaches it: its
// registration exports, resolved from the module loaded by its versioned
// name. Every other command works through the library's API and never loads
// the module.
#ifndef TAVIRELLE_CLI_MODULE_OBJECTS_H_
#define TAVIRELLE_CLI_MODULE_OBJECTS_H_

#include <string>

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

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_MODULE_OBJECTS_H_
