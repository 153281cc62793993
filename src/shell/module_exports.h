// The module's exports, as a host that links the module calls them.
#ifndef TAVIRELLE_SHELL_MODULE_EXPORTS_H_
#define TAVIRELLE_SHELL_MODULE_EXPORTS_H_

#include "platform/com.h"

extern "C" {
HRESULT DllCanUnloadNow();
HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
// `command` "user" (any case) registers in the current user's classes.
HRESULT DllInstall(BOOL install, LPCOLESTR command);
HRESULT DllRegisterServer();
HRESULT DllUnregisterServer();
}

#endif  // TAVIRELLE_SHELL_MODULE_EXPORTS_H_
