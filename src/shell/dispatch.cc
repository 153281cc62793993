#include "shell/dispatch.h"

#include <array>
#include <new>
#include <string_view>

#include "com/bstr.h"
#include "com/variant.h"

namespace tavirelle {

namespace {

char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameNameIgnoringCase(std::u16string_view wide, const char* name) {
  size_t i = 0;
  for (; name[i] != 0; ++i) {
    if (i >= wide.size()) return false;
    if (FoldAscii(wide[i]) != FoldAscii(static_cast<char16_t>(name[i]))) return false;
  }
  return i == wide.size();
}

std::u16string_view ViewOf(LPOLESTR text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

BSTR BstrFromAscii(const char* text) {
  std::u16string wide;
  for (; *text != 0; ++text) wide.push_back(static_cast<char16_t>(*text));
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// The member behind a DISPID for the way it is invoked.
const MemberDesc* SelectMember(const InterfaceDesc& desc, DISPID id, WORD flags,
                               bool* is_put) {
  const MemberDesc* get = nullptr;
  const MemberDesc* put = nullptr;
  const MemberDesc* method = nullptr;
  for (const MemberDesc& m : desc.members) {
    if (m.dispid != id) continue;
    if (m.kind == MemberKind::kGet) get = &m;
    if (m.kind == MemberKind::kPut) put = &m;
    if (m.kind == MemberKind::kMethod) method = &m;
  }
  *is_put = false;
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    *is_put = true;
    return put;
  }
  if ((flags & DISPATCH_PROPERTYGET) != 0 && get != nullptr) return get;
  if ((flags & DISPATCH_METHOD) != 0 && method != nullptr) return method;
  return nullptr;
}

// Failures of coercing an argument that a caller sees as a type mismatch.
HRESULT CoercionFailure(HRESULT hr) {
  if (hr == E_OUTOFMEMORY || hr == DISP_E_OVERFLOW) return hr;
  return DISP_E_TYPEMISMATCH;
}

HRESULT CoerceInterface(const VARIANT* v, REFIID iid, void** out) {
  VARIANT scratch;
  VariantInit(&scratch);
  HRESULT hr = VariantCopyInd(&scratch, v);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  if (scratch.vt != VT_DISPATCH && scratch.vt != VT_UNKNOWN) {
    VariantClear(&scratch);
    return DISP_E_TYPEMISMATCH;
  }
  *out = nullptr;
  if (scratch.punkVal != nullptr) {
    hr = scratch.punkVal->QueryInterface(iid, out);
    if (FAILED(hr)) hr = DISP_E_TYPEMISMATCH;
  }
  VariantClear(&scratch);
  return hr;
}

HRESULT CoerceIn(ArgKind kind, const VARIANT* v, ArgSlot* slot) {
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = S_OK;
  switch (kind) {
    case ArgKind::kBstr:
      hr = VariantChangeType(&converted, v, 0, VT_BSTR);
      if (FAILED(hr)) return CoercionFailure(hr);
      slot->bstr = converted.bstrVal;
      return S_OK;
    case ArgKind::kLong:
    case ArgKind::kOrientation:
      hr = VariantChangeType(&converted, v, 0, VT_I4);
      if (FAILED(hr)) return CoercionFailure(hr);
      slot->value = converted.lVal;
      slot->orientation = static_cast<PhotoOrientation>(converted.lVal);
      return S_OK;
    case ArgKind::kFloat:
      hr = VariantChangeType(&converted, v, 0, VT_R4);
      if (FAILED(hr)) return CoercionFailure(hr);
      slot->real = converted.fltVal;
      return S_OK;
    case ArgKind::kClip:
      return CoerceInterface(v, IClip::kIid, slot->clip.ReceiveVoid());
    case ArgKind::kPhotoDesc:
      return CoerceInterface(v, IPhotoDesc::kIid, slot->photo.ReceiveVoid());
  }
  return DISP_E_TYPEMISMATCH;
}

// Whether a by-reference variant can receive an out argument of `kind`.
bool AcceptsOut(ArgKind kind, const VARIANT* v) {
  if ((v->vt & VT_BYREF) == 0 || v->byref == nullptr) return false;
  VARTYPE base = static_cast<VARTYPE>(v->vt & ~VT_BYREF);
  if (base == VT_VARIANT) return true;
  switch (kind) {
    case ArgKind::kBstr: return base == VT_BSTR;
    case ArgKind::kLong:
    case ArgKind::kOrientation: return base == VT_I4 || base == VT_INT;
    case ArgKind::kFloat: return base == VT_R4;
    case ArgKind::kClip:
    case ArgKind::kPhotoDesc: return base == VT_DISPATCH;
  }
  return false;
}

IDispatch* InterfaceOf(ArgKind kind, ArgSlot* slot) {
  IDispatch* out = nullptr;
  if (kind == ArgKind::kClip) out = slot->clip.Detach();
  if (kind == ArgKind::kPhotoDesc) out = slot->photo.Detach();
  return out;
}

// Moves an out value into a VARIANT the caller owns.
void MoveToVariant(ArgKind kind, ArgSlot* slot, VARIANT* out) {
  VariantInit(out);
  switch (kind) {
    case ArgKind::kBstr:
      out->vt = VT_BSTR;
      out->bstrVal = slot->bstr;
      slot->bstr = nullptr;
      break;
    case ArgKind::kLong:
      out->vt = VT_I4;
      out->lVal = slot->value;
      break;
    case ArgKind::kOrientation:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(slot->orientation);
      break;
    case ArgKind::kFloat:
      out->vt = VT_R4;
      out->fltVal = slot->real;
      break;
    case ArgKind::kClip:
    case ArgKind::kPhotoDesc:
      out->vt = VT_DISPATCH;
      out->pdispVal = InterfaceOf(kind, slot);
      break;
  }
}

void MoveToByRef(ArgKind kind, ArgSlot* slot, VARIANT* target) {
  VARTYPE base = static_cast<VARTYPE>(target->vt & ~VT_BYREF);
  if (base == VT_VARIANT) {
    VariantClear(target->pvarVal);
    MoveToVariant(kind, slot, target->pvarVal);
    return;
  }
  switch (kind) {
    case ArgKind::kBstr:
      SysFreeString(*target->pbstrVal);
      *target->pbstrVal = slot->bstr;
      slot->bstr = nullptr;
      break;
    case ArgKind::kLong: *target->plVal = slot->value; break;
    case ArgKind::kOrientation: *target->plVal = static_cast<LONG>(slot->orientation); break;
    case ArgKind::kFloat: *target->pfltVal = slot->real; break;
    case ArgKind::kClip:
    case ArgKind::kPhotoDesc: {
      IDispatch* previous = *target->ppdispVal;
      *target->ppdispVal = InterfaceOf(kind, slot);
      if (previous != nullptr) previous->Release();
      break;
    }
  }
}

void FreeSlot(ArgSlot* slot) {
  SysFreeString(slot->bstr);
  slot->bstr = nullptr;
  slot->clip.Reset();
  slot->photo.Reset();
}

// Where each argument the caller passes sits in rgvarg (which holds the
// named arguments first and the positional ones last to first).
HRESULT LocateArguments(const MemberDesc& member, bool is_put, const DISPPARAMS& params,
                        std::array<int, kMaxArgs>* where, UINT* arg_error) {
  where->fill(-1);
  const size_t visible = member.VisibleArgs();
  const UINT count = params.cArgs;
  const UINT named = params.cNamedArgs;
  if (is_put) {
    if (named != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
    if (count != 1) return DISP_E_BADPARAMCOUNT;
    (*where)[0] = 0;
    return S_OK;
  }
  if (count != visible) return DISP_E_BADPARAMCOUNT;
  UINT positional = count - named;
  for (UINT p = 0; p < positional; ++p) (*where)[p] = static_cast<int>(count - 1 - p);
  for (UINT i = 0; i < named; ++i) {
    DISPID n = params.rgdispidNamedArgs[i];
    if (n < 0 || static_cast<size_t>(n) >= visible || (*where)[n] != -1) {
      if (arg_error != nullptr) *arg_error = i;
      return DISP_E_PARAMNOTFOUND;
    }
    (*where)[n] = static_cast<int>(i);
  }
  return S_OK;
}

// Coerces the in arguments into their slots and checks that every out
// argument can receive its value.
HRESULT TakeArguments(const MemberDesc& member, DISPPARAMS* params,
                      const std::array<int, kMaxArgs>& where, ArgSlot* slots, UINT* arg_error) {
  for (size_t k = 0; k < member.VisibleArgs(); ++k) {
    const ArgType type = member.args[k];
    VARIANT* v = &params->rgvarg[where[k]];
    HRESULT hr = S_OK;
    if (!type.out) {
      hr = CoerceIn(type.kind, v, &slots[k]);
    } else if (!AcceptsOut(type.kind, v)) {
      hr = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr)) {
      if (arg_error != nullptr) *arg_error = static_cast<UINT>(where[k]);
      return hr;
    }
  }
  return S_OK;
}

// *raised tells a failure of the member itself from one of the dispatch
// around it (a name, a count or an argument that does not fit).
HRESULT InvokeMember(const InterfaceDesc& desc, IDispatch* self, DISPID id, WORD flags,
                     DISPPARAMS* params, VARIANT* result, UINT* arg_error, bool* raised) {
  if (params == nullptr) return E_INVALIDARG;
  if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
      params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  bool is_put = false;
  const MemberDesc* member = SelectMember(desc, id, flags, &is_put);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  std::array<int, kMaxArgs> where;
  HRESULT hr = LocateArguments(*member, is_put, *params, &where, arg_error);
  if (FAILED(hr)) return hr;

  std::array<ArgSlot, kMaxArgs> slots{};
  auto free_all = [&] {
    for (size_t k = 0; k < member->arg_count; ++k) FreeSlot(&slots[k]);
  };
  hr = TakeArguments(*member, params, where, slots.data(), arg_error);
  if (FAILED(hr)) {
    free_all();
    return hr;
  }

  hr = member->call(self, slots.data());
  // In arguments were ours (coerced copies); out arguments go to the caller.
  for (size_t k = 0; k < member->arg_count; ++k) {
    if (!member->args[k].out) FreeSlot(&slots[k]);
  }
  if (FAILED(hr)) {
    free_all();
    *raised = true;
    return hr;
  }
  for (size_t k = 0; k < member->VisibleArgs(); ++k) {
    if (member->args[k].out)
      MoveToByRef(member->args[k].kind, &slots[k], &params->rgvarg[where[k]]);
  }
  if (member->retval) {
    size_t last = member->arg_count - 1;
    if (result != nullptr) MoveToVariant(member->args[last].kind, &slots[last], result);
  }
  free_all();
  return hr;
}

// Type information of one dual interface, answered from its table.
class TableTypeInfo final : public ITypeInfo {
 public:
  explicit TableTypeInfo(const InterfaceDesc* desc) : desc_(desc) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
      *object = static_cast<ITypeInfo*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives as long as the module; references held by clients do not count.
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  HRESULT GetTypeAttr(TYPEATTR** attr) override {
    if (attr == nullptr) return E_INVALIDARG;
    auto* out = new (std::nothrow) TYPEATTR{};
    if (out == nullptr) return E_OUTOFMEMORY;
    out->guid = *desc_->iid;
    out->memidConstructor = MEMBERID_NIL;
    out->memidDestructor = MEMBERID_NIL;
    out->cbSizeInstance = sizeof(void*);
    out->typekind = TKIND_DISPATCH;
    out->cFuncs = static_cast<WORD>(desc_->members.size());
    out->cImplTypes = 1;
    out->cbSizeVft = static_cast<WORD>((7 + desc_->members.size()) * sizeof(void*));
    out->cbAlignment = alignof(void*);
    out->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                      TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    out->wMajorVerNum = kTypeLibraryMajorVersion;
    out->wMinorVerNum = kTypeLibraryMinorVersion;
    *attr = out;
    return S_OK;
  }
  HRESULT GetTypeComp(ITypeComp** comp) override {
    if (comp != nullptr) *comp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) override {
    if (desc == nullptr) return E_INVALIDARG;
    *desc = nullptr;
    if (index >= desc_->members.size()) return TYPE_E_ELEMENTNOTFOUND;
    const MemberDesc& m = desc_->members[index];
    auto* block = new (std::nothrow) FuncDescBlock{};
    if (block == nullptr) return E_OUTOFMEMORY;
    FUNCDESC& fd = block->desc;
    fd.memid = m.dispid;
    fd.lprgelemdescParam = block->params;
    fd.funckind = FUNC_DISPATCH;
    fd.invkind = m.kind == MemberKind::kGet   ? INVOKE_PROPERTYGET
                 : m.kind == MemberKind::kPut ? INVOKE_PROPERTYPUT
                                              : INVOKE_FUNC;
    fd.callconv = CC_STDCALL;
    fd.cParams = static_cast<SHORT>(m.arg_count);
    fd.oVft = static_cast<SHORT>((7 + index) * sizeof(void*));
    fd.elemdescFunc.tdesc.vt = VT_HRESULT;
    for (size_t k = 0; k < m.arg_count; ++k) {
      ELEMDESC& e = block->params[k];
      TYPEDESC* value = &e.tdesc;
      if (m.args[k].out) {
        e.tdesc.vt = VT_PTR;
        e.tdesc.lptdesc = &block->pointed[k][0];
        value = e.tdesc.lptdesc;
      }
      Describe(m.args[k].kind, value, &block->pointed[k][1]);
      e.paramdesc.wParamFlags = m.args[k].out ? PARAMFLAG_FOUT : PARAMFLAG_FIN;
      if (m.retval && k + 1 == m.arg_count) e.paramdesc.wParamFlags |= PARAMFLAG_FRETVAL;
    }
    *desc = &block->desc;
    return S_OK;
  }
  HRESULT GetVarDesc(UINT, VARDESC** desc) override {
    if (desc != nullptr) *desc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;  // interfaces have no variables
  }
  HRESULT GetNames(MEMBERID id, BSTR* names, UINT max_names, UINT* count) override {
    if (names == nullptr || count == nullptr) return E_INVALIDARG;
    *count = 0;
    const MemberDesc* m = FirstWithId(id);
    if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    if (max_names == 0) return S_OK;
    names[(*count)++] = BstrFromAscii(m->name);
    if (m->kind == MemberKind::kMethod) {
      for (size_t k = 0; k < m->arg_count && *count < max_names; ++k) {
        names[(*count)++] = BstrFromAscii(m->arg_names[k] ? m->arg_names[k] : "");
      }
    }
    return S_OK;
  }
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* type) override {
    if (type == nullptr) return E_INVALIDARG;
    return index == 0 ? (*type = 0, S_OK) : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetImplTypeFlags(UINT index, INT* flags) override {
    if (flags == nullptr) return E_INVALIDARG;
    if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
    *flags = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    return ModuleDispatchProvider()->GetIDsOfNames(*desc_->iid, names, count, 0, ids);
  }
  HRESULT Invoke(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override {
    if (instance == nullptr) return E_INVALIDARG;
    return ModuleDispatchProvider()->Invoke(*desc_->iid, static_cast<IDispatch*>(instance),
                                            id, 0, flags, params, result, exception,
                                            arg_error);
  }
  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* help_context,
                           BSTR* help_file) override {
    const char* member_name = desc_->name;
    const char* help = desc_->help;
    if (id != MEMBERID_NIL) {
      const MemberDesc* m = FirstWithId(id);
      if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
      member_name = m->name;
      help = m->help;
    }
    if (name != nullptr) *name = BstrFromAscii(member_name);
    if (doc != nullptr) *doc = BstrFromAscii(help);
    if (help_context != nullptr) *help_context = 0;
    if (help_file != nullptr) *help_file = nullptr;
    return S_OK;
  }
  HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR* dll, BSTR* name, WORD* ordinal) override {
    if (dll != nullptr) *dll = nullptr;
    if (name != nullptr) *name = nullptr;
    if (ordinal != nullptr) *ordinal = 0;
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    auto entries = LibraryEntries();
    if (type >= entries.size() || entries[type].kind != EntryKind::kDualInterface) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    *info = InterfaceTypeInfo(*entries[type].guid);
    return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** address) override {
    if (address != nullptr) *address = nullptr;
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT CreateInstance(IUnknown*, REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return TYPE_E_WRONGTYPEKIND;  // interfaces are not creatable
  }
  HRESULT GetMops(MEMBERID, BSTR* mops) override {
    if (mops == nullptr) return E_INVALIDARG;
    *mops = nullptr;
    return S_OK;
  }
  HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
    if (lib != nullptr) *lib = nullptr;
    if (index != nullptr) *index = 0;
    return E_NOTIMPL;
  }
  void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
  void ReleaseFuncDesc(FUNCDESC* desc) override {
    delete reinterpret_cast<FuncDescBlock*>(desc);
  }
  void ReleaseVarDesc(VARDESC*) override {}

 private:
  // One allocation per FUNCDESC, so that ReleaseFuncDesc frees it whole.
  struct FuncDescBlock {
    FUNCDESC desc;  // first: the pointer handed out is the block's
    ELEMDESC params[kMaxArgs];
    TYPEDESC pointed[kMaxArgs][2];
  };

  // Index of a type in the library's list: the HREFTYPE of user types.
  static HREFTYPE RefOf(const char* name) {
    auto entries = LibraryEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (std::string_view(entries[i].name) == name) return static_cast<HREFTYPE>(i);
    }
    return 0;
  }
  static void Describe(ArgKind kind, TYPEDESC* desc, TYPEDESC* spare) {
    switch (kind) {
      case ArgKind::kBstr: desc->vt = VT_BSTR; break;
      case ArgKind::kLong: desc->vt = VT_I4; break;
      case ArgKind::kFloat: desc->vt = VT_R4; break;
      case ArgKind::kOrientation:
        desc->vt = VT_USERDEFINED;
        desc->hreftype = RefOf("PhotoOrientation");
        break;
      case ArgKind::kClip:
      case ArgKind::kPhotoDesc:
        desc->vt = VT_PTR;
        desc->lptdesc = spare;
        spare->vt = VT_USERDEFINED;
        spare->hreftype = RefOf(kind == ArgKind::kClip ? "IClip" : "IPhotoDesc");
        break;
    }
  }
  const MemberDesc* FirstWithId(MEMBERID id) const {
    for (const MemberDesc& m : desc_->members) {
      if (m.dispid == id) return &m;
    }
    return nullptr;
  }

