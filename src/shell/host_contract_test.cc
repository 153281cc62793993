// What a host relies on from the built module besides its objects: the
// exported string, VARIANT and object-creation functions, looked up by name
// as a host in another language finds them, and Invoke writing the member's
// out-arguments back through the references the host passes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "com/dynamic_module.h"
#include "platform/guid.h"
#include "tavirelle/interfaces.h"
#include "tavirelle/module.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"

namespace tavirelle {

namespace {

// The module's export `name`, as the host's loader hands it out.
template <class Function>
Function Export(const char* name) {
  static void* module = [] {
    void* loaded = nullptr;
    LoadModule(TAVIRELLE_MODULE_PATH, &loaded).IgnoreError();  // null fails below
    return loaded;
  }();
  void* symbol = module != nullptr ? ModuleSymbol(module, name) : nullptr;
  EXPECT_NE(symbol, nullptr) << name;
  return reinterpret_cast<Function>(symbol);
}

const auto ExportedAllocString = [](const OLECHAR* text) {
  return Export<BSTR (*)(const OLECHAR*)>("SysAllocString")(text);
};
const auto ExportedFreeString = [](BSTR text) { Export<void (*)(BSTR)>("SysFreeString")(text); };
const auto ExportedVariantClear = [](VARIANT* v) {
  return Export<HRESULT (*)(VARIANT*)>("VariantClear")(v);
};
const auto ExportedChangeType = [](VARIANT* dest, const VARIANT* source, VARTYPE vt) {
  return Export<HRESULT (*)(VARIANT*, const VARIANT*, USHORT, VARTYPE)>("VariantChangeType")(
      dest, source, 0, vt);
};

TEST(ExportedStrings, ByteLengthsAndReallocation) {
  auto by_bytes = Export<BSTR (*)(const char*, UINT)>("SysAllocStringByteLen");
  auto reallocate = Export<BOOL (*)(BSTR*, const OLECHAR*)>("SysReAllocString");
  auto byte_length = Export<UINT (*)(BSTR)>("SysStringByteLen");
  auto length = Export<UINT (*)(BSTR)>("SysStringLen");

  // An odd number of bytes is kept as given, and ends in a zero unit.
  BSTR bytes = by_bytes("abcde", 5);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(byte_length(bytes), 5u);
  EXPECT_EQ(length(bytes), 2u);
  EXPECT_EQ(std::memcmp(bytes, "abcde", 5), 0);
  EXPECT_EQ(reinterpret_cast<const char*>(bytes)[5], 0);
  ExportedFreeString(bytes);
  // Without bytes, as many zero bytes; beyond what a length can hold, none.
  BSTR zeros = by_bytes(nullptr, 4);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(byte_length(zeros), 4u);
  EXPECT_EQ(std::memcmp(zeros, "\0\0\0\0\0", 6), 0);
  ExportedFreeString(zeros);
  EXPECT_EQ(by_bytes(nullptr, 0x80000000u), nullptr);

  // Reallocation replaces the text with a copy (the old one is freed: the
  // sanitizer build would tell a leak), or with none.
  BSTR text = ExportedAllocString(u"old");
  std::u16string fresh = u"new text";
  EXPECT_TRUE(reallocate(&text, fresh.c_str()));
  fresh[0] = u'N';
  EXPECT_EQ(BstrView(text), u"new text");
  EXPECT_TRUE(reallocate(&text, nullptr));
  EXPECT_EQ(text, nullptr);
  EXPECT_FALSE(reallocate(nullptr, u"x"));
}

// Conversions at the edges of every integer type, through the exported
// VariantChangeType: the last value that fits is converted, the first that
// does not is DISP_E_OVERFLOW and leaves the target as it was.
struct Edge {
  const char* label;
  VARTYPE from;
  int64_t whole;  // the source for VT_I8 and VT_UI8
  double real;    // the source for VT_R8
  VARTYPE to;
  HRESULT expected;
  const char16_t* text;  // the value converted, as text; null: not checked
};

constexpr uint64_t kAllOnes = ~uint64_t{0};

const Edge kEdges[] = {
    {"127 to I1", VT_I8, 127, 0, VT_I1, S_OK, u"127"},
    {"128 to I1", VT_I8, 128, 0, VT_I1, DISP_E_OVERFLOW, nullptr},
    {"-128 to I1", VT_I8, -128, 0, VT_I1, S_OK, u"-128"},
    {"-129 to I1", VT_I8, -129, 0, VT_I1, DISP_E_OVERFLOW, nullptr},
    {"255 to UI1", VT_I8, 255, 0, VT_UI1, S_OK, u"255"},
    {"256 to UI1", VT_I8, 256, 0, VT_UI1, DISP_E_OVERFLOW, nullptr},
    {"-1 to UI1", VT_I8, -1, 0, VT_UI1, DISP_E_OVERFLOW, nullptr},
    {"-32768 to I2", VT_I8, -32768, 0, VT_I2, S_OK, u"-32768"},
    {"32768 to I2", VT_I8, 32768, 0, VT_I2, DISP_E_OVERFLOW, nullptr},
    {"65535 to UI2", VT_I8, 65535, 0, VT_UI2, S_OK, u"65535"},
    {"65536 to UI2", VT_I8, 65536, 0, VT_UI2, DISP_E_OVERFLOW, nullptr},
    {"2147483647 to I4", VT_I8, 2147483647, 0, VT_I4, S_OK, u"2147483647"},
    {"-2147483649 to I4", VT_I8, -2147483649LL, 0, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"4294967295 to UI4", VT_I8, 4294967295LL, 0, VT_UI4, S_OK, u"4294967295"},
    {"4294967296 to UI4", VT_I8, 4294967296LL, 0, VT_UI4, DISP_E_OVERFLOW, nullptr},
    {"largest unsigned to I8", VT_UI8, static_cast<int64_t>(kAllOnes), 0, VT_I8,
     DISP_E_OVERFLOW, nullptr},
    {"largest signed from UI8", VT_UI8, INT64_MAX, 0, VT_I8, S_OK, u"9223372036854775807"},
    {"-1 to UI8", VT_I8, -1, 0, VT_UI8, DISP_E_OVERFLOW, nullptr},
    {"largest signed to UI8", VT_I8, INT64_MAX, 0, VT_UI8, S_OK, u"9223372036854775807"},
    // Halves round to even: 2147483646.5 stays in, 2147483647.5 goes out.
    {"2147483646.5 to I4", VT_R8, 0, 2147483646.5, VT_I4, S_OK, u"2147483646"},
    {"2147483647.5 to I4", VT_R8, 0, 2147483647.5, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"3.4e38 to R4", VT_R8, 0, 3.4e38, VT_R4, S_OK, nullptr},
    {"3.5e38 to R4", VT_R8, 0, 3.5e38, VT_R4, DISP_E_OVERFLOW, nullptr},
};

class ExportedConversions : public testing::TestWithParam<Edge> {};

TEST_P(ExportedConversions, KeepTheEdgesOfEachType) {
  const Edge& e = GetParam();
  VARIANT source{};
  source.vt = e.from;
  if (e.from == VT_R8) {
    source.dblVal = e.real;
  } else {
    source.llVal = e.whole;  // the same bits serve VT_UI8
  }
  VARIANT dest{};
  dest.vt = VT_BSTR;
  dest.bstrVal = ExportedAllocString(u"stale");  // replaced, not leaked
  ASSERT_EQ(ExportedChangeType(&dest, &source, e.to), e.expected);
  if (e.expected != S_OK) {
    // A failed conversion leaves the target as it was.
    ASSERT_EQ(dest.vt, VT_BSTR);
    EXPECT_EQ(BstrView(dest.bstrVal), u"stale");
    ExportedVariantClear(&dest);
    return;
  }
  EXPECT_EQ(dest.vt, e.to);
  if (e.text != nullptr) {
    VARIANT text{};
    ASSERT_EQ(ExportedChangeType(&text, &dest, VT_BSTR), S_OK);
    EXPECT_EQ(BstrView(text.bstrVal), e.text);
    ExportedVariantClear(&text);
  }
  ExportedVariantClear(&dest);
}

INSTANTIATE_TEST_SUITE_P(Table, ExportedConversions, testing::ValuesIn(kEdges),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.label; *p; ++p) {
                             name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(ExportedVariants, CopyOwnsItsTextAndClearEmpties) {
  auto copy = Export<HRESULT (*)(VARIANT*, const VARIANT*)>("VariantCopy");
  auto init = Export<void (*)(VARIANT*)>("VariantInit");
  VARIANT source;
  init(&source);
  source.vt = VT_BSTR;
  source.bstrVal = ExportedAllocString(u"shared?");
  VARIANT dest;
  init(&dest);
  ASSERT_EQ(copy(&dest, &source), S_OK);
  ASSERT_EQ(dest.vt, VT_BSTR);
  EXPECT_NE(dest.bstrVal, source.bstrVal);
  EXPECT_EQ(ExportedVariantClear(&source), S_OK);
  EXPECT_EQ(source.vt, VT_EMPTY);
  EXPECT_EQ(BstrView(dest.bstrVal), u"shared?");
  EXPECT_EQ(ExportedVariantClear(&dest), S_OK);
  EXPECT_EQ(ExportedVariantClear(nullptr), E_INVALIDARG);
}

// Classes registered in a scratch registry, created through the exported
// runtime as a host creates them: by ProgID, by class, through the factory.
TEST(ExportedRuntime, CreatesRegisteredClassesAndRefusesOthers) {
  TempDir registry;
  ScopedEnvironment environment({"TAVIRELLE_REGISTRY=" + registry.path()});
  auto class_id = Export<HRESULT (*)(LPCOLESTR, CLSID*)>("CLSIDFromProgID");
  auto create = Export<HRESULT (*)(REFCLSID, IUnknown*, DWORD, REFIID, void**)>(
      "CoCreateInstance");
  auto class_object = Export<HRESULT (*)(REFCLSID, DWORD, void*, REFIID, void**)>(
      "CoGetClassObject");
  ASSERT_EQ(Export<HRESULT (*)()>("DllRegisterServer")(), S_OK);

  CLSID clsid{};
  ASSERT_EQ(class_id(u"TavirelleHelper.QXHelper", &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_QXHelper);
  EXPECT_EQ(class_id(u"{2080A7D9-1519-414A-A782-E5675D375030}", &clsid), S_OK);
  EXPECT_EQ(class_id(u"TavirelleHelper.Nothing", &clsid), CO_E_CLASSSTRING);
  EXPECT_TRUE(clsid == GUID_NULL);
  EXPECT_EQ(class_id(nullptr, &clsid), E_INVALIDARG);

  IUnknown* object = nullptr;
  ASSERT_EQ(create(CLSID_QXHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(&object)), S_OK);
  ASSERT_NE(object, nullptr);
  object->Release();
  object = nullptr;
  EXPECT_EQ(create(CLSID_QXHelper, nullptr, 0x4 /* a local server */, IID_IUnknown,
                   reinterpret_cast<void**>(&object)), E_INVALIDARG);
  CLSID unknown{};
  ASSERT_EQ(CoCreateGuid(&unknown), S_OK);
  EXPECT_EQ(create(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                   reinterpret_cast<void**>(&object)), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(class_object(CLSID_QXHelper, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void**>(&factory)), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
            S_OK);
  object->Release();
  factory->Release();
  int server_info = 0;  // another machine's: not this runtime's business
  EXPECT_EQ(class_object(CLSID_QXHelper, CLSCTX_INPROC_SERVER, &server_info, IID_IClassFactory,
                         reinterpret_cast<void**>(&factory)), E_INVALIDARG);

  ASSERT_EQ(Export<HRESULT (*)()>("DllUnregisterServer")(), S_OK);
  EXPECT_EQ(class_id(u"TavirelleHelper.QXHelper", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(create(CLSID_QXHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                   reinterpret_cast<void**>(&object)), REGDB_E_CLASSNOTREG);
}

// A host passes each out-argument as a reference, to a VARIANT of its own or
// to a value of the member's type; Invoke writes the result back there,
// freeing what the reference held before.
class InvokeOutArguments : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteTestPackage(
        dir_.Join("show.pkg"),
        {{"meta.xml", "<qx><show><title>Summer</title><icon>a.jpg</icon></show>"
                      "<images><image onlineFilename=\"a.jpg\"/></images></qx>"},
         {"a.jpg", "photo"},
         {"onlineInfo.xml", "<onlineInfo><showCode>XY12</showCode></onlineInfo>"},
         {"localInfo.xml", "<localInfo><localModified>TRUE</localModified></localInfo>"}}));
    auto create = Export<HRESULT (*)(LPCOLESTR, REFIID, void**)>("TavirelleCreateObject");
    ASSERT_EQ(create(u"TavirelleHelper.QXFileIO", IID_IDispatch,
                     reinterpret_cast<void**>(&file_io_)), S_OK);
    VARIANT folder{};
    folder.vt = VT_BSTR;
    folder.bstrVal = ExportedAllocString(Wide(dir_.path()).c_str());
    ASSERT_EQ(Call(u"OutputPath", DISPATCH_PROPERTYPUT, {folder}), S_OK);
    ExportedVariantClear(&folder);
    VARIANT name{}, no_download{};
    name.vt = VT_BSTR;
    name.bstrVal = ExportedAllocString(Wide(dir_.Join("show.pkg")).c_str());
    no_download.vt = VT_I4;
    ASSERT_EQ(Call(u"OpenDotTavirelle", DISPATCH_METHOD, {no_download, name}), S_OK);
    ExportedVariantClear(&name);
  }
  void TearDown() override {
    if (file_io_ != nullptr) file_io_->Release();
  }

  static std::u16string Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

  // Calls `member` with the arguments as rgvarg holds them: last to first.
  HRESULT Call(const std::u16string& member, WORD flags, std::vector<VARIANT> args) {
    std::u16string name = member;
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    HRESULT hr = file_io_->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr)) return hr;
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{args.data(), is_put ? &put : nullptr, static_cast<UINT>(args.size()),
                      is_put ? 1u : 0u};
    return file_io_->Invoke(id, IID_NULL, 0, flags, &params, nullptr, nullptr, nullptr);
  }

  TempDir dir_;
  IDispatch* file_io_ = nullptr;
};

TEST_F(InvokeOutArguments, AreWrittenThroughEveryKindOfReference) {
  // To VARIANTs that held texts before.
  VARIANT icon{}, title{};
  icon.vt = title.vt = VT_BSTR;
  icon.bstrVal = ExportedAllocString(u"stale icon");
  title.bstrVal = ExportedAllocString(u"stale title");
  VARIANT icon_ref{}, title_ref{};
  icon_ref.vt = title_ref.vt = VT_BYREF | VT_VARIANT;
  icon_ref.pvarVal = &icon;
  title_ref.pvarVal = &title;
  ASSERT_EQ(Call(u"QuickGetShowInfo", DISPATCH_METHOD, {title_ref, icon_ref}), S_OK);
  ASSERT_EQ(icon.vt, VT_BSTR);
  ASSERT_EQ(title.vt, VT_BSTR);
  EXPECT_EQ(BstrView(icon.bstrVal), u"a.jpg");
  EXPECT_EQ(BstrView(title.bstrVal), u"Summer");
  ExportedVariantClear(&icon);
  ExportedVariantClear(&title);

  // To a text of the host's own.
  BSTR code = ExportedAllocString(u"stale");
  VARIANT code_ref{};
  code_ref.vt = VT_BYREF | VT_BSTR;
  code_ref.pbstrVal = &code;
  ASSERT_EQ(Call(u"GetShowCode", DISPATCH_METHOD, {code_ref}), S_OK);
  EXPECT_EQ(BstrView(code), u"XY12");
  ExportedFreeString(code);

  // To a number, of the member's type or in a VARIANT.
  LONG modified = 7;
  VARIANT number_ref{};
  number_ref.vt = VT_BYREF | VT_I4;
  number_ref.plVal = &modified;
  ASSERT_EQ(Call(u"GetLocalModified", DISPATCH_METHOD, {number_ref}), S_OK);
  EXPECT_EQ(modified, 1);
  VARIANT number{};
  VARIANT variant_ref{};
  variant_ref.vt = VT_BYREF | VT_VARIANT;
  variant_ref.pvarVal = &number;
  ASSERT_EQ(Call(u"GetLocalModified", DISPATCH_METHOD, {variant_ref}), S_OK);
  EXPECT_EQ(number.vt, VT_I4);
  EXPECT_EQ(number.lVal, 1);

  // A reference to a value of another type is refused and left alone.
  double wrong = 2.5;
  VARIANT wrong_ref{};
  wrong_ref.vt = VT_BYREF | VT_R8;
  wrong_ref.pdblVal = &wrong;
  EXPECT_EQ(Call(u"GetShowCode", DISPATCH_METHOD, {wrong_ref}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(wrong, 2.5);
}

}  // namespace

}  // namespace tavirelle
