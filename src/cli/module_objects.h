// The module libTavirelleHelper.so as the register command reaches it: its
// registration exports, resolved from the module loaded by its versioned
// name. Every other command works through the library's API and never loads
// the module.
#ifndef TAVIRELLE_CLI_MODULE_OBJECTS_H_
#define TAVIRELLE_CLI_MODULE_OBJECTS_H_

#include <string>

#include "platform/status.h"
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

struct LoadedModule {
  // Why the module cannot be used: the file and the loader's reason, in
  // words fit for the one line of a failure.
  Status status;
  const ModuleExports* exports = nullptr;  // when status is ok
};

// Loads the module once per process, found by its versioned name through the
// command's run path.
LoadedModule LoadModuleExports();

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_MODULE_OBJECTS_H_
