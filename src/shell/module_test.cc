// Tests of the module through the built libTavirelleHelper.so, loaded the
// way a host loads it. Tests that change the module's state for the rest of
// its life (per-user registration) load a private copy of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "com/bstr.h"
#include "com/connection_point.h"
#include "com/dynamic_module.h"
#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "com/registry.h"
#include "com/variant.h"
#include "com/host_runtime.h"
#include "shell/module.h"
#include "tavirelle/module.h"
#include "tavirelle/interfaces.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

struct Exports {
  std::string path;
  HRESULT (*can_unload)();
  HRESULT (*get_class_object)(REFCLSID, REFIID, void**);
  HRESULT (*install)(BOOL, LPCOLESTR);
  HRESULT (*register_server)();
  HRESULT (*unregister_server)();
};

Exports Load(const std::string& path) {
  void* module = nullptr;
  Status loaded = LoadModule(path, &module);
  EXPECT_TRUE(loaded.ok()) << loaded.words();
  Exports e;
  e.path = ModulePathOf(ModuleSymbol(module, "DllGetClassObject"));
  e.can_unload = reinterpret_cast<HRESULT (*)()>(ModuleSymbol(module, "DllCanUnloadNow"));
  e.get_class_object = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(
      ModuleSymbol(module, "DllGetClassObject"));
  e.install = reinterpret_cast<HRESULT (*)(BOOL, LPCOLESTR)>(ModuleSymbol(module, "DllInstall"));
  e.register_server = reinterpret_cast<HRESULT (*)()>(ModuleSymbol(module, "DllRegisterServer"));
  e.unregister_server =
      reinterpret_cast<HRESULT (*)()>(ModuleSymbol(module, "DllUnregisterServer"));
  return e;
}

const Exports& Shared() {
  static Exports exports = Load(TAVIRELLE_MODULE_PATH);
  return exports;
}

// A copy of the module with state of its own.
Exports PrivateCopy(const TempDir& dir, const std::string& name) {
  std::string copy = dir.Join(name + ".so");
  EXPECT_TRUE(DefaultFileSystem().CopyFile(TAVIRELLE_MODULE_PATH, copy, IfExists::kReplace).ok());
  return Load(copy);
}

// On Windows the module registers into the system's registry, and hosts
// create its objects through the system's runtime.
#ifdef _WIN32
constexpr bool kSystemRuntime = true;
#else
constexpr bool kSystemRuntime = false;
#endif
constexpr const char* kRegisteredBySystem =
    "on Windows the module registers into the system's registry and hosts create its objects "
    "through the system's runtime: clients.registration and the clients of "
    "tests/windows_clients hold it to both there";

// Points both the module and this test program at a scratch registry.
class ScratchRegistry {
 public:
  ScratchRegistry() { environment_.Set("TAVIRELLE_REGISTRY=" + dir_.path()); }
  const std::string& root() const { return dir_.path(); }

  // Every key under `hive`\Software\Classes as "path" or "path|name=value".
  std::set<std::string> Flatten(const char* hive) {
    Registry registry(DefaultFileSystem(), dir_.path());
    EXPECT_TRUE(registry.Load().ok());
    std::set<std::string> lines;
    RegistryKey* classes = registry.FindKey(std::string(hive) + "\\Software\\Classes");
    if (classes == nullptr) return lines;
    std::vector<std::pair<RegistryKey*, std::string>> stack = {{classes, ""}};
    while (!stack.empty()) {
      auto [key, path] = stack.back();
      stack.pop_back();
      if (!path.empty()) lines.insert(path);
      for (auto& [name, value] : key->values) {
        lines.insert(path + "|" + (name.empty() ? "@" : name) + "=" + value.data);
      }
      for (auto& [name, child] : key->subkeys) {
        stack.push_back({child.get(), path.empty() ? name : path + "\\" + name});
      }
    }
    return lines;
  }

 private:
  TempDir dir_;
  ScopedEnvironment environment_;
};

