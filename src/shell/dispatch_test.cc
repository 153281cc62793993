#include "shell/dispatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "com/variant.h"

namespace tavirelle {

namespace {

// Fakes of the four interfaces: every member logs its C++ name and the
// arguments it received, fills its out arguments with fixed values and
// returns g_result.
std::vector<std::string> g_log;
HRESULT g_result = S_OK;

std::string Show(BSTR text);
std::string Show(BSTR* out);
std::string Show(LONG value);
std::string Show(LONG* out);
std::string Show(FLOAT value);
std::string Show(FLOAT* out);
std::string Show(PhotoOrientation value);
std::string Show(PhotoOrientation* out);
std::string Show(IClip* clip);
std::string Show(IClip** out);
std::string Show(IPhotoDesc* photo);
std::string Show(IPhotoDesc** out);

template <class... A>
HRESULT Record(const char* name, A... args) {
  std::string entry = name;
  ((entry += " " + Show(args)), ...);
  g_log.push_back(entry);
  return g_result;
}

#define FAKE0(n) HRESULT n() override { return Record(#n); }
#define FAKE1(n, A) HRESULT n(A a) override { return Record(#n, a); }
#define FAKE2(n, A, B) HRESULT n(A a, B b) override { return Record(#n, a, b); }
#define FAKE3(n, A, B, C) HRESULT n(A a, B b, C c) override { return Record(#n, a, b, c); }

class FakeClip : public DispatchObject<IClip> {
 public:
  FAKE1(get_Path, BSTR*) FAKE1(put_Path, BSTR) FAKE1(get_xPos, FLOAT*)
  FAKE1(put_xPos, FLOAT) FAKE1(get_yPos, FLOAT*) FAKE1(put_yPos, FLOAT)
  FAKE1(get_scale, FLOAT*) FAKE1(put_scale, FLOAT)
};

class FakePhotoDesc : public DispatchObject<IPhotoDesc> {
 public:
  FAKE1(get_Path, BSTR*) FAKE1(put_Path, BSTR)
  FAKE1(get_Orientation, PhotoOrientation*) FAKE1(put_Orientation, PhotoOrientation)
  FAKE1(AddClip, IClip*) FAKE0(ClearClip) FAKE2(GetClip, LONG, IClip**)
  FAKE1(get_ClipCount, LONG*)
  FAKE1(get__OriginalName, BSTR*) FAKE1(put__OriginalName, BSTR)
  FAKE1(get__OnlineName, BSTR*) FAKE1(put__OnlineName, BSTR)
  FAKE1(get__Width, LONG*) FAKE1(put__Width, LONG)
  FAKE1(get__Height, LONG*) FAKE1(put__Height, LONG)
  FAKE1(get__PhotoDateTaken, BSTR*) FAKE1(put__PhotoDateTaken, BSTR)
  FAKE1(get__DisplayDate, BSTR*) FAKE1(put__DisplayDate, BSTR)
  FAKE1(get__IsVideo, LONG*) FAKE1(put__IsVideo, LONG)
  FAKE1(get__Changed, LONG*) FAKE1(put__Changed, LONG)
};

class FakeQXHelper : public DispatchObject<IQXHelper> {
 public:
  FAKE1(get_CreatBy, BSTR*) FAKE1(put_CreatBy, BSTR)
  FAKE1(get_Title, BSTR*) FAKE1(put_Title, BSTR)
  FAKE1(get_Starring, BSTR*) FAKE1(put_Starring, BSTR)
  FAKE1(get_StyleId, BSTR*) FAKE1(put_StyleId, BSTR)
  FAKE1(get_MusicPath, BSTR*) FAKE1(put_MusicPath, BSTR)
  FAKE1(AddPhoto, IPhotoDesc*) FAKE1(RemovePhoto, LONG) FAKE0(ClearPhotos)
  FAKE2(GetPhoto, LONG, IPhotoDesc**) FAKE1(get_PhotoCount, LONG*)
  FAKE2(MovePhoto, LONG, LONG) FAKE0(GenerateMetaXML)
  FAKE1(get_OutputPath, BSTR*) FAKE1(put_OutputPath, BSTR)
  FAKE1(get_MUSIC_DEFAULT, BSTR*) FAKE1(get_MUSIC_NONE, BSTR*)
};

class FakeQXFileIO : public DispatchObject<IQXFileIO> {
 public:
  FAKE2(OpenDotTavirelle, BSTR, LONG) FAKE0(GenerateTavirelleData)
  FAKE2(QuickGetShowInfo, BSTR*, BSTR*) FAKE1(GetShowCode, BSTR*)
  FAKE1(GetServerModTime, BSTR*) FAKE1(GetLocalModified, LONG*)
  FAKE1(get_OutputPath, BSTR*) FAKE1(put_OutputPath, BSTR) FAKE0(CloseDotTavirelle)
  FAKE3(WriteDotTavirelle, BSTR, BSTR, BSTR*) FAKE1(GetMetaXml, BSTR*)
  FAKE2(Utils_MakeLegalName, BSTR, BSTR*)
};

std::string Show(BSTR text) { return "'" + AnsiFromBstr(text) + "'"; }
std::string Show(BSTR* out) { *out = SysAllocString(u"out"); return "out"; }
std::string Show(LONG value) { return std::to_string(value); }
std::string Show(LONG* out) { *out = 42; return "out"; }
std::string Show(FLOAT value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}
std::string Show(FLOAT* out) { *out = 2.5f; return "out"; }
std::string Show(PhotoOrientation value) { return std::to_string(static_cast<int>(value)); }
std::string Show(PhotoOrientation* out) { *out = Degree270; return "out"; }
std::string Show(IClip* clip) { return clip != nullptr ? "clip" : "null"; }
std::string Show(IClip** out) { *out = new FakeClip; return "out"; }
std::string Show(IPhotoDesc* photo) { return photo != nullptr ? "photo" : "null"; }
std::string Show(IPhotoDesc** out) { *out = new FakePhotoDesc; return "out"; }

IDispatch* NewFake(REFIID iid) {
  if (iid == IQXHelper::kIid) return new FakeQXHelper;
  if (iid == IPhotoDesc::kIid) return new FakePhotoDesc;
  if (iid == IClip::kIid) return new FakeClip;
  return new FakeQXFileIO;
}

std::string CppName(const MemberDesc& m) {
  if (m.kind == MemberKind::kGet) return std::string("get_") + m.name;
  if (m.kind == MemberKind::kPut) return std::string("put_") + m.name;
  return m.name;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

DISPID IdOf(IDispatch* object, const std::u16string& name) {
  std::u16string copy = name;
  LPOLESTR names[] = {copy.data()};
  DISPID id = 12345;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << AnsiFromBstr(copy.data());
  return id;
}

// Calls every member of every interface by name, passing arguments of the
// kinds its row describes in the forms late-bound callers use.
class EveryMember : public testing::TestWithParam<const InterfaceDesc*> {};

TEST_P(EveryMember, IsReachedByNameWithItsArguments) {
  const InterfaceDesc& desc = *GetParam();
  IDispatch* object = NewFake(*desc.iid);
  FakeClip* clip = new FakeClip;
  FakePhotoDesc* photo = new FakePhotoDesc;
  for (const MemberDesc& m : desc.members) {
    SCOPED_TRACE(CppName(m));
    std::string upper = m.name;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(IdOf(object, Wide(upper)), m.dispid);

    const size_t visible = m.VisibleArgs();
    std::vector<VARIANT> args(visible);
    std::vector<VARIANT> outs(visible);
    std::string expected = CppName(m);
    for (size_t k = 0; k < m.arg_count; ++k) {
      if (k >= visible) {
        expected += " out";
        continue;
      }
      VARIANT& v = args[visible - 1 - k];  // positional arguments go last to first
      VariantInit(&v);
      VariantInit(&outs[k]);
      if (m.args[k].out) {
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = &outs[k];
        expected += " out";
        continue;
      }
      switch (m.args[k].kind) {
        case ArgKind::kBstr:
          v.vt = VT_BSTR;
          v.bstrVal = SysAllocString(Wide("a" + std::to_string(k)).c_str());
          expected += " 'a" + std::to_string(k) + "'";
          break;
        case ArgKind::kLong:
          v.vt = VT_I4;
          v.lVal = 100 + static_cast<LONG>(k);
          expected += " " + std::to_string(100 + k);
          break;
        case ArgKind::kFloat:
          v.vt = VT_R8;
          v.dblVal = 1.5;
          expected += " 1.5";
          break;
        case ArgKind::kOrientation:
          v.vt = VT_I2;
          v.iVal = 2;
          expected += " 2";
          break;
        case ArgKind::kClip:
          v.vt = VT_DISPATCH;
          v.pdispVal = clip;
          expected += " clip";
          break;
        case ArgKind::kPhotoDesc:
          v.vt = VT_UNKNOWN;  // interfaces arrive as either
          v.punkVal = photo;
          expected += " photo";
          break;
      }
    }
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(visible), 0};
    WORD flags = DISPATCH_METHOD;
    if (m.kind == MemberKind::kPut) {
      flags = DISPATCH_PROPERTYPUT;
      params.rgdispidNamedArgs = &put_id;
      params.cNamedArgs = 1;
    } else if (m.retval) {
      flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    }
    VARIANT result;
    VariantInit(&result);
    g_log.clear();
    ASSERT_EQ(object->Invoke(m.dispid, IID_NULL, 0, flags, &params, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0], expected);

    if (m.retval) {
      switch (m.args[m.arg_count - 1].kind) {
        case ArgKind::kBstr:
          ASSERT_EQ(result.vt, VT_BSTR);
          EXPECT_EQ(BstrView(result.bstrVal), u"out");
          break;
        case ArgKind::kLong: EXPECT_EQ(result.vt, VT_I4); EXPECT_EQ(result.lVal, 42); break;
        case ArgKind::kOrientation: EXPECT_EQ(result.vt, VT_I4); EXPECT_EQ(result.lVal, 3); break;
        case ArgKind::kFloat: EXPECT_EQ(result.vt, VT_R4); EXPECT_EQ(result.fltVal, 2.5f); break;
        case ArgKind::kClip:
        case ArgKind::kPhotoDesc:
          EXPECT_EQ(result.vt, VT_DISPATCH);
          EXPECT_NE(result.pdispVal, nullptr);
          break;
      }
    } else {
      EXPECT_EQ(result.vt, VT_EMPTY);
    }
    for (size_t k = 0; k < visible; ++k) {
      if (m.args[k].out) {
        EXPECT_EQ(outs[k].vt, m.args[k].kind == ArgKind::kLong ? VT_I4 : VT_BSTR);
      }
      VariantClear(&outs[k]);
    }
    VariantClear(&result);
    for (VARIANT& v : args) {
      if (v.vt == VT_BSTR) VariantClear(&v);
    }
  }
  clip->Release();
  photo->Release();
  object->Release();
}

INSTANTIATE_TEST_SUITE_P(Tables, EveryMember,
                         testing::Values(&Interfaces()[0], &Interfaces()[1], &Interfaces()[2],
                                         &Interfaces()[3]),
                         [](const auto& info) { return std::string(info.param->name); });

class DispatchErrors : public testing::Test {
 protected:
  ~DispatchErrors() override { helper_->Release(); }
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
               std::vector<DISPID> named = {}, UINT* arg_error = nullptr,
               EXCEPINFO* exception = nullptr) {
    DISPPARAMS params{args.empty() ? nullptr : args.data(),
                      named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                      static_cast<UINT>(named.size())};
    g_log.clear();
    HRESULT hr = helper_->Invoke(id, IID_NULL, 0, flags, &params, result, exception, arg_error);
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
  }
  static VARIANT Text(const char16_t* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
  }
  static VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }
  IDispatch* helper_ = new FakeQXHelper;
};

