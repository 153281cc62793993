#include "shell/windows/registered_dispatch.h"

#include <cstring>

#include "platform/windows/win32.h"
#include "shell/type_library.h"

namespace tavirelle {

namespace {

void BytesOf(const GUID& guid, uint8_t bytes[16]) { std::memcpy(bytes, &guid, 16); }

}  // namespace

HRESULT RegisteredDispatchProvider::TypeInfoOf(REFIID iid, ITypeInfo** info) {
  *info = nullptr;
  auto interfaces = Interfaces();
  size_t slot = 0;
  while (slot < interfaces.size() && *interfaces[slot].iid != iid) ++slot;
  if (slot == interfaces.size() || slot >= infos_.size()) return DISP_E_UNKNOWNINTERFACE;

  std::lock_guard<std::mutex> lock(mutex_);
  if (infos_[slot] == nullptr) {
    uint8_t libid[16];
    uint8_t interface_id[16];
    BytesOf(LIBID_TavirelleHelperLib, libid);
    BytesOf(iid, interface_id);
    void* loaded = nullptr;
    HRESULT hr = win32::RegisteredInterfaceTypeInfo(libid, kTypeLibraryMajorVersion,
                                                    kTypeLibraryMinorVersion, interface_id,
                                                    &loaded);
    if (FAILED(hr)) {
      // Not registered: the library this module carries, the same one.
      const std::u16string module =
          win32::ModuleFileName(win32::ModuleHolding(reinterpret_cast<const void*>(
              &ModuleRegisteredDispatch)));
      if (module.empty() ||
          FAILED(win32::ModuleInterfaceTypeInfo(module, interface_id, &loaded))) {
        return hr;  // the registered library's failure says what is missing
      }
    }
    infos_[slot] = static_cast<ITypeInfo*>(loaded);
  }
  *info = infos_[slot];
  return S_OK;
}

void RegisteredDispatchProvider::ReleaseTypeInfos() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (ITypeInfo*& info : infos_) {
    if (info != nullptr) info->Release();
    info = nullptr;
  }
}

HRESULT RegisteredDispatchProvider::GetTypeInfo(REFIID iid, UINT index, LCID,
                                                ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* held = nullptr;
  HRESULT hr = TypeInfoOf(iid, &held);
  if (FAILED(hr)) return hr;
  held->AddRef();
  *info = held;
  return S_OK;
}

HRESULT RegisteredDispatchProvider::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                  LCID, DISPID* ids) {
  ITypeInfo* info = nullptr;
  HRESULT hr = TypeInfoOf(iid, &info);
  return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
}

HRESULT RegisteredDispatchProvider::Invoke(REFIID iid, IDispatch* self, DISPID id, LCID,
                                           WORD flags, DISPPARAMS* params, VARIANT* result,
                                           EXCEPINFO* exception, UINT* arg_error) {
  ITypeInfo* info = nullptr;
  HRESULT hr = TypeInfoOf(iid, &info);
  return FAILED(hr) ? hr : info->Invoke(self, id, flags, params, result, exception, arg_error);
}

RegisteredDispatchProvider* ModuleRegisteredDispatch() {
  // Never destroyed: the module releases what it holds when it is unloaded
  // (module_entry.cc), and the process's end needs no releasing.
  static auto* provider = new RegisteredDispatchProvider;
  return provider;
}

}  // namespace tavirelle
