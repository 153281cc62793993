#include "com/registrar.h"

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

const char kScript[] = R"(HKCR
{
	Thing.1 = s 'Thing Class'
	{
		CLSID = s '%CLSID%'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s 'Thing Class'
		{
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			val Count = d '16'
		}
	}
}
)";

class RegistrarTest : public testing::Test {
 protected:
  RegistrarTest() : registry_(DefaultFileSystem(), dir_.path()), registrar_(&registry_) {
    EXPECT_TRUE(registry_.Load().ok());
    registrar_.AddReplacement("CLSID", "{00000000-0000-0000-0000-0000000000AB}");
    registrar_.AddReplacement("MODULE", "/opt/it's {odd} %path%/lib.so");
  }
  std::string Value(const std::string& key, const std::string& name = "") {
    std::string value;
    return registry_.GetValue(key, name, &value) ? value : "<missing>";
  }

  TempDir dir_;
  Registry registry_;
  Registrar registrar_;
};

TEST_F(RegistrarTest, WritesKeysAndValuesOfTheScript) {
  ASSERT_EQ(registrar_.Register(kScript), S_OK);
  const std::string clsid = "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
                            "{00000000-0000-0000-0000-0000000000AB}";
  EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\Software\\Classes\\Thing.1"), "Thing Class");
  EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\Software\\Classes\\Thing.1\\CLSID"),
            "{00000000-0000-0000-0000-0000000000AB}");
  EXPECT_EQ(Value(clsid), "Thing Class");
  // A value with quotes, braces and percent signs is data, never syntax.
  EXPECT_EQ(Value(clsid + "\\InprocServer32"), "/opt/it's {odd} %path%/lib.so");
  EXPECT_EQ(Value(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_NE(registry_.FindKey(clsid + "\\Programmable"), nullptr);
  EXPECT_EQ(registry_.FindKey(clsid)->values["Count"].data, "dword:00000010");
}

TEST_F(RegistrarTest, ForceRemoveClearsStaleKeysAndPerUserGoesToTheUsersClasses) {
  registry_.SetValue("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
                     "{00000000-0000-0000-0000-0000000000AB}\\Stale", "", "old");
  registrar_.set_classes_root("HKEY_CURRENT_USER\\Software\\Classes");
  ASSERT_EQ(registrar_.Register(kScript), S_OK);
  EXPECT_EQ(registry_.FindKey("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
                              "{00000000-0000-0000-0000-0000000000AB}\\Stale"),
            nullptr);
  EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Classes\\Thing.1"), "Thing Class");
  EXPECT_EQ(registry_.FindKey("HKEY_LOCAL_MACHINE\\Software\\Classes"), nullptr);
}

TEST_F(RegistrarTest, UnregisterRemovesWhatItWroteButNoRemoveKeys) {
  registry_.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{Other}", "", "x");
  ASSERT_EQ(registrar_.Register(kScript), S_OK);
  ASSERT_EQ(registrar_.Unregister(kScript), S_OK);
  EXPECT_EQ(registry_.FindKey("HKCR\\Thing.1"), nullptr);
  EXPECT_EQ(registry_.FindKey("HKCR\\CLSID\\{00000000-0000-0000-0000-0000000000AB}"), nullptr);
  EXPECT_NE(registry_.FindKey("HKCR\\CLSID"), nullptr);
  EXPECT_NE(registry_.FindKey("HKCR\\CLSID\\{Other}"), nullptr);
  // Unregistering what is not there is no error.
  EXPECT_EQ(registrar_.Unregister(kScript), S_OK);
}

TEST_F(RegistrarTest, KeysWithForeignSubkeysSurviveUnregistration) {
  ASSERT_EQ(registrar_.Register(kScript), S_OK);
  registry_.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\Thing.1\\Extra", "", "x");
  ASSERT_EQ(registrar_.Unregister(kScript), S_OK);
  EXPECT_NE(registry_.FindKey("HKCR\\Thing.1\\Extra"), nullptr);
  EXPECT_EQ(registry_.FindKey("HKCR\\Thing.1\\CLSID"), nullptr);
}

class BadScript : public testing::TestWithParam<const char*> {};

TEST_P(BadScript, IsRefusedAndWritesNothing) {
  TempDir dir;
  Registry registry(DefaultFileSystem(), dir.path());
  ASSERT_TRUE(registry.Load().ok());
  Registrar registrar(&registry);
  registrar.AddReplacement("KNOWN", "k");
  EXPECT_EQ(registrar.Register(GetParam()), kRegistrarSyntaxError);
  EXPECT_EQ(registry.FindKey("HKEY_LOCAL_MACHINE\\Software"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadScript,
    testing::Values("HKCR { A = s 'x' ", "HKCR { A = s 'unterminated }",
                    "HKCR { A = q 'x' }", "HKCR { A = s }", "HKCR { val = s 'x' }",
                    "HKXX { A }", "HKCR { A = s '%UNKNOWN%' }", "HKCR { %UNCLOSED }",
                    "HKCR { A\\B }", "HKCR { A = d 'ten' }", "HKCR A { }",
                    "HKCR { A } }"));

TEST(Registrar, DeeplyNestedScriptIsRefused) {
  TempDir dir;
  Registry registry(DefaultFileSystem(), dir.path());
  ASSERT_TRUE(registry.Load().ok());
  Registrar registrar(&registry);
  std::string script = "HKCR { ";
  for (int i = 0; i < 10000; ++i) script += "k { ";
  EXPECT_EQ(registrar.Register(script), kRegistrarSyntaxError);
}

}  // namespace

namespace {

// Damaged scripts are refused or applied, and never crash.
TEST(Registrar, DamagedScriptsNeverCrash) {
  const std::string script = kScript;
  uint32_t seed = 777;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  const char specials[] = "{}='%\\ \n";
  for (int round = 0; round < 1500; ++round) {
    std::string damaged = script;
    for (int e = 0; e < 3; ++e) {
      size_t at = (next() >> 8) % damaged.size();
      if (next() % 2) {
        damaged[at] = specials[(next() >> 4) % (sizeof specials - 1)];
      } else {
        damaged.erase(at, (next() >> 4) % 8);
      }
    }
    Registry registry(DefaultFileSystem(), "/never/saved/");  // kept in memory only
    Registrar registrar(&registry);
    registrar.AddReplacement("CLSID", "{C}");
    registrar.AddReplacement("MODULE", "/m.so");
    if (registrar.Register(damaged) == S_OK) {
      EXPECT_EQ(registrar.Unregister(damaged), S_OK);
    }
  }
}

}  // namespace

}  // namespace tavirelle
