#include "shell/windows/registered_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "automation/qx_file_io.h"
#include "automation/show_objects.h"
#include "com/bstr.h"
#include "com/variant.h"
#include "platform/code_page.h"
#include "platform/windows/win32.h"
#include "shell/dispatch.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"

namespace tavirelle {

namespace {

// The type library registered in the test's prefix exactly as the module's
// registration registers it (from the built DLL, by the path the system
// names it with, the DLL's folder as help directory): the clients, run in
// the same prefix, register the same entries.
class RegisteredDispatch : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string module = TAVIRELLE_MODULE_PATH;
    for (char& c : module) c = c == '/' ? '\\' : c;
    const std::string folder = module.substr(0, module.rfind('\\'));
    ASSERT_EQ(win32::RegisterTypeLibraryOf(AnsiToWide(module), AnsiToWide(folder), false), S_OK);
  }

  // The system's own type information for `iid`, as any client loads it.
  static ITypeInfo* SystemTypeInfo(REFIID iid) {
    uint8_t libid[16];
    uint8_t interface_id[16];
    std::memcpy(libid, &LIBID_TavirelleHelperLib, 16);
    std::memcpy(interface_id, &iid, 16);
    void* info = nullptr;
    EXPECT_EQ(win32::RegisteredInterfaceTypeInfo(libid, 1, 0, interface_id, &info), S_OK);
    return static_cast<ITypeInfo*>(info);
  }
};