  const InterfaceDesc* desc_;
};

TableDispatchProvider g_provider;

// Installed while the module loads; the shell library is linked into the
// module whole, so this runs in every host of the module.
struct ProviderInstaller {
  ProviderInstaller() { SetDispatchProvider(&g_provider); }
} g_installer;

}  // namespace

TableDispatchProvider* ModuleDispatchProvider() { return &g_provider; }

ITypeInfo* InterfaceTypeInfo(REFIID iid) {
  static TableTypeInfo* infos = [] {
    auto interfaces = Interfaces();
    auto* all = static_cast<TableTypeInfo*>(
        ::operator new(sizeof(TableTypeInfo) * interfaces.size()));
    for (size_t i = 0; i < interfaces.size(); ++i) new (&all[i]) TableTypeInfo(&interfaces[i]);
    return all;
  }();
  auto interfaces = Interfaces();
  for (size_t i = 0; i < interfaces.size(); ++i) {
    if (*interfaces[i].iid == iid) return &infos[i];
  }
  return nullptr;
}

const MemberDesc* FindMemberByName(const InterfaceDesc& desc, std::u16string_view name) {
  for (const MemberDesc& m : desc.members) {
    if (SameNameIgnoringCase(name, m.name)) return &m;
  }
  return nullptr;
}

