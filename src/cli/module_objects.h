// Objects of the module libTavirelleHelper.so, made the way any host makes
// them: through the class object its DllGetClassObject export hands out, so
// that the command works with the very classes a host gets and reaches
// nothing behind their interfaces.
#ifndef TAVIRELLE_CLI_MODULE_OBJECTS_H_
#define TAVIRELLE_CLI_MODULE_OBJECTS_H_

#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"
#include "tavirelle/module.h"

namespace tavirelle {

// A new object of the module's class `clsid`, as its interface `T`; null
// with the failure in *hr (when given).
template <class T>
ComPtr<T> CreateModuleObject(REFCLSID clsid, HRESULT* hr = nullptr) {
  ComPtr<IClassFactory> factory;
  ComPtr<T> object;
  HRESULT status = DllGetClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid());
  if (SUCCEEDED(status)) status = factory->CreateInstance(nullptr, T::kIid, object.ReceiveVoid());
  if (hr != nullptr) *hr = status;
  return object;
}

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_MODULE_OBJECTS_H_