TEST_F(DispatchErrors, NamesAndIdsThatAreNotMembers) {
  std::u16string bogus = u"NoSuchMember";
  std::u16string title = u"title";
  LPOLESTR names[] = {bogus.data()};
  DISPID id = 0;
  EXPECT_EQ(helper_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(IdOf(helper_, title), 2);
  EXPECT_EQ(Call(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(14, DISPATCH_PROPERTYPUT, {Long(3)}, nullptr, {DISPID_PROPERTYPUT}),
            DISP_E_MEMBERNOTFOUND);  // PhotoCount is read-only
  EXPECT_EQ(Call(8, DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND);  // a method
  EXPECT_TRUE(g_log.empty());
}

TEST_F(DispatchErrors, ArgumentCountsAndPropertyPuts) {
  EXPECT_EQ(Call(2, DISPATCH_PROPERTYPUT, {Text(u"x")}), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(Call(2, DISPATCH_PROPERTYPUT, {Text(u"x"), Text(u"y")}, nullptr,
                 {DISPID_PROPERTYPUT}),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(8, DISPATCH_METHOD, {Long(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(DispatchErrors, ArgumentsThatCannotBeCoerced) {
  UINT arg_error = 99;
  EXPECT_EQ(Call(6, DISPATCH_METHOD, {Text(u"not a photo")}, nullptr, {}, &arg_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 0u);
  IDispatch* clip = new FakeClip;  // an object, but not a photo
  VARIANT wrong;
  VariantInit(&wrong);
  wrong.vt = VT_DISPATCH;
  wrong.pdispVal = clip;
  EXPECT_EQ(Call(6, DISPATCH_METHOD, {wrong}), DISP_E_TYPEMISMATCH);  // takes the reference
  arg_error = 99;
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(1), Text(u"seven")}, nullptr, {}, &arg_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 1u);  // rgvarg[1] is the first argument
  EXPECT_TRUE(g_log.empty());
}

// The Windows build's coercions are the system's, and its tests run on wine.
#ifdef _WIN32
constexpr bool kWineConvertsUnsignedByBits = true;
#else
constexpr bool kWineConvertsUnsignedByBits = false;
#endif

TEST_F(DispatchErrors, NumbersBeyondALongOverflow) {
  auto value = [](VARTYPE vt, double real, int64_t whole) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    if (vt == VT_R8) v.dblVal = real;
    if (vt == VT_I8) v.llVal = whole;
    if (vt == VT_UI4) v.ulVal = static_cast<ULONG>(whole);
    return v;
  };
  // Made afresh for each call, which frees its arguments.
  const std::function<VARIANT()> too_large[] = {
      [&] { return value(VT_R8, 3e9, 0); },         [&] { return value(VT_R8, -3e9, 0); },
      [&] { return value(VT_I8, 0, 3000000000); },  [&] { return value(VT_I8, 0, -3000000000); },
      [&] { return value(VT_UI4, 0, 3000000000); }, [] { return Text(u"3000000000"); }};
  constexpr size_t kUnsigned = 4;
  for (size_t i = 0; i < std::size(too_large); ++i) {
    // Reported as skipped below.
    if (kWineConvertsUnsignedByBits && i == kUnsigned) continue;
    const auto& make = too_large[i];
    UINT arg_error = 99;
    EXPECT_EQ(Call(7, DISPATCH_METHOD, {make()}, nullptr, {}, &arg_error), DISP_E_OVERFLOW)
        << "value " << i;
    EXPECT_EQ(arg_error, 0u);
    arg_error = 99;
    EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(0), make()}, nullptr, {}, &arg_error),
              DISP_E_OVERFLOW)
        << "value " << i;
    EXPECT_EQ(arg_error, 1u);  // rgvarg[1] is the first argument
  }
  EXPECT_TRUE(g_log.empty());
  // The edges of a LONG still fit.
  EXPECT_EQ(Call(7, DISPATCH_METHOD, {value(VT_R8, 2147483647.0, 0)}), S_OK);
  EXPECT_EQ(g_log[0], "RemovePhoto 2147483647");
  EXPECT_EQ(Call(7, DISPATCH_METHOD, {value(VT_I8, 0, -2147483648LL)}), S_OK);
  EXPECT_EQ(g_log[0], "RemovePhoto -2147483648");
  if (kWineConvertsUnsignedByBits) {
    GTEST_SKIP() << "an unsigned long beyond a long is not held: wine's oleaut32, which the "
                    "Windows build's tests run on, converts it to a long by its bits";
  }
}

TEST_F(DispatchErrors, CoercesTextsToNumbersAndTakesNamedArguments) {
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Text(u"5"), Long(4)}), S_OK);
  EXPECT_EQ(g_log[0], "MovePhoto 4 5");
  // Named: newIndex = 9, oldIndex = 1 (named arguments come first in rgvarg).
  std::u16string names_text[] = {u"MovePhoto", u"NEWINDEX", u"oldindex"};
  LPOLESTR names[] = {names_text[0].data(), names_text[1].data(), names_text[2].data()};
  DISPID ids[3];
  ASSERT_EQ(helper_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(9), Long(1)}, nullptr, {1, 0}), S_OK);
  EXPECT_EQ(g_log[0], "MovePhoto 1 9");
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(9), Long(1)}, nullptr, {1, 1}),
            DISP_E_PARAMNOTFOUND);
  // A value by reference is read through.
  LONG index = 7;
  VARIANT by_ref;
  VariantInit(&by_ref);
  by_ref.vt = VT_BYREF | VT_I4;
  by_ref.plVal = &index;
  EXPECT_EQ(Call(7, DISPATCH_METHOD, {by_ref}), S_OK);
  EXPECT_EQ(g_log[0], "RemovePhoto 7");
}