HRESULT TableDispatchProvider::GetTypeInfo(REFIID iid, UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = InterfaceTypeInfo(iid);
  return *info != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TableDispatchProvider::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                             LCID, DISPID* ids) {
  if ((count > 0 && names == nullptr) || (count > 0 && ids == nullptr)) return E_INVALIDARG;
  const InterfaceDesc* desc = FindInterface(iid);
  if (desc == nullptr) return DISP_E_UNKNOWNINTERFACE;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (count == 0) return S_OK;
  const MemberDesc* member = FindMemberByName(*desc, ViewOf(names[0]));
  if (member == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = member->dispid;
  // Further names are the member's parameters: their DISPIDs are positions.
  const MemberDesc* method = nullptr;
  for (const MemberDesc& m : desc->members) {
    if (m.dispid == member->dispid && m.kind == MemberKind::kMethod) method = &m;
  }
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    bool found = false;
    if (method != nullptr) {
      for (size_t k = 0; k < method->VisibleArgs(); ++k) {
        if (method->arg_names[k] != nullptr &&
            SameNameIgnoringCase(ViewOf(names[i]), method->arg_names[k])) {
          ids[i] = static_cast<DISPID>(k);
          found = true;
        }
      }
    }
    if (!found) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT TableDispatchProvider::Invoke(REFIID iid, IDispatch* self, DISPID id, LCID,
                                      WORD flags, DISPPARAMS* params, VARIANT* result,
                                      EXCEPINFO* exception, UINT* arg_error) {
  const InterfaceDesc* desc = FindInterface(iid);
  if (desc == nullptr || self == nullptr) return DISP_E_UNKNOWNINTERFACE;
  if (result != nullptr) VariantInit(result);
  try {
    bool raised = false;
    HRESULT hr = InvokeMember(*desc, self, id, flags, params, result, arg_error, &raised);
    if (!raised) return hr;
    // A member that fails reaches a late-bound caller as an exception whose
    // record carries its code, as dispatch through type information does it
    // on the system's own platform: a host sees one behaviour on both.
    if (exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->scode = hr;
    }
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tavirelle
