#include "shell/windows/registered_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "automation/show_objects.h"
#include "com/bstr.h"
#include "com/variant.h"
#include "platform/code_page.h"
#include "platform/windows/win32.h"
#include "shell/dispatch.h"

namespace tavirelle {

namespace {

// The type library the build compiles, registered in the test's prefix as
// the module's registration would register it.
class RegisteredDispatch : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(win32::RegisterTypeLibraryOf(AnsiToWide(TAVIRELLE_TYPE_LIBRARY_FILE), u"", false),
              S_OK);
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

struct Call {
  DISPID id;
  WORD flags;
  std::vector<VARIANT> args;  // last argument first, as DISPPARAMS holds them
  bool put = false;
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

std::vector<Outcome> CallThrough(DispatchProvider* provider, std::vector<Call> calls) {
  DispatchProvider* before = GetDispatchProvider();
  SetDispatchProvider(provider);
  IDispatch* helper = nullptr;
  EXPECT_EQ(CreateQXHelper(IID_IDispatch, reinterpret_cast<void**>(&helper)), S_OK);
  std::vector<Outcome> outcomes;
  for (Call& call : calls) {
    std::vector<VARIANT> args;
    for (const VARIANT& v : call.args) {
      args.emplace_back();
      VariantInit(&args.back());
      VariantCopy(&args.back(), &v);
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), call.put ? &put : nullptr,
                      static_cast<UINT>(args.size()), call.put ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT arg_error = 0;
    Outcome o{helper->Invoke(call.id, IID_NULL, 0, call.flags, &params, &result, &exception,
                             &arg_error),
              exception.scode, ""};
    VARIANT text;
    VariantInit(&text);
    // A failed member's null object comes back from the system as a null
    // VT_DISPATCH, from the tables as nothing: either holds nothing to free.
    if (result.vt == VT_EMPTY || (result.vt == VT_DISPATCH && result.pdispVal == nullptr)) {
      o.result = "empty";
    } else if (VariantChangeType(&text, &result, 0, VT_BSTR) == S_OK) {
      o.result = std::to_string(result.vt) + ":" + AnsiFromBstr(text.bstrVal);
    } else {
      o.result = std::to_string(result.vt);
    }
    VariantClear(&text);
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (VARIANT& v : args) VariantClear(&v);
    outcomes.push_back(o);
  }
  helper->Release();
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
  std::vector<Outcome> system = CallThrough(ModuleRegisteredDispatch(), calls());
  std::vector<Outcome> tables = CallThrough(ModuleDispatchProvider(), calls());
  ASSERT_EQ(system.size(), tables.size());
  for (size_t i = 0; i < system.size(); ++i) EXPECT_EQ(system[i], tables[i]) << "call " << i;
  EXPECT_EQ(system[1].result, "8:Voyage");
  EXPECT_EQ(system[6].hr, DISP_E_EXCEPTION);
  EXPECT_EQ(system[6].scode, E_FAIL);
}

}  // namespace

}  // namespace tavirelle
