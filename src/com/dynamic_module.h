// Loading shared modules at run time, and finding the file a piece of code
// was loaded from.
#ifndef TAVIRELLE_COM_DYNAMIC_MODULE_H_
#define TAVIRELLE_COM_DYNAMIC_MODULE_H_

#include <string>

#include "platform/status.h"

namespace tavirelle {

// Loads the module at `path` (process code page) into *module (null on
// failure); fails with ERROR_MOD_NOT_FOUND and the loader's explanation in
// words.
Status LoadModule(const std::string& path, void** module);
void* ModuleSymbol(void* module, const char* name);

// Absolute path (process code page) of the module holding `address`, by
// its plain name when that is a link to the versioned file ("libX.so" for
// "libX.so.1.0.0"); empty when it cannot be told.
std::string ModulePathOf(const void* address);

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_DYNAMIC_MODULE_H_
