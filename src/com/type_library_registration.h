// Registering the type library a module carries, and the thread locale that
// registration runs under. Each system has its own side: where there is no
// system automation library, the library's registry entries are written by a
// registrar script; on Windows the system's automation library registers the
// library it loads from the module's resource 1.
#ifndef TAVIRELLE_COM_TYPE_LIBRARY_REGISTRATION_H_
#define TAVIRELLE_COM_TYPE_LIBRARY_REGISTRATION_H_

#include <string>
#include <string_view>

#include "com/registrar.h"
#include "tavirelle/types.h"

namespace tavirelle {

struct TypeLibraryEntry {
  std::string_view script;      // the entries, for a system without a loader
  std::string module_path;      // the module whose resource 1 is the library
  std::string help_folder;      // the module's folder
  const GUID* libid = nullptr;  // with the version below
  WORD major = 1;
  WORD minor = 0;
  // For the current user alone: the system's per-user entry points when it
  // has them, the script under the registrar's classes root otherwise.
  bool per_user = false;
};

HRESULT RegisterTypeLibrary(Registrar& registrar, const TypeLibraryEntry& entry);
HRESULT UnregisterTypeLibrary(Registrar& registrar, const TypeLibraryEntry& entry);

// Switches the calling thread to the system default locale (0x800) for its
// lifetime, so that what registration writes does not depend on the user's
// locale; nothing to do where threads have no locale.
class RegistrationLocale {
 public:
  RegistrationLocale();
  ~RegistrationLocale();
  RegistrationLocale(const RegistrationLocale&) = delete;
  RegistrationLocale& operator=(const RegistrationLocale&) = delete;

 private:
  [[maybe_unused]] uint32_t previous_ = 0;  // where threads have a locale
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_TYPE_LIBRARY_REGISTRATION_H_
