// The canonical text of the automation interfaces' type information, written
// alike from the Windows type library (loaded by the system's automation
// library) and from the type information the Linux module serves, so that
// comparing two texts compares the two descriptions member by member.
//
// Both systems name the automation types alike (ITypeInfo, TYPEATTR,
// FUNCDESC, BSTR, VT_*), so this header reads either: include it after the
// system's own declarations (oleauto.h on Windows, tavirelle/type_info.h
// and tavirelle/automation.h on Linux).
#ifndef TAVIRELLE_TESTS_TYPE_LIBRARY_TYPE_INFO_TEXT_H_
#define TAVIRELLE_TESTS_TYPE_LIBRARY_TYPE_INFO_TEXT_H_

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace type_info_text {

// UTF-8 of a UTF-16 text, by the system's own conversion: each program
// defines it.
std::string Utf8(const OLECHAR* text, size_t length);

// Takes a BSTR the caller received and frees it. A null BSTR is "".
inline std::string Take(BSTR text) {
  if (text == nullptr) return std::string();
  std::string out = Utf8(text, SysStringLen(text));
  SysFreeString(text);
  return out;
}

// A help string in quotes, or "none" (a null help string and an empty one
// are told apart: a type library stores no string for the first).
inline std::string Quoted(BSTR text) {
  if (text == nullptr) return "none";
  return "\"" + Take(text) + "\"";
}

inline std::string Quoted(const char* text) {
  return text == nullptr ? "none" : "\"" + std::string(text) + "\"";
}

inline std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

inline std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%X", value);
  return text;
}

// The flags an interface's description states.
inline std::string InterfaceFlagsText(WORD flags) {
  std::string out;
  if (flags & TYPEFLAG_FDUAL) out += " dual";
  if (flags & TYPEFLAG_FNONEXTENSIBLE) out += " nonextensible";
  if (flags & TYPEFLAG_FOLEAUTOMATION) out += " oleautomation";
  return out;
}

// The library's own line, one line per member of the library in order, and
// the lines that follow a coclass (its interfaces) and an enumeration (its
// values). `help` is Quoted().
inline std::string LibraryLine(const std::string& name, const GUID& guid, unsigned major,
                               unsigned minor, LCID lcid, const std::string& help) {
  return "library " + name + " " + GuidText(guid) + " version " + std::to_string(major) + "." +
         std::to_string(minor) + " lcid " + Hex(lcid) + " help " + help + "\n";
}

// `kind`: "dispinterface", "coclass", "dual interface", "enum"; a GUID_NULL
// GUID is left out (an enumeration has none).
inline std::string MemberLine(unsigned index, const std::string& kind, const std::string& name,
                              const GUID& guid, const std::string& help) {
  static constexpr GUID kNull{};
  std::string guid_text;
  if (std::memcmp(&guid, &kNull, sizeof(GUID)) != 0) guid_text = " " + GuidText(guid);
  return "member " + std::to_string(index) + " " + kind + " " + name + guid_text + " help " +
         help + "\n";
}

inline std::string ImplementsLine(const std::string& name, bool is_default, bool is_source) {
  std::string flags;
  if (is_default) flags += " default";
  if (is_source) flags += " source";
  return "  implements " + name + flags + "\n";
}

inline std::string EnumValueLine(const std::string& name, long value) {
  return "  " + name + " = " + std::to_string(value) + "\n";
}

// Names a user-defined type that a description refers to.
using RefTypeName = std::function<std::string(ITypeInfo* info, HREFTYPE type)>;

inline std::string TypeText(ITypeInfo* info, const TYPEDESC& desc, const RefTypeName& name_of) {
  switch (desc.vt) {
    case VT_PTR: return TypeText(info, *desc.lptdesc, name_of) + "*";
    case VT_USERDEFINED: return name_of(info, desc.hreftype);
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "void";
    case VT_BSTR: return "BSTR";
    case VT_I4: return "LONG";
    case VT_R4: return "FLOAT";
    case VT_I2: return "SHORT";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_VARIANT: return "VARIANT";
    case VT_DISPATCH: return "IDispatch*";
    case VT_UNKNOWN: return "IUnknown*";
    case VT_INT: return "INT";
    default: return "vt" + std::to_string(desc.vt);
  }
}

inline std::string ParamFlagsText(USHORT flags) {
  std::string out;
  auto add = [&out](const char* word) { out += out.empty() ? word : std::string(", ") + word; };
  if (flags & PARAMFLAG_FIN) add("in");
  if (flags & PARAMFLAG_FOUT) add("out");
  if (flags & PARAMFLAG_FRETVAL) add("retval");
  USHORT rest = flags & ~(PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  if (rest != 0) add(Hex(rest).c_str());
  return "[" + out + "]";
}

inline const char* InvokeKindText(INVOKEKIND kind) {
  switch (kind) {
    case INVOKE_FUNC: return "func";
    case INVOKE_PROPERTYGET: return "propget";
    case INVOKE_PROPERTYPUT: return "propput";
    case INVOKE_PROPERTYPUTREF: return "propputref";
  }
  return "invoke?";
}

// The members of an interface in virtual-table order: for each, its slot,
// DISPID, kind, name, help string, the names GetNames gives for its DISPID,
// and its signature with parameter flags and types.
inline std::string InterfaceText(ITypeInfo* info, const RefTypeName& name_of) {
  std::string out;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return "  (no type attributes)\n";
  BSTR name = nullptr;
  BSTR help = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
  out += "interface " + Take(name) + " " + GuidText(attr->guid) + " help " + Quoted(help) +
         InterfaceFlagsText(attr->wTypeFlags) + "\n";
  const unsigned count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (unsigned i = 0; i < count; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) {
      out += "  member " + std::to_string(i) + ": no description\n";
      continue;
    }
    BSTR member = nullptr;
    BSTR member_help = nullptr;
    info->GetDocumentation(func->memid, &member, &member_help, nullptr, nullptr);
    BSTR names[8] = {};
    UINT name_count = 0;
    info->GetNames(func->memid, names, 8, &name_count);
    // A property's value has no name of its own in the interfaces' tables
    // (widl calls it "a"): only a method's parameters are named.
    const UINT shown = func->invkind == INVOKE_FUNC ? name_count : 1;
    std::string name_list;
    for (UINT n = 0; n < name_count && n < 8; ++n) {
      std::string text = Take(names[n]);
      if (n < shown) name_list += (n == 0 ? "" : ", ") + text;
    }
    out += "  slot " + std::to_string(func->oVft / static_cast<int>(sizeof(void*))) + " id " +
           std::to_string(func->memid) + " " + InvokeKindText(func->invkind) + " " +
           Take(member) + " help " + Quoted(member_help) + " names [" + name_list + "]\n";
    out += "    " + TypeText(info, func->elemdescFunc.tdesc, name_of) + " (";
    for (int p = 0; p < func->cParams; ++p) {
      const ELEMDESC& param = func->lprgelemdescParam[p];
      out += (p == 0 ? "" : ", ") + ParamFlagsText(param.paramdesc.wParamFlags) + " " +
             TypeText(info, param.tdesc, name_of);
    }
    out += ")\n";
    info->ReleaseFuncDesc(func);
  }
  return out;
}

}  // namespace type_info_text

#endif  // TAVIRELLE_TESTS_TYPE_LIBRARY_TYPE_INFO_TEXT_H_