std::set<std::string> ExpectedRegistration(const std::string& module) {
  const std::string appid = "{0559D385-9663-4532-ABDA-4627A5F4AB4C}";
  const std::string libid = "{5D30531A-0516-45F7-A3BA-0F8C505D28CB}";
  std::set<std::string> lines = {
      "AppID", "AppID\\" + appid, "AppID\\" + appid + "|@=TavirelleHelper",
      "AppID\\TavirelleHelper.DLL", "AppID\\TavirelleHelper.DLL|AppID=" + appid, "CLSID",
      "TypeLib", "TypeLib\\" + libid, "TypeLib\\" + libid + "\\1.0",
      "TypeLib\\" + libid + "\\1.0|@=TavirelleHelper 1.0 Type Library",
      "TypeLib\\" + libid + "\\1.0\\0", "TypeLib\\" + libid + "\\1.0\\0\\win64",
      "TypeLib\\" + libid + "\\1.0\\0\\win64|@=" + module,
      "TypeLib\\" + libid + "\\1.0\\FLAGS", "TypeLib\\" + libid + "\\1.0\\FLAGS|@=0",
      "TypeLib\\" + libid + "\\1.0\\HELPDIR",
      "TypeLib\\" + libid + "\\1.0\\HELPDIR|@=" + module.substr(0, module.rfind('/') + 1),
      "Interface"};
  const char* classes[][3] = {
      {"QXHelper", "QXHelper Class", "{2080A7D9-1519-414A-A782-E5675D375030}"},
      {"PhotoDesc", "PhotoDesc Class", "{1EF18494-8B5D-4512-8B0D-1A2A172E5D3E}"},
      {"Clip", "Clip Class", "{AFB5DFB6-2E29-46C3-8FC4-1C78FE132A1E}"},
      {"QXFileIO", "QXFileIO Class", "{4AFA552F-5007-40EC-8DE7-E21BF37880D4}"}};
  for (auto& c : classes) {
    std::string x = c[0], d = c[1], clsid = c[2];
    std::string p1 = "TavirelleHelper." + x + ".1", p = "TavirelleHelper." + x;
    std::string k = "CLSID\\" + clsid;
    for (const std::string& line :
         {p1, p1 + "|@=" + d, p1 + "\\CLSID", p1 + "\\CLSID|@=" + clsid, p, p + "|@=" + d,
          p + "\\CLSID", p + "\\CLSID|@=" + clsid, p + "\\CurVer", p + "\\CurVer|@=" + p1, k,
          k + "|@=" + d, k + "\\ProgID", k + "\\ProgID|@=" + p1,
          k + "\\VersionIndependentProgID", k + "\\VersionIndependentProgID|@=" + p,
          k + "\\Programmable", k + "\\InprocServer32", k + "\\InprocServer32|@=" + module,
          k + "\\InprocServer32|ThreadingModel=Apartment", k + "\\TypeLib",
          k + "\\TypeLib|@=" + libid}) {
      lines.insert(line);
    }
  }
  const char* interfaces[][3] = {
      {"IQXHelper", "{371D6E25-5EDB-4CCE-8585-7D1B7C2C073C}", "4"},
      {"IPhotoDesc", "{17B023A8-FD63-4F4A-8C92-9AFE769DB1EE}", "4"},
      {"IClip", "{2B706627-7911-4834-AB44-05D72919F23E}", "4"},
      {"IQXFileIO", "{F2578DE2-8033-47EC-8FEC-EFEC5A5F9308}", "4"},
      {"_IQXHelperEvents", "{17376810-08EB-4D2A-AD78-CDCEA2EE8C27}", "0"}};
  for (auto& i : interfaces) {
    std::string k = std::string("Interface\\") + i[1];
    std::string ps = std::string("{0002042") + i[2] + "-0000-0000-C000-000000000046}";
    for (const std::string& line :
         {k, k + "|@=" + i[0], k + "\\ProxyStubClsid", k + "\\ProxyStubClsid|@=" + ps,
          k + "\\ProxyStubClsid32", k + "\\ProxyStubClsid32|@=" + ps, k + "\\TypeLib",
          k + "\\TypeLib|@=" + libid, k + "\\TypeLib|Version=1.0"}) {
      lines.insert(line);
    }
  }
  return lines;
}

