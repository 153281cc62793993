// The type library as the module carries it (resource 1 of a module built
// with the module's resource script), loaded and registered through the
// system's automation library.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr GUID kLibraryId = {
    0x5D30531A, 0x0516, 0x45F7, {0xA3, 0xBA, 0x0F, 0x8C, 0x50, 0x5D, 0x28, 0xCB}};
constexpr GUID kQXHelperId = {
    0x371D6E25, 0x5EDB, 0x4CCE, {0x85, 0x85, 0x7D, 0x1B, 0x7C, 0x2C, 0x07, 0x3C}};
constexpr GUID kQXFileIOId = {
    0xF2578DE2, 0x8033, 0x47EC, {0x8F, 0xEC, 0xEF, 0xEC, 0x5A, 0x5F, 0x93, 0x08}};
constexpr wchar_t kLibraryKey[] = L"TypeLib\\{5D30531A-0516-45F7-A3BA-0F8C505D28CB}";
constexpr wchar_t kQXHelperKey[] = L"Interface\\{371D6E25-5EDB-4CCE-8585-7D1B7C2C073C}";

// The module with the resources, built beside this program.
std::wstring ProbeModule() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return folder + L"tavirelle_resource_probe.dll";
}

std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring Text(BSTR text) {
  std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  return out;
}

// The default value of a key, or "(none)" when the key is missing.
std::wstring ValueOf(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[MAX_PATH * 2] = {};
  DWORD size = sizeof(data);
  LONG status = RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size);
  return status == ERROR_SUCCESS ? std::wstring(data) : L"(none)";
}

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(module_.c_str(), REGKIND_NONE, &library_), S_OK);
  }
  void TearDown() override {
    if (library_ != nullptr) library_->Release();
  }

  std::wstring module_ = ProbeModule();
  ITypeLib* library_ = nullptr;
};

TEST_F(TypeLibrary, IsTheLibraryOfTheInterfaces) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, kLibraryId));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, SYS_WIN64);
  library_->ReleaseTLibAttr(attr);
}

// A dual interface reaches IDispatch's members through its base, which the
// library imports from stdole2.tlb.
TEST_F(TypeLibrary, DualInterfacesDeriveFromTheSystemsIDispatch) {
  for (const GUID* iid : {&kQXHelperId, &kQXFileIOId}) {
    ITypeInfo* dispatch_view = nullptr;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(*iid, &dispatch_view), S_OK);
    HREFTYPE vtable_ref = 0;
    ITypeInfo* vtable_view = nullptr;
    ASSERT_EQ(dispatch_view->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref), S_OK);
    ASSERT_EQ(dispatch_view->GetRefTypeInfo(vtable_ref, &vtable_view), S_OK);
    HREFTYPE base_ref = 0;
    ITypeInfo* base = nullptr;
    ASSERT_EQ(vtable_view->GetRefTypeOfImplType(0, &base_ref), S_OK);
    ASSERT_EQ(vtable_view->GetRefTypeInfo(base_ref, &base), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IDispatch));
    base->ReleaseTypeAttr(attr);
    BSTR name = nullptr;
    ASSERT_EQ(base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), L"IDispatch");
    // The dispatch view lists IDispatch's seven members before the interface's.
    ASSERT_EQ(dispatch_view->GetTypeAttr(&attr), S_OK);
    TYPEATTR* own = nullptr;
    ASSERT_EQ(vtable_view->GetTypeAttr(&own), S_OK);
    EXPECT_EQ(attr->cFuncs, own->cFuncs + 7);
    vtable_view->ReleaseTypeAttr(own);
    dispatch_view->ReleaseTypeAttr(attr);
    base->Release();
    vtable_view->Release();
    dispatch_view->Release();
  }
}

// What registration from resource 1 writes, with the module's folder as the
// help folder, and what unregistration leaves.
TEST_F(TypeLibrary, RegistersFromResourceOneAndUnregisters) {
  const std::wstring help_folder = FolderOf(module_);
  ASSERT_EQ(RegisterTypeLib(library_, const_cast<wchar_t*>(module_.c_str()),
                            const_cast<wchar_t*>(help_folder.c_str())),
            S_OK);
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kLibraryKey + std::wstring(L"\\1.0")),
            L"TavirelleHelper 1.0 Type Library");
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kLibraryKey + std::wstring(L"\\1.0\\0\\win64")), module_);
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kLibraryKey + std::wstring(L"\\1.0\\HELPDIR")),
            help_folder);
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kQXHelperKey), L"IQXHelper");
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kQXHelperKey + std::wstring(L"\\TypeLib")),
            L"{5D30531A-0516-45F7-A3BA-0F8C505D28CB}");
  // Dual interfaces are marshalled by the automation library's own proxy.
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kQXHelperKey + std::wstring(L"\\ProxyStubClsid32")),
            L"{00020424-0000-0000-C000-000000000046}");

  ASSERT_EQ(UnRegisterTypeLib(kLibraryId, 1, 0, LOCALE_NEUTRAL, SYS_WIN64), S_OK);
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kLibraryKey + std::wstring(L"\\1.0")), L"(none)");
  EXPECT_EQ(ValueOf(HKEY_CLASSES_ROOT, kQXHelperKey), L"(none)");
}

}  // namespace
