// windows_type_library_text FILE
//
// Loads the type library in FILE (a .tlb, or a module carrying it as
// resource 1) through the system's automation library, without registering
// it, and prints its canonical text (type_info_text.h): the library, its
// members in order, and each dual interface as its virtual table shows it.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "type_info_text.h"

namespace {

using type_info_text::Quoted;
using type_info_text::Take;

std::string NameOfRef(ITypeInfo* info, HREFTYPE type) {
  ITypeInfo* target = nullptr;
  if (FAILED(info->GetRefTypeInfo(type, &target))) return "unresolved#" + std::to_string(type);
  BSTR name = nullptr;
  target->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  target->Release();
  return Take(name);
}

std::string KindOf(const TYPEATTR& attr) {
  switch (attr.typekind) {
    case TKIND_DISPATCH:
      return (attr.wTypeFlags & TYPEFLAG_FDUAL) ? "dual interface" : "dispinterface";
    case TKIND_COCLASS: return "coclass";
    case TKIND_ENUM: return "enum";
    case TKIND_INTERFACE: return "interface";
    default: return "typekind" + std::to_string(attr.typekind);
  }
}

std::string CoclassLines(ITypeInfo* info, const TYPEATTR& attr) {
  std::string out;
  for (UINT i = 0; i < attr.cImplTypes; ++i) {
    HREFTYPE type = 0;
    INT flags = 0;
    if (FAILED(info->GetRefTypeOfImplType(i, &type)) ||
        FAILED(info->GetImplTypeFlags(i, &flags))) {
      out += "  implements ?\n";
      continue;
    }
    out += type_info_text::ImplementsLine(NameOfRef(info, type),
                                          (flags & IMPLTYPEFLAG_FDEFAULT) != 0,
                                          (flags & IMPLTYPEFLAG_FSOURCE) != 0);
  }
  return out;
}

std::string EnumLines(ITypeInfo* info, const TYPEATTR& attr) {
  std::string out;
  for (UINT i = 0; i < attr.cVars; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var))) {
      out += "  ?\n";
      continue;
    }
    BSTR name = nullptr;
    info->GetDocumentation(var->memid, &name, nullptr, nullptr, nullptr);
    long value = -1;
    if (var->varkind == VAR_CONST && var->lpvarValue != nullptr) {
      VARIANT as_long;
      VariantInit(&as_long);
      if (SUCCEEDED(VariantChangeType(&as_long, var->lpvarValue, 0, VT_I4))) value = as_long.lVal;
    }
    out += type_info_text::EnumValueLine(Take(name), value);
    info->ReleaseVarDesc(var);
  }
  return out;
}

// The virtual-table view of a dual interface: the library lists its
// dispatch view, whose members start with IDispatch's own.
std::string DualInterfaceText(ITypeInfo* dispatch_view) {
  HREFTYPE type = 0;
  ITypeInfo* vtable_view = nullptr;
  if (FAILED(dispatch_view->GetRefTypeOfImplType(static_cast<UINT>(-1), &type)) ||
      FAILED(dispatch_view->GetRefTypeInfo(type, &vtable_view))) {
    return "interface ? (no virtual-table view)\n";
  }
  std::string out = type_info_text::InterfaceText(vtable_view, NameOfRef);
  vtable_view->Release();
  return out;
}

int Print(ITypeLib* library) {
  std::string text;
  TLIBATTR* lib_attr = nullptr;
  if (FAILED(library->GetLibAttr(&lib_attr))) return 1;
  BSTR lib_name = nullptr;
  BSTR lib_help = nullptr;
  library->GetDocumentation(-1, &lib_name, &lib_help, nullptr, nullptr);
  text += type_info_text::LibraryLine(Take(lib_name), lib_attr->guid, lib_attr->wMajorVerNum,
                                      lib_attr->wMinorVerNum, lib_attr->lcid, Quoted(lib_help));
  library->ReleaseTLibAttr(lib_attr);

  std::string interfaces;
  const UINT count = library->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    ITypeInfo* info = nullptr;
    TYPEATTR* attr = nullptr;
    if (FAILED(library->GetTypeInfo(i, &info)) || FAILED(info->GetTypeAttr(&attr))) {
      text += "member " + std::to_string(i) + " ?\n";
      if (info != nullptr) info->Release();
      continue;
    }
    BSTR name = nullptr;
    BSTR help = nullptr;
    library->GetDocumentation(static_cast<INT>(i), &name, &help, nullptr, nullptr);
    const std::string kind = KindOf(*attr);
    text += type_info_text::MemberLine(i, kind, Take(name), attr->guid, Quoted(help));
    if (attr->typekind == TKIND_COCLASS) text += CoclassLines(info, *attr);
    if (attr->typekind == TKIND_ENUM) text += EnumLines(info, *attr);
    if (kind == "dual interface") interfaces += DualInterfaceText(info);
    info->ReleaseTypeAttr(attr);
    info->Release();
  }
  std::fputs((text + interfaces).c_str(), stdout);
  return 0;
}

}  // namespace

std::string type_info_text::Utf8(const OLECHAR* text, size_t length) {
  if (length == 0) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                      nullptr);
  return out;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: windows_type_library_text FILE\n");
    return 2;
  }
  std::wstring path(MAX_PATH * 4, L'\0');
  int length = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path.data(),
                                   static_cast<int>(path.size()));
  if (length <= 0) {
    std::fprintf(stderr, "windows_type_library_text: %s: name not convertible\n", argv[1]);
    return 1;
  }
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) {
    std::fprintf(stderr, "windows_type_library_text: %s: no type library (0x%08lX)\n", argv[1],
                 static_cast<unsigned long>(hr));
    return 1;
  }
  int status = Print(library);
  library->Release();
  if (status != 0) std::fprintf(stderr, "windows_type_library_text: %s: unreadable\n", argv[1]);
  return status;
}