TEST(ModuleExports, RegistrationWritesExactlyTheScriptsEntries) {
  if (kSystemRuntime) GTEST_SKIP() << kRegisteredBySystem;
  ScratchRegistry registry;
  const Exports& m = Shared();
  ASSERT_EQ(m.register_server(), S_OK);
  std::string module = ModulePathOf(reinterpret_cast<void*>(m.register_server));
  EXPECT_EQ(module.substr(module.rfind('/') + 1), "libTavirelleHelper.so");
  EXPECT_EQ(registry.Flatten(kLocalMachine), ExpectedRegistration(module));
  EXPECT_TRUE(registry.Flatten(kCurrentUser).empty());

  ASSERT_EQ(m.unregister_server(), S_OK);
  EXPECT_EQ(registry.Flatten(kLocalMachine),
            (std::set<std::string>{"AppID", "CLSID", "Interface", "TypeLib"}));
}

TEST(ModuleExports, DllInstallRegistersPerUserOnlyForTheWholeWordUser) {
  if (kSystemRuntime) GTEST_SKIP() << kRegisteredBySystem;
  TempDir copies;
  {
    ScratchRegistry registry;
    Exports m = PrivateCopy(copies, "users");
    ASSERT_EQ(m.install(TRUE, u"users"), S_OK);
    EXPECT_FALSE(registry.Flatten(kLocalMachine).empty());
    EXPECT_TRUE(registry.Flatten(kCurrentUser).empty());
  }
  {
    ScratchRegistry registry;
    Exports m = PrivateCopy(copies, "user");
    ASSERT_EQ(m.install(TRUE, u"USER"), S_OK);
    EXPECT_TRUE(registry.Flatten(kLocalMachine).empty());
    EXPECT_EQ(registry.Flatten(kCurrentUser), ExpectedRegistration(m.path));
    // Per user from now on, whatever comes next.
    ASSERT_EQ(m.unregister_server(), S_OK);
    EXPECT_EQ(registry.Flatten(kCurrentUser).count("TavirelleHelper.Clip"), 0u);
    EXPECT_EQ(registry.Flatten(kCurrentUser).count("CLSID"), 1u);
  }
}

