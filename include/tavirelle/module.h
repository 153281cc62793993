// What the module libTavirelleHelper.so exports besides the automation-string
// and VARIANT functions of tavirelle/automation.h: the five module entry points a
// host or a registrar calls, and the host runtime that creates objects by
// ProgID or class ID through the registry.
//
// Every function has C linkage and returns an HRESULT. None throws. The
// registry and the list of loaded modules are process-wide and guarded, so
// these functions may be called from any thread; the objects they create are
// single-threaded (see tavirelle/com.h).
#ifndef TAVIRELLE_MODULE_H_
#define TAVIRELLE_MODULE_H_

#include "tavirelle/com.h"
#include "tavirelle/export.h"

// Host-runtime results beyond the common ones.
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);

// Class contexts; only in-process servers exist here.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

extern "C" {

// S_OK when no object of the module is alive and no server lock is held,
// else S_FALSE.
TAVIRELLE_EXPORT HRESULT DllCanUnloadNow();

// The class object (IClassFactory) of one of the module's classes, with one
// reference for the caller; works without registration.
// CLASS_E_CLASSNOTAVAILABLE for a class the module does not serve,
// E_POINTER for a null `object`.
TAVIRELLE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);

// Registers (`install` TRUE) or removes the module's classes. A `command` of
// "user" (any case) works in the current user's classes instead of the
// machine's; a failed registration is rolled back.
TAVIRELLE_EXPORT HRESULT DllInstall(BOOL install, LPCOLESTR command);

// Registers the module's classes, ProgIDs, type library and AppID
// machine-wide, naming this module as their in-process server.
TAVIRELLE_EXPORT HRESULT DllRegisterServer();

// Removes what DllRegisterServer wrote.
TAVIRELLE_EXPORT HRESULT DllUnregisterServer();

// Sets the folder that holds the registry's files for this process (UTF-8;
// null or empty: back to the default, the environment variable
// TAVIRELLE_REGISTRY, else $XDG_DATA_HOME/tavirelle/registry/, else
// ~/.local/share/tavirelle/registry/).
TAVIRELLE_EXPORT HRESULT TavirelleSetRegistryRoot(const char* folder);

// The class ID registered for `prog_id` (HKEY_CLASSES_ROOT\<ProgID>\CLSID),
// or the class ID spelled by a text in braces. CO_E_CLASSSTRING when neither.
TAVIRELLE_EXPORT HRESULT CLSIDFromProgID(LPCOLESTR prog_id, CLSID* clsid);

// The class object of a registered class: its InprocServer32 module is
// loaded (and stays loaded) and asked through DllGetClassObject.
// REGDB_E_CLASSNOTREG when the class has no module, CO_E_DLLNOTFOUND when the
// module cannot be loaded, CO_E_ERRORINDLL when it exports no
// DllGetClassObject. `server_info` must be null.
TAVIRELLE_EXPORT HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* server_info,
                                          REFIID riid, void** object);

// Creates an object of a registered class, as CoGetClassObject finds it, and
// returns its `riid` interface with one reference for the caller.
TAVIRELLE_EXPORT HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context,
                                          REFIID riid, void** object);

// Creates an object by ProgID or braced class ID. A registered class is
// created as CoCreateInstance does; a class of this module that is not
// registered is created by the module itself, so that a host can use the
// module without registering it.
TAVIRELLE_EXPORT HRESULT TavirelleCreateObject(LPCOLESTR name, REFIID riid, void** object);

}  // extern "C"

#endif  // TAVIRELLE_MODULE_H_
