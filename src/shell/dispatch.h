// Late binding for the four dual interfaces, served from the type library
// tables: GetIDsOfNames, Invoke with the coercions automation callers rely
// on, and a type information object per interface.
//
// The provider installs itself while the module loads, so objects created
// by any host of the module (a registered client or a program linking the
// module) answer late-bound calls.
#ifndef TAVIRELLE_SHELL_DISPATCH_H_
#define TAVIRELLE_SHELL_DISPATCH_H_

#include "com/com_object.h"
#include "tavirelle/type_info.h"
#include "shell/type_library.h"

namespace tavirelle {

class TableDispatchProvider : public DispatchProvider {
 public:
  HRESULT GetTypeInfo(REFIID iid, UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(REFIID iid, IDispatch* self, DISPID id, LCID lcid, WORD flags,
                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* arg_error) override;
};

// The provider the module installs.
TableDispatchProvider* ModuleDispatchProvider();

// The type information of one of the four interfaces; lives as long as the
// module and needs no release (releasing it is harmless).
ITypeInfo* InterfaceTypeInfo(REFIID iid);

// Looks a member name up the way GetIDsOfNames does (ignoring case).
const MemberDesc* FindMemberByName(const InterfaceDesc& desc, std::u16string_view name);

}  // namespace tavirelle

#endif  // TAVIRELLE_SHELL_DISPATCH_H_
