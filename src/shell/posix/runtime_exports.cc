// Where the system has no object runtime of its own, the module exports the
// one it brings, with C linkage: the host runtime (creating objects through
// the registry), and the automation-string and VARIANT functions. On Windows
// these are the system's, and the module exports its entry points alone.
#include <string>

#include "com/boundary.h"
#include "com/bstr.h"
#include "com/host_runtime.h"
#include "com/registry.h"
#include "com/variant.h"
#include "platform/code_page.h"
#include "shell/module.h"
#include "tavirelle/automation.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/module.h"

namespace {

// A ProgID or class ID as the registry spells it (UTF-16 to UTF-8).
std::string NameText(LPCOLESTR name) {
  return name == nullptr ? std::string() : tavirelle::WideToAnsi(std::u16string_view(name));
}

}  // namespace

extern "C" {

using tavirelle::CTavirelleHelperModule;
using tavirelle::Guarded;

HRESULT TavirelleSetRegistryRoot(const char* folder) {
  return Guarded([&] {
    tavirelle::SetRegistryRoot(folder == nullptr ? std::string() : std::string(folder));
    return S_OK;
  });
}

HRESULT CLSIDFromProgID(LPCOLESTR prog_id, CLSID* clsid) {
  if (prog_id == nullptr) return E_INVALIDARG;
  return Guarded([&] { return tavirelle::CLSIDFromProgID(NameText(prog_id), clsid); });
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* server_info, REFIID riid,
                         void** object) {
  if ((context & CLSCTX_INPROC_SERVER) == 0 || server_info != nullptr) return E_INVALIDARG;
  return Guarded([&] { return tavirelle::GetClassObjectFromRegistry(clsid, riid, object); });
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         void** object) {
  if ((context & CLSCTX_INPROC_SERVER) == 0) return E_INVALIDARG;
  return Guarded(
      [&] { return tavirelle::CreateInstanceFromRegistry(clsid, outer, riid, object); });
}

HRESULT TavirelleCreateObject(LPCOLESTR name, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (name == nullptr) return CO_E_CLASSSTRING;
  return Guarded([&] {
    std::string text = NameText(name);
    HRESULT hr = tavirelle::CreateObjectByName(text, riid, object);
    if (hr != CO_E_CLASSSTRING && hr != REGDB_E_CLASSNOTREG) return hr;
    // Not registered: one of this module's own classes is still served.
    const CLSID* own = CTavirelleHelperModule::Instance().FindClass(text);
    if (own == nullptr) return hr;
    tavirelle::ComPtr<IClassFactory> factory;
    HRESULT got = CTavirelleHelperModule::Instance().GetClassObject(*own, IID_IClassFactory,
                                                                    factory.ReceiveVoid());
    if (FAILED(got)) return got;
    return factory->CreateInstance(nullptr, riid, object);
  });
}

BSTR SysAllocString(const OLECHAR* text) { return tavirelle::SysAllocString(text); }
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  return tavirelle::SysAllocStringLen(text, length);
}
BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
  return tavirelle::SysAllocStringByteLen(bytes, length);
}
BOOL SysReAllocString(BSTR* target, const OLECHAR* text) {
  return tavirelle::SysReAllocString(target, text);
}
void SysFreeString(BSTR text) { tavirelle::SysFreeString(text); }
UINT SysStringLen(BSTR text) { return tavirelle::SysStringLen(text); }
UINT SysStringByteLen(BSTR text) { return tavirelle::SysStringByteLen(text); }

void VariantInit(VARIANTARG* variant) { tavirelle::VariantInit(variant); }
HRESULT VariantClear(VARIANTARG* variant) { return tavirelle::VariantClear(variant); }
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  return tavirelle::VariantCopy(dest, source);
}
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags,
                          VARTYPE vt) {
  return tavirelle::VariantChangeType(dest, source, flags, vt);
}

}  // extern "C"