TEST_F(RegisteredDispatch, ServesTheTypeInformationOfTheRegisteredLibrary) {
  RegisteredDispatchProvider provider;
  for (const IID* iid : {&IQXHelper::kIid, &IPhotoDesc::kIid, &IClip::kIid, &IQXFileIO::kIid}) {
    ITypeInfo* served = nullptr;
    ASSERT_EQ(provider.GetTypeInfo(*iid, 0, 0, &served), S_OK);
    ITypeInfo* system = SystemTypeInfo(*iid);
    // The loader keeps one object per library: the same one, not a copy
    // described by the module's own tables.
    EXPECT_EQ(served, system);
    EXPECT_NE(served, InterfaceTypeInfo(*iid));
    system->Release();
    served->Release();
  }
  ITypeInfo* none = nullptr;
  EXPECT_EQ(provider.GetTypeInfo(IQXHelper::kIid, 1, 0, &none), DISP_E_BADINDEX);
  EXPECT_EQ(provider.GetTypeInfo(IID_IUnknown, 0, 0, &none), DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(none, nullptr);

  std::u16string move = u"movephoto";
  std::u16string new_index = u"NewIndex";
  LPOLESTR names[] = {move.data(), new_index.data()};
  DISPID ids[2] = {};
  ASSERT_EQ(provider.GetIDsOfNames(IQXHelper::kIid, names, 2, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 15);
  EXPECT_EQ(ids[1], 1);
}

// One late-bound call and everything that comes back from it.
struct Outcome {
  HRESULT hr;
  SCODE scode;
  std::string result;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
  *out << std::hex << "hr " << o.hr << " scode " << o.scode << " result " << o.result;
}

// How a call passes its arguments: as they are, or each as a reference that
// the member writes its out-value through, to a VARIANT or to a value of the
// argument's own type.
enum class Passing { kValues, kVariantReferences, kTypedReferences };

struct Call {
  DISPID id;
  WORD flags;
  std::vector<VARIANT> args;  // last argument first, as DISPPARAMS holds them
  bool put = false;
  Passing passing = Passing::kValues;
};

VARIANT Text(const char16_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

// A value as an outcome records it: its type and its text.
std::string Described(const VARIANT& value, bool failed = false) {
  // A failed member's return value comes back from the system as the member
  // left it (a null object, an empty text), from the tables as nothing; the
  // caller clears either.
  if (value.vt == VT_EMPTY ||
      (failed && value.vt == VT_DISPATCH && value.pdispVal == nullptr) ||
      (failed && value.vt == VT_BSTR && SysStringLen(value.bstrVal) == 0)) {
    return "empty";
  }
  std::string described = std::to_string(value.vt);
  VARIANT text;
  VariantInit(&text);
  if (VariantChangeType(&text, &value, 0, VT_BSTR) == S_OK) {
    described += ":" + AnsiFromBstr(text.bstrVal);
  }
  VariantClear(&text);
  return described;
}

// Makes the calls, in order, on a new object of the class `create` makes,
// whose late binding `provider` serves.
std::vector<Outcome> CallThrough(DispatchProvider* provider, HRESULT (*create)(REFIID, void**),
                                 std::vector<Call> calls) {
  DispatchProvider* before = GetDispatchProvider();
  SetDispatchProvider(provider);
  IDispatch* object = nullptr;
  EXPECT_EQ(create(IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
  std::vector<Outcome> outcomes;
  for (Call& call : calls) {
    // The call's own values, and what is passed: them, or references to them.
    std::vector<VARIANT>& values = call.args;
    std::vector<VARIANT> args(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      VariantInit(&args[i]);
      if (call.passing == Passing::kValues) {
        args[i] = values[i];
      } else if (call.passing == Passing::kVariantReferences) {
        args[i].vt = VT_BYREF | VT_VARIANT;
        args[i].pvarVal = &values[i];
      } else {
        args[i].vt = static_cast<VARTYPE>(VT_BYREF | values[i].vt);
        args[i].byref = &values[i].lVal;  // where the union's value starts
      }
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), call.put ? &put : nullptr,
                      static_cast<UINT>(args.size()), call.put ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT arg_error = 0;
    Outcome o{object->Invoke(call.id, IID_NULL, 0, call.flags, &params, &result, &exception,
                             &arg_error),
              exception.scode, ""};
    o.result = Described(result, FAILED(o.hr));
    if (call.passing != Passing::kValues) {
      for (const VARIANT& value : values) o.result += " out " + Described(value);
    }
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (VARIANT& v : values) VariantClear(&v);
    outcomes.push_back(o);
  }
  object->Release();
  SetDispatchProvider(before);
  return outcomes;
}

// The module's own tables stand in for the system's dispatch where there is
// none: both give a caller the same outcome, success or failure.
TEST_F(RegisteredDispatch, CallsComeBackAsTheTablesGiveThem) {
  const WORD get = DISPATCH_PROPERTYGET;
  const WORD method = DISPATCH_METHOD;
  auto calls = [&] {
    return std::vector<Call>{
        {2, DISPATCH_PROPERTYPUT, {Text(u"Voyage")}, true},  // Title
        {2, get, {}},
        {2, get | method, {}},
        {14, get, {}},                               // PhotoCount
        {3, DISPATCH_PROPERTYPUT, {Long(42)}, true},  // Starring, from a number
        {3, get, {}},
        {7, method, {Long(0)}},               // RemovePhoto: no photo there
        {7, method, {Text(u"zero")}},         // not a number
        {7, method, {}},                      // no index
        {15, method, {Long(1), Long(0)}},     // MovePhoto: no photos
        {10, get, {}},                        // MUSIC_DEFAULT
        {10, DISPATCH_PROPERTYPUT, {Text(u"x")}, true},  // read-only
        {99, method, {}},                     // no such member
        {9, get | method, {Long(0)}},         // GetPhoto: none
        {6, method, {Text(u"not a photo")}},  // AddPhoto
    };
  };
  std::vector<Outcome> system = CallThrough(ModuleRegisteredDispatch(), CreateQXHelper, calls());
  std::vector<Outcome> tables = CallThrough(ModuleDispatchProvider(), CreateQXHelper, calls());
  ASSERT_EQ(system.size(), tables.size());
  for (size_t i = 0; i < system.size(); ++i) EXPECT_EQ(system[i], tables[i]) << "call " << i;
  EXPECT_EQ(system[1].result, "8:Voyage");
  EXPECT_EQ(system[6].hr, DISP_E_EXCEPTION);
  EXPECT_EQ(system[6].scode, E_FAIL);
}

// Out-arguments through references of their own type, and the questions a
// file object answers about a package.
TEST_F(RegisteredDispatch, OutArgumentsComeBackAsTheTablesGiveThem) {
  TempDir dir;
  ASSERT_TRUE(WriteTestPackage(
      dir.Join("show.pkg"),
      {{"meta.xml", "<qx><show><title>Summer</title><icon>a.jpg</icon></show>"
                    "<images><image onlineFilename=\"a.jpg\"/></images></qx>"},
       {"a.jpg", "photo"},
       {"onlineInfo.xml", "<onlineInfo><showCode>XY12</showCode></onlineInfo>"},
       {"localInfo.xml", "<localInfo><localModified>TRUE</localModified></localInfo>"}}));
  const std::u16string package = AnsiToWide(dir.Join("show.pkg"));
  const std::u16string missing = AnsiToWide(dir.Join("missing.pkg"));
  const WORD method = DISPATCH_METHOD;
  const Passing typed = Passing::kTypedReferences;
  const Passing variants = Passing::kVariantReferences;
  VARIANT wrong;
  VariantInit(&wrong);
  wrong.vt = VT_R8;
  wrong.dblVal = 2.5;
  auto calls = [&] {
    return std::vector<Call>{
        {1, method, {Long(0), Text(missing.c_str())}},  // OpenDotTavirelle: nothing there
        {10, method, {}},                                // GetMetaXml: nothing open
        {1, method, {Long(0), Text(package.c_str())}},
        {3, method, {Text(u"stale title"), Text(u"stale icon")}, false, typed},
        {7, method, {Text(u"stale")}, false, typed},     // GetShowCode
        {9, method, {Long(7)}, false, typed},            // GetLocalModified
        {7, method, {wrong}, false, typed},              // a reference to a double
        {3, method, {Text(u"x")}, false, typed},         // QuickGetShowInfo, one short
        {10, method, {}},
        {11, method, {Text(u"a/b:c")}},                  // Utils_MakeLegalName
        {5, method, {}},                                 // CloseDotTavirelle
        {9, method, {Long(7)}, false, typed},            // closed
    };
  };
  std::vector<Outcome> system = CallThrough(ModuleRegisteredDispatch(), CreateQXFileIO, calls());
  std::vector<Outcome> tables = CallThrough(ModuleDispatchProvider(), CreateQXFileIO, calls());
  ASSERT_EQ(system.size(), tables.size());
  for (size_t i = 0; i < system.size(); ++i) EXPECT_EQ(system[i], tables[i]) << "call " << i;
  EXPECT_EQ(system[3].result, "empty out 8:Summer out 8:a.jpg");
  EXPECT_EQ(system[4].result, "empty out 8:XY12");
  EXPECT_EQ(system[5].result, "empty out 3:1");
  EXPECT_EQ(system[9].result, "8:a b c");

  // One difference, on purpose: the system refuses a reference to a VARIANT
  // for an out-argument of another type (why scripts cannot call these
  // members), where the tables write through it, for hosts that hold every
  // value in a VARIANT (the Python package).
  auto by_variants = [&] {
    return std::vector<Call>{
        {1, method, {Long(0), Text(package.c_str())}},
        {3, method, {Text(u"stale title"), Text(u"stale icon")}, false, variants},
    };
  };
  EXPECT_EQ(CallThrough(ModuleRegisteredDispatch(), CreateQXFileIO, by_variants())[1],
            (Outcome{DISP_E_TYPEMISMATCH, 0, "empty out 8:stale title out 8:stale icon"}));
  EXPECT_EQ(CallThrough(ModuleDispatchProvider(), CreateQXFileIO, by_variants())[1],
            (Outcome{S_OK, 0, "empty out 8:Summer out 8:a.jpg"}));
}

}  // namespace

}  // namespace tavirelle
