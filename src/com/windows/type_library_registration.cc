// The system's automation library registers the type library it loads from
// the module's resources, so the registry holds what the loader that
// dispatch and clients use expects, whatever it expects on this version of
// the system.
#include "com/type_library_registration.h"

#include <cstring>

#include "platform/code_page.h"
#include "platform/windows/win32.h"

namespace tavirelle {

HRESULT RegisterTypeLibrary(Registrar&, const TypeLibraryEntry& entry) {
  // The folder as the system names folders: without a closing backslash,
  // but for a drive's root.
  std::string folder = entry.help_folder;
  if (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return win32::RegisterTypeLibraryOf(AnsiToWide(entry.module_path), AnsiToWide(folder),
                                      entry.per_user);
}

HRESULT UnregisterTypeLibrary(Registrar&, const TypeLibraryEntry& entry) {
  uint8_t libid[16];
  std::memcpy(libid, entry.libid, sizeof libid);
  return win32::UnregisterTypeLibrary(libid, entry.major, entry.minor, entry.per_user);
}

RegistrationLocale::RegistrationLocale()
    : previous_(win32::SetThreadLocale(win32::kSystemDefaultLocale)) {}

RegistrationLocale::~RegistrationLocale() {
  if (previous_ != 0) win32::SetThreadLocale(previous_);
}

}  // namespace tavirelle
