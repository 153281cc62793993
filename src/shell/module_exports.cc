// The module's exported entry points, with C linkage.
#include "shell/module_exports.h"

#include "platform/com_object.h"
#include "shell/module.h"

namespace {

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

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                 void** object) {
  return CTavirelleHelperModule::Instance().GetClassObject(clsid, riid, object);
}

__attribute__((visibility("default"))) HRESULT DllInstall(BOOL install, LPCOLESTR command) {
  CTavirelleHelperModule& module = CTavirelleHelperModule::Instance();
  if (IsUserCommand(command)) module.set_per_user(true);
  if (!install) return module.UnregisterServer();
  HRESULT hr = module.RegisterServer();
  if (FAILED(hr)) module.UnregisterServer();
  return hr;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  return CTavirelleHelperModule::Instance().RegisterServer();
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  return CTavirelleHelperModule::Instance().UnregisterServer();
}

}  // extern "C"