TEST(ModuleExports, FailedRegistrationIsRolledBack) {
  if (kSystemRuntime) GTEST_SKIP() << kRegisteredBySystem;
  // Through the module linked into this program, whose file system the test
  // can make fail.
  ScratchRegistry registry;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  CTavirelleHelperModule& module = CTavirelleHelperModule::Instance();
  FaultInjectingFileSystem counting;
  ASSERT_EQ(module.RegisterServer(counting), S_OK);
  uint64_t last = counting.operations();  // the step that puts the new hive in place
  FaultInjectingFileSystem faulty;
  faulty.FailOperation(last, ERROR_DISK_FULL);
  EXPECT_EQ(module.Install(faulty, true), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  EXPECT_EQ(registry.Flatten(kLocalMachine),
            (std::set<std::string>{"AppID", "CLSID", "Interface", "TypeLib"}));
}

TEST(ModuleExports, ClassObjectsFromTheObjectMap) {
  const Exports& m = Shared();
  EXPECT_EQ(m.get_class_object(CLSID_QXHelper, IID_IClassFactory, nullptr), E_POINTER);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(m.get_class_object(IID_IDispatch, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  for (const CLSID* clsid : {&CLSID_QXHelper, &CLSID_PhotoDesc, &CLSID_Clip, &CLSID_QXFileIO}) {
    IClassFactory* first = nullptr;
    IClassFactory* second = nullptr;
    ASSERT_EQ(m.get_class_object(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&first)),
              S_OK);
    ASSERT_EQ(m.get_class_object(*clsid, IID_IUnknown, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first), static_cast<IUnknown*>(second));  // cached
    EXPECT_EQ(m.get_class_object(*clsid, IID_IDispatch, &object), E_NOINTERFACE);
    first->Release();
    second->Release();
  }
}

TEST(ModuleExports, CanUnloadFollowsObjectsAndLocksButNotTheCache) {
  const Exports& m = Shared();
  EXPECT_EQ(m.can_unload(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(m.get_class_object(CLSID_Clip, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(m.can_unload(), S_FALSE);  // the host holds the factory
  IDispatch* clip = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IClip::kIid, reinterpret_cast<void**>(&clip)), S_OK);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(m.can_unload(), S_FALSE);  // an object and a lock
  clip->Release();
  EXPECT_EQ(m.can_unload(), S_FALSE);  // the lock
  ASSERT_EQ(m.get_class_object(CLSID_Clip, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(m.can_unload(), S_OK);
}

// A controlling object that aggregates one of the module's objects.
class Outer final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown) {
      *object = this;
      AddRef();
      return S_OK;
    }
    ++delegated;
    return inner->QueryInterface(riid, object);
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  IUnknown* inner = nullptr;
  ULONG references = 1;
  int delegated = 0;
};

class Aggregation : public testing::TestWithParam<const CLSID*> {};

TEST_P(Aggregation, InnerObjectDelegatesToTheOuterUnknown) {
  const Exports& m = Shared();
  IClassFactory* factory = nullptr;
  ASSERT_EQ(m.get_class_object(*GetParam(), IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)), S_OK);
  Outer outer;
  void* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  factory->Release();
  EXPECT_EQ(outer.references, 1u);

  IDispatch* dispatch = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  EXPECT_EQ(outer.references, 2u);  // the inner interface counts on the outer
  IUnknown* identity = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  EXPECT_EQ(outer.delegated, 1);
  identity->Release();
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  dispatch->Release();
  EXPECT_EQ(outer.references, 1u);
  EXPECT_EQ(m.can_unload(), S_FALSE);
  outer.inner->Release();  // destroys the inner object
  EXPECT_EQ(m.can_unload(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(EveryClass, Aggregation,
                         testing::Values(&CLSID_QXHelper, &CLSID_PhotoDesc, &CLSID_Clip,
                                         &CLSID_QXFileIO));

class Sink final : public IDispatch {
 public:
  explicit Sink(bool events) : events_(events) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch ||
        (events_ && riid == DIID__IQXHelperEvents)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  ULONG references = 1;

 private:
  bool events_;
};

TEST(QXHelperEvents, OneConnectionPointWithTheAdviseRules) {
  const Exports& m = Shared();
  IClassFactory* factory = nullptr;
  ASSERT_EQ(m.get_class_object(CLSID_QXHelper, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)), S_OK);
  IUnknown* helper = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&helper)),
            S_OK);
  factory->Release();
  Sink sinks[6] = {Sink(true), Sink(true), Sink(true), Sink(true), Sink(true), Sink(false)};
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(helper->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(&container)), S_OK);
  IConnectionPoint* point = nullptr;
  ASSERT_EQ(container->FindConnectionPoint(DIID__IQXHelperEvents, &point), S_OK);
  EXPECT_EQ(container->FindConnectionPoint(IQXHelper::kIid, &point), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(DIID__IQXHelperEvents, &point), S_OK);
  container->Release();
  point->Release();  // one reference is enough

  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(&sinks[5], &cookie), CONNECT_E_CANNOTCONNECT);
  for (DWORD i = 0; i < 5; ++i) {
    ASSERT_EQ(point->Advise(&sinks[i], &cookie), S_OK);
    EXPECT_EQ(cookie, i + 1);
  }
  EXPECT_EQ(point->Unadvise(3), S_OK);
  EXPECT_EQ(point->Unadvise(3), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(point->Advise(&sinks[2], &cookie), S_OK);
  EXPECT_EQ(cookie, 3u);
  point->Release();
  helper->Release();  // the object goes, and lets go of its sinks
  for (Sink& sink : sinks) EXPECT_EQ(sink.references, 1u);
}

HRESULT InvokeByName(IDispatch* object, const char16_t* name, WORD flags, VARIANT* arg,
                     VARIANT* result) {
  std::u16string text = name;
  LPOLESTR names[] = {text.data()};
  DISPID id = 0;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{arg, arg != nullptr && flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                    arg != nullptr ? 1u : 0u, arg != nullptr && flags == DISPATCH_PROPERTYPUT};
  return object->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
}

TEST(HostRuntime, CreatesRegisteredClassesByProgIdAndExplainsFailures) {
  if (kSystemRuntime) GTEST_SKIP() << kRegisteredBySystem;
  ScratchRegistry registry;
  const Exports& m = Shared();
  ASSERT_EQ(m.register_server(), S_OK);

  IDispatch* helper = nullptr;
  std::string error;
  ASSERT_EQ(CreateObjectByName("TavirelleHelper.QXHelper", IID_IDispatch,
                               reinterpret_cast<void**>(&helper), &error), S_OK) << error;
  VARIANT title;
  VariantInit(&title);
  title.vt = VT_BSTR;
  title.bstrVal = SysAllocString(u"Summer");
  ASSERT_EQ(InvokeByName(helper, u"Title", DISPATCH_PROPERTYPUT, &title, nullptr), S_OK);
  VariantClear(&title);
  VARIANT back;
  VariantInit(&back);
  ASSERT_EQ(InvokeByName(helper, u"title", DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, &back),
            S_OK);
  ASSERT_EQ(back.vt, VT_BSTR);
  EXPECT_EQ(BstrView(back.bstrVal), u"Summer");
  VariantClear(&back);
  helper->Release();

  IUnknown* clip = nullptr;
  EXPECT_EQ(CreateObjectByName("TavirelleHelper.Clip.1", IID_IUnknown,
                               reinterpret_cast<void**>(&clip)), S_OK);
  if (clip != nullptr) clip->Release();
  EXPECT_EQ(CreateObjectByName("TavirelleHelper.Nothing", IID_IUnknown,
                               reinterpret_cast<void**>(&clip), &error), CO_E_CLASSSTRING);
  CLSID unknown_class{};
  ASSERT_EQ(CoCreateGuid(&unknown_class), S_OK);
  EXPECT_EQ(CreateInstanceFromRegistry(unknown_class, nullptr, IID_IUnknown,
                                       reinterpret_cast<void**>(&clip), &error),
            REGDB_E_CLASSNOTREG);
  {
    Registry edit(DefaultFileSystem(), registry.root());
    ASSERT_TRUE(edit.Load().ok());
    ASSERT_TRUE(edit.SetValue("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" +
                                  GuidToString(unknown_class) + "\\InprocServer32",
                              "", registry.root() + "missing.so"));
    ASSERT_TRUE(edit.Save().ok());
  }
  EXPECT_EQ(CreateInstanceFromRegistry(unknown_class, nullptr, IID_IUnknown,
                                       reinterpret_cast<void**>(&clip), &error),
            CO_E_DLLNOTFOUND);
  EXPECT_NE(error.find("missing.so"), std::string::npos);
  ASSERT_EQ(m.unregister_server(), S_OK);
  EXPECT_EQ(CreateObjectByName("TavirelleHelper.QXHelper", IID_IUnknown,
                               reinterpret_cast<void**>(&clip)), CO_E_CLASSSTRING);
}

TEST(ModuleExports, AutomationHelpersHaveCLinkage) {
  if (kSystemRuntime) {
    GTEST_SKIP() << "the Windows module exports its five entry points alone: strings and "
                    "VARIANTs are the system's (oleaut32)";
  }
  void* module = nullptr;
  ASSERT_TRUE(LoadModule(TAVIRELLE_MODULE_PATH, &module).ok());
  for (const char* name : {"SysAllocString", "SysAllocStringLen", "SysFreeString",
                           "SysStringLen", "VariantInit", "VariantClear"}) {
    EXPECT_NE(ModuleSymbol(module, name), nullptr) << name;
  }
}

}  // namespace

}  // namespace tavirelle
