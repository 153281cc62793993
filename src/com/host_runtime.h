// The host side of the component runtime: creating objects by class ID or
// ProgID through the registry, the way a host that does not link the module
// reaches it (the class's InprocServer32 module is loaded, its
// DllGetClassObject asked for the class object, the object created).
#ifndef TAVIRELLE_COM_HOST_RUNTIME_H_
#define TAVIRELLE_COM_HOST_RUNTIME_H_

#include <string>

#include "com/com.h"
#include "tavirelle/module.h"

namespace tavirelle {

// The class ID registered for a ProgID (HKEY_CLASSES_ROOT\<ProgID>\CLSID),
// or, for a text in braces, the class ID it spells. CO_E_CLASSSTRING when
// neither.
HRESULT CLSIDFromProgID(const std::string& prog_id, CLSID* clsid);

// REGDB_E_CLASSNOTREG when the class has no InprocServer32 module,
// CO_E_DLLNOTFOUND when the module cannot be loaded, CO_E_ERRORINDLL when it
// exports no DllGetClassObject; *error (optional) then explains. Loaded
// modules stay loaded for the life of the process.
HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** object,
                                   std::string* error = nullptr);

HRESULT CreateInstanceFromRegistry(REFCLSID clsid, IUnknown* outer, REFIID riid,
                                   void** object, std::string* error = nullptr);

// `name` is a ProgID or a class ID in braces.
HRESULT CreateObjectByName(const std::string& name, REFIID riid, void** object,
                           std::string* error = nullptr);

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_HOST_RUNTIME_H_