// A member that fails is an exception whose record holds its code, as the
// system's dispatch through type information reports it; failures of the
// dispatch itself come back as they are.
TEST_F(DispatchErrors, FailuresOfTheMemberComeBackAsExceptionsAndFreeItsResults) {
  VARIANT result;
  for (HRESULT failure : {E_FAIL, HRESULT_FROM_WIN32(ERROR_DISK_FULL), E_POINTER}) {
    g_result = failure;
    EXCEPINFO record;
    std::memset(&record, 0xA5, sizeof record);  // every field is set, not left
    EXPECT_EQ(Call(9, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Long(0)}, &result, {}, nullptr,
                   &record),
              DISP_E_EXCEPTION);
    EXPECT_EQ(result.vt, VT_EMPTY);  // the fake's object was released, not leaked
    EXPECT_EQ(record.scode, failure);
    EXPECT_EQ(record.wCode, 0);
    EXPECT_EQ(record.bstrSource, nullptr);
    EXPECT_EQ(record.bstrDescription, nullptr);
    EXPECT_EQ(record.bstrHelpFile, nullptr);
    EXPECT_EQ(record.pfnDeferredFillIn, nullptr);
    // Without a record to fill the status says as much.
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, &result), DISP_E_EXCEPTION);
    EXPECT_EQ(g_log.size(), 1u);
  }
  EXCEPINFO untouched{};
  EXPECT_EQ(Call(99, DISPATCH_METHOD, {}, nullptr, {}, nullptr, &untouched),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(15, DISPATCH_METHOD, {Long(1)}, nullptr, {}, nullptr, &untouched),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(6, DISPATCH_METHOD, {Text(u"not a photo")}, nullptr, {}, nullptr, &untouched),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(untouched.scode, 0);
  // Through the type information the same.
  g_result = E_ABORT;
  EXCEPINFO record{};
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(InterfaceTypeInfo(IQXHelper::kIid)
                ->Invoke(static_cast<IQXHelper*>(static_cast<FakeQXHelper*>(helper_)), 8,
                         DISPATCH_METHOD, &none, nullptr, &record, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(record.scode, E_ABORT);
  g_result = S_OK;
  EXPECT_EQ(Call(14, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);  // result dropped
}

TEST(FakeQXFileIOOutArguments, TypedReferencesReceiveTheirValues) {
  IDispatch* file_io = new FakeQXFileIO;
  BSTR icon = nullptr;
  BSTR title = SysAllocString(u"previous");  // replaced, not leaked
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[1].vt = VT_BYREF | VT_BSTR;  // showIcon, the first argument
  args[1].pbstrVal = &icon;
  args[0].vt = VT_BYREF | VT_BSTR;
  args[0].pbstrVal = &title;
  DISPPARAMS params{args, nullptr, 2, 0};
  ASSERT_EQ(file_io->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(BstrView(icon), u"out");
  EXPECT_EQ(BstrView(title), u"out");
  SysFreeString(icon);
  SysFreeString(title);
  LONG wrong = 0;
  args[0].vt = VT_BYREF | VT_I4;  // a LONG slot for a text
  args[0].plVal = &wrong;
  args[1].vt = VT_BSTR;  // not by reference at all
  args[1].bstrVal = nullptr;
  EXPECT_EQ(file_io->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            DISP_E_TYPEMISMATCH);
  file_io->Release();
}

TEST(TypeLibrary, EntriesInOrderWithTheirHelpStrings) {
  const char* expected[][2] = {
      {"_IQXHelperEvents", "_IQXHelperEvents Interface"}, {"QXHelper", "QXHelper Class"},
      {"IQXHelper", "IQXHelper Interface"},               {"IPhotoDesc", "IPhotoDesc Interface"},
      {"PhotoOrientation", nullptr},                      {"IClip", "IClip Interface"},
      {"PhotoDesc", "PhotoDesc Class"},                   {"Clip", "Clip Class"},
      {"QXFileIO", "QXFileIO Class"},                     {"IQXFileIO", "IQXFileIO Interface"}};
  auto entries = LibraryEntries();
  ASSERT_EQ(entries.size(), 10u);
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_STREQ(entries[i].name, expected[i][0]);
    if (expected[i][1] == nullptr) {
      EXPECT_EQ(entries[i].help, nullptr);
    } else {
      EXPECT_STREQ(entries[i].help, expected[i][1]);
    }
  }
  EXPECT_TRUE(*entries[1].default_source == DIID__IQXHelperEvents);
  auto orientations = PhotoOrientationValues();
  ASSERT_EQ(orientations.size(), 4u);
  EXPECT_STREQ(orientations[3].name, "Degree270");
  EXPECT_EQ(orientations[3].value, 3);
}

std::string Doc(REFIID iid, MEMBERID id, std::string* name = nullptr) {
  ITypeInfo* info = nullptr;
  EXPECT_EQ(ModuleDispatchProvider()->GetTypeInfo(iid, 0, 0, &info), S_OK);
  BSTR member = nullptr, doc = nullptr;
  EXPECT_EQ(info->GetDocumentation(id, &member, &doc, nullptr, nullptr), S_OK);
  if (name != nullptr) *name = AnsiFromBstr(member);
  std::string text = AnsiFromBstr(doc);
  SysFreeString(member);
  SysFreeString(doc);
  info->Release();
  return text;
}

TEST(TypeInfo, HelpStringsAsTheLibraryGivesThem) {
  std::string name;
  EXPECT_EQ(Doc(IQXHelper::kIid, 8, &name), "method RemoveAllPhoto");
  EXPECT_EQ(name, "ClearPhotos");
  EXPECT_EQ(Doc(IPhotoDesc::kIid, 1, &name), "property OriginalName");
  EXPECT_EQ(name, "Path");
  EXPECT_EQ(Doc(IPhotoDesc::kIid, 7), "property OnlineName");
  EXPECT_EQ(Doc(IPhotoDesc::kIid, 12), "property IsVideo");
  EXPECT_EQ(Doc(IClip::kIid, 1), "property path");
  EXPECT_EQ(Doc(IQXFileIO::kIid, MEMBERID_NIL, &name), "IQXFileIO Interface");
  EXPECT_EQ(name, "IQXFileIO");
}

TEST(TypeInfo, ListsMembersWithArgumentsAndNames) {
  ITypeInfo* info = InterfaceTypeInfo(IQXHelper::kIid);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 21);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_TRUE((attr->wTypeFlags & TYPEFLAG_FDUAL) != 0);
  info->ReleaseTypeAttr(attr);

  FUNCDESC* desc = nullptr;
  ASSERT_EQ(info->GetFuncDesc(13, &desc), S_OK);  // GetPhoto
  EXPECT_EQ(desc->memid, 9);
  EXPECT_EQ(desc->invkind, INVOKE_FUNC);
  ASSERT_EQ(desc->cParams, 2);
  EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_I4);
  EXPECT_EQ(desc->lprgelemdescParam[1].tdesc.vt, VT_PTR);
  EXPECT_EQ(desc->lprgelemdescParam[1].paramdesc.wParamFlags,
            PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  EXPECT_EQ(desc->oVft, (7 + 13) * 8);
  info->ReleaseFuncDesc(desc);
  EXPECT_EQ(info->GetFuncDesc(21, &desc), TYPE_E_ELEMENTNOTFOUND);

  BSTR names[4] = {};
  UINT count = 0;
  ASSERT_EQ(info->GetNames(15, names, 4, &count), S_OK);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(BstrView(names[0]), u"MovePhoto");
  EXPECT_EQ(BstrView(names[2]), u"newIndex");
  for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);

  ITypeInfo* from_object = nullptr;
  IDispatch* helper = new FakeQXHelper;
  UINT infos = 0;
  EXPECT_EQ(helper->GetTypeInfoCount(&infos), S_OK);
  EXPECT_EQ(infos, 1u);
  EXPECT_EQ(helper->GetTypeInfo(0, 0, &from_object), S_OK);
  EXPECT_EQ(from_object, info);
  EXPECT_EQ(helper->GetTypeInfo(1, 0, &from_object), DISP_E_BADINDEX);
  helper->Release();
}

}  // namespace

}  // namespace tavirelle
