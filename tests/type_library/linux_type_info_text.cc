// linux_type_info_text
//
// Prints the canonical text (type_info_text.h) of the type information this
// build's module serves: the library's members from its tables, and each
// dual interface as the type information that IDispatch::GetTypeInfo of an
// object made by the module's class factory hands out.
#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "shell/type_library.h"
#include "tavirelle/automation.h"
#include "tavirelle/interfaces.h"
#include "tavirelle/module.h"
#include "tavirelle/type_info.h"
#include "type_info_text.h"

namespace {

using tavirelle::EntryKind;
using tavirelle::LibraryEntries;
using tavirelle::LibraryEntry;
using type_info_text::Quoted;

const char* NameOfGuid(const GUID& guid) {
  for (const LibraryEntry& entry : LibraryEntries()) {
    if (entry.guid != nullptr && *entry.guid == guid) return entry.name;
  }
  return "?";
}

// Here an HREFTYPE is the referred type's place in the library. The
// enumeration has no type information of its own, so its name is taken from
// the library's table.
std::string NameOfRef(ITypeInfo* info, HREFTYPE type) {
  ITypeInfo* target = nullptr;
  if (SUCCEEDED(info->GetRefTypeInfo(type, &target))) {
    BSTR name = nullptr;
    target->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    target->Release();
    return type_info_text::Take(name);
  }
  auto entries = LibraryEntries();
  if (type < entries.size()) return entries[type].name;
  return "unresolved#" + std::to_string(type);
}

const char* KindText(EntryKind kind) {
  switch (kind) {
    case EntryKind::kDispinterface: return "dispinterface";
    case EntryKind::kCoclass: return "coclass";
    case EntryKind::kDualInterface: return "dual interface";
    case EntryKind::kEnum: return "enum";
  }
  return "?";
}

// The interface's type information as an object of the coclass that
// implements it hands it out.
std::string InterfaceText(const LibraryEntry& interface_entry) {
  const LibraryEntry* coclass = nullptr;
  for (const LibraryEntry& entry : LibraryEntries()) {
    if (entry.kind == EntryKind::kCoclass && *entry.default_interface == *interface_entry.guid) {
      coclass = &entry;
    }
  }
  if (coclass == nullptr) return std::string("interface ") + interface_entry.name + ": no class\n";
  IClassFactory* factory = nullptr;
  IDispatch* object = nullptr;
  ITypeInfo* info = nullptr;
  std::string out;
  if (FAILED(DllGetClassObject(*coclass->guid, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, *interface_entry.guid,
                                     reinterpret_cast<void**>(&object))) ||
      FAILED(object->GetTypeInfo(0, 0, &info))) {
    out = std::string("interface ") + interface_entry.name + ": no type information\n";
  } else {
    out = type_info_text::InterfaceText(info, NameOfRef);
  }
  if (info != nullptr) info->Release();
  if (object != nullptr) object->Release();
  if (factory != nullptr) factory->Release();
  return out;
}

}  // namespace

std::string type_info_text::Utf8(const OLECHAR* text, size_t length) {
  return tavirelle::WideToUtf8(std::u16string_view(text, length));
}

int main() {
  // The library is locale neutral.
  std::string text = type_info_text::LibraryLine(
      tavirelle::kTypeLibraryName, LIBID_TavirelleHelperLib, tavirelle::kTypeLibraryMajorVersion,
      tavirelle::kTypeLibraryMinorVersion, 0, Quoted(tavirelle::kTypeLibraryHelp));
  std::string interfaces;
  unsigned index = 0;
  for (const LibraryEntry& entry : LibraryEntries()) {
    text += type_info_text::MemberLine(index++, KindText(entry.kind), entry.name,
                                       entry.guid != nullptr ? *entry.guid : GUID_NULL,
                                       Quoted(entry.help));
    if (entry.kind == EntryKind::kCoclass) {
      text += type_info_text::ImplementsLine(NameOfGuid(*entry.default_interface), true, false);
      if (entry.default_source != nullptr) {
        text += type_info_text::ImplementsLine(NameOfGuid(*entry.default_source), true, true);
      }
    }
    if (entry.kind == EntryKind::kEnum) {
      for (const tavirelle::EnumValue& value : tavirelle::PhotoOrientationValues()) {
        text += type_info_text::EnumValueLine(value.name, value.value);
      }
    }
    if (entry.kind == EntryKind::kDualInterface) interfaces += InterfaceText(entry);
  }
  std::fputs((text + interfaces).c_str(), stdout);
  return 0;
}
