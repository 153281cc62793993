// No system automation library here: the library's entries are the
// registrar script's, and threads have no locale to switch.
#include "com/type_library_registration.h"

namespace tavirelle {

HRESULT RegisterTypeLibrary(Registrar& registrar, const TypeLibraryEntry& entry) {
  return registrar.Register(entry.script);
}

HRESULT UnregisterTypeLibrary(Registrar& registrar, const TypeLibraryEntry& entry) {
  return registrar.Unregister(entry.script);
}

RegistrationLocale::RegistrationLocale() = default;
RegistrationLocale::~RegistrationLocale() = default;

}  // namespace tavirelle
