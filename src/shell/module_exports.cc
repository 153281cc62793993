// The module entry points, with C linkage. Each one forwards to the module's
// own code, which the command's tools link as well. (Where the system has no
// object runtime of its own, the module also exports the one it brings:
// posix/runtime_exports.cc.)
#include "com/boundary.h"
#include "com/com_object.h"
#include "platform/file_system.h"
#include "shell/module.h"
#include "tavirelle/module.h"

namespace {

using tavirelle::CTavirelleHelperModule;
using tavirelle::Guarded;

// "user", ignoring case, the whole text.
bool IsUserCommand(LPCOLESTR text) {
  if (text == nullptr) return false;
  const char16_t expected[] = u"user";
  size_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i >= 4) return false;
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != expected[i]) return false;
  }
  return i == 4;
}

}  // namespace

extern "C" {

HRESULT DllCanUnloadNow() { return tavirelle::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return Guarded(
      [&] { return CTavirelleHelperModule::Instance().GetClassObject(clsid, riid, object); });
}

HRESULT DllInstall(BOOL install, LPCOLESTR command) {
  return Guarded([&] {
    CTavirelleHelperModule& module = CTavirelleHelperModule::Instance();
    if (IsUserCommand(command)) module.set_per_user(true);
    return module.Install(tavirelle::DefaultFileSystem(), install != FALSE);
  });
}

HRESULT DllRegisterServer() {
  return Guarded([] {
    return CTavirelleHelperModule::Instance().RegisterServer(tavirelle::DefaultFileSystem());
  });
}

HRESULT DllUnregisterServer() {
  return Guarded([] {
    return CTavirelleHelperModule::Instance().UnregisterServer(tavirelle::DefaultFileSystem());
  });
}

}  // extern "C"
