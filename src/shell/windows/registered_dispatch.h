// Late binding as the system's automation runtime serves it: the type
// information of each dual interface is loaded from the registered type
// library (its identifier, version 1.0) on first use and kept, and
// GetIDsOfNames and Invoke go through it, so a late-bound caller meets the
// system's own name lookup, argument coercion and error reporting.
//
// A module used without registering its library (a host that loads it by
// path) gets the same library from the module's resource 1.
#ifndef TAVIRELLE_SHELL_WINDOWS_REGISTERED_DISPATCH_H_
#define TAVIRELLE_SHELL_WINDOWS_REGISTERED_DISPATCH_H_

#include <array>
#include <mutex>

#include "com/com_object.h"
#include "tavirelle/type_info.h"

namespace tavirelle {

class RegisteredDispatchProvider : public DispatchProvider {
 public:
  RegisteredDispatchProvider() = default;
  RegisteredDispatchProvider(const RegisteredDispatchProvider&) = delete;
  RegisteredDispatchProvider& operator=(const RegisteredDispatchProvider&) = delete;
  ~RegisteredDispatchProvider() override { ReleaseTypeInfos(); }

  HRESULT GetTypeInfo(REFIID iid, UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(REFIID iid, IDispatch* self, DISPID id, LCID lcid, WORD flags,
                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* arg_error) override;

  // Drops the type information held, to be loaded again on next use.
  void ReleaseTypeInfos();

 private:
  // The interface's type information, without a reference for the caller;
  // the loader's failure when neither library can be loaded.
  HRESULT TypeInfoOf(REFIID iid, ITypeInfo** info);

  std::mutex mutex_;
  std::array<ITypeInfo*, 4> infos_{};  // by the interface's place in the library
};

// The provider the Windows module serves its objects with.
RegisteredDispatchProvider* ModuleRegisteredDispatch();

}  // namespace tavirelle

#endif  // TAVIRELLE_SHELL_WINDOWS_REGISTERED_DISPATCH_H_
