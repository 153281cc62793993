#include "com/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/fault_injecting_file_system.h"
#include "testing/scoped_environment.h"
#include "platform/file_system.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

TEST(RegistryHive, WritesTheExportFormatAndReadsItBack) {
  RegistryHive hive(kLocalMachine);
  RegistryKey* key = hive.Create("Software\\Classes\\Thing.1");
  ASSERT_NE(key, nullptr);
  key->values[""] = {"A \"quoted\" C:\\path", false};
  key->values["Mode"] = {"Apartment", false};
  key->values["Count"] = {"dword:00000010", true};
  hive.Create("Software\\Classes\\Alpha");
  const std::string expected =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Alpha]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Thing.1]\n"
      "@=\"A \\\"quoted\\\" C:\\\\path\"\n"
      "\"Count\"=dword:00000010\n"
      "\"Mode\"=\"Apartment\"\n\n";
  EXPECT_EQ(hive.ToText(), expected);

  RegistryHive again(kLocalMachine);
  ASSERT_TRUE(again.Parse(expected));
  EXPECT_EQ(again.ToText(), expected);
  RegistryKey* found = again.Find("software\\CLASSES\\thing.1");  // names ignore case
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->values["mode"].data, "Apartment");
  EXPECT_EQ(found->values[""].data, "A \"quoted\" C:\\path");
}

struct HostileCase {
  const char* label;
  std::string text;
  bool accepted;
  const char* surviving_key;  // a key that must be there afterwards, or null
};

std::string Deep(size_t depth) {
  std::string path = "[HKEY_CURRENT_USER";
  for (size_t i = 0; i < depth; ++i) path += "\\k";
  return path + "]\n";
}

class HostileHive : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileHive, NeverCrashesAndKeepsWhatIsSound) {
  RegistryHive hive(kCurrentUser);
  EXPECT_EQ(hive.Parse(GetParam().text), GetParam().accepted);
  if (GetParam().surviving_key != nullptr) {
    EXPECT_NE(hive.Find(GetParam().surviving_key), nullptr);
  }
  hive.ToText();
}

const std::string kHead = "Windows Registry Editor Version 5.00\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, HostileHive,
    testing::Values(
        HostileCase{"empty", "", false, nullptr},
        HostileCase{"no header", "[HKEY_CURRENT_USER\\A]\n", false, nullptr},
        HostileCase{"binary", std::string("\0\xFF\xFE[", 4), false, nullptr},
        HostileCase{"value before any key", kHead + "@=\"x\"\n[HKEY_CURRENT_USER\\A]\n",
                    true, "A"},
        HostileCase{"unterminated quote", kHead + "[HKEY_CURRENT_USER\\A]\n\"n=\"\n@=\"ok\n",
                    true, "A"},
        HostileCase{"other hive ignored", kHead + "[HKEY_LOCAL_MACHINE\\B]\n@=\"x\"\n",
                    true, nullptr},
        HostileCase{"empty components", kHead + "[HKEY_CURRENT_USER\\A\\\\B]\n[]\n[\n",
                    true, nullptr},
        HostileCase{"too deep", kHead + Deep(kMaxKeyDepth + 1) + "[HKEY_CURRENT_USER\\Z]\n",
                    true, "Z"},
        HostileCase{"long name",
                    kHead + "[HKEY_CURRENT_USER\\" + std::string(300, 'n') + "]\n", true,
                    nullptr},
        HostileCase{"continuation at the end", kHead + "[HKEY_CURRENT_USER\\A]\n\"h\"=hex:01,\\",
                    true, "A"},
        HostileCase{"deletions", kHead + "[-HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\C]\n"
                                          "\"v\"=-\n",
                    true, "C"}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.label; *p; ++p) name += isalnum(*p) ? *p : '_';
      return name;
    });

TEST(RegistryHive, ReadsTheEditorsUtf16Files) {
  TempDir dir;
  std::u16string text = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                        u"[HKEY_CURRENT_USER\\Caf\u00E9]\r\n@=\"x\"\r\n";
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("HKEY_CURRENT_USER.reg"), bytes).ok());
  Registry registry(DefaultFileSystem(), dir.path());
  ASSERT_TRUE(registry.Load().ok());
  std::string value;
  EXPECT_TRUE(registry.GetValue("HKEY_CURRENT_USER\\Caf\xE9", "", &value));
  EXPECT_EQ(value, "x");
}

TEST(Registry, ClassesRootIsTheUsersClassesOverTheMachines) {
  TempDir dir;
  Registry registry(DefaultFileSystem(), dir.path());
  ASSERT_TRUE(registry.Load().ok());
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\P", "", "machine"));
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\Q", "", "machine"));
  ASSERT_TRUE(registry.SetValue("HKEY_CURRENT_USER\\Software\\Classes\\P", "", "user"));
  std::string value;
  ASSERT_TRUE(registry.GetValue("HKEY_CLASSES_ROOT\\P", "", &value));
  EXPECT_EQ(value, "user");
  ASSERT_TRUE(registry.GetValue("HKCR\\Q", "", &value));
  EXPECT_EQ(value, "machine");
  EXPECT_FALSE(registry.GetValue("HKCR\\R", "", &value));
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\P", "Only", "m"));
  ASSERT_TRUE(registry.GetValue("HKCR\\P", "only", &value));
  EXPECT_EQ(value, "m");
  EXPECT_FALSE(registry.SetValue("HKEY_USERS\\X", "", "y"));
  EXPECT_FALSE(registry.SetValue("HKEY_CURRENT_USER\\X", "", "two\nlines"));
}

TEST(Registry, SavesAtomicallySoAFailedWriteKeepsTheOldHive) {
  TempDir dir;
  std::string root = dir.Join("reg/nested");
  {
    Registry registry(DefaultFileSystem(), root);
    ASSERT_TRUE(registry.Load().ok());
    ASSERT_TRUE(registry.SetValue("HKEY_CURRENT_USER\\Old", "", "kept"));
    ASSERT_TRUE(registry.Save().ok());  // creates the folders
  }
  std::string before;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), root + "/HKEY_CURRENT_USER.reg", &before).ok());
  for (int fault = 0; fault < 2; ++fault) {
    FaultInjectingFileSystem faulty;
    if (fault == 0) faulty.SetDiskFullAfter(10);
    if (fault == 1) faulty.DenyAccess("HKEY_CURRENT_USER.reg.new");
    Registry registry(faulty, root);
    ASSERT_TRUE(registry.Load().ok());
    ASSERT_TRUE(registry.SetValue("HKEY_CURRENT_USER\\New", "", "lost"));
    EXPECT_EQ(registry.Save().code(), fault == 0 ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
  }
  std::string after;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), root + "/HKEY_CURRENT_USER.reg", &after).ok());
  EXPECT_EQ(after, before);
  DWORD attributes = 0;
  EXPECT_FALSE(
      DefaultFileSystem().GetFileAttributes(root + "/HKEY_CURRENT_USER.reg.new", &attributes).ok());
}

TEST(Registry, CorruptHiveIsNotOverwritten) {
  TempDir dir;
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir.Join("HKEY_LOCAL_MACHINE.reg"), "not a registry")
          .ok());
  Registry registry(DefaultFileSystem(), dir.path());
  EXPECT_EQ(registry.Load().code(), ERROR_BADDB);
}

TEST(RegistryRoot, OverrideThenEnvironmentThenDataFolder) {
  ScopedEnvironment environment({"XDG_DATA_HOME=/data/home", "TAVIRELLE_REGISTRY"});
  SetRegistryRoot("");
  EXPECT_EQ(RegistryRoot(), "/data/home/tavirelle/registry/");
  environment.Set("TAVIRELLE_REGISTRY=/env/reg");
  EXPECT_EQ(RegistryRoot(), "/env/reg/");
  SetRegistryRoot("/chosen");
  EXPECT_EQ(RegistryRoot(), "/chosen/");
  SetRegistryRoot("");
}

}  // namespace

namespace {

// Damaged copies of a real hive: each must parse or be refused, never crash
// or hang, and what parses must write out again.
TEST(RegistryHive, SurvivesDamagedFiles) {
  RegistryHive sound(kCurrentUser);
  RegistryKey* key = sound.Create("Software\\Classes\\CLSID\\{A}\\InprocServer32");
  key->values[""] = {"/lib/x.so", false};
  key->values["ThreadingModel"] = {"Apartment", false};
  sound.Create("Software\\Classes\\X.1\\CLSID")->values[""] = {"q\"uo\\te", false};
  const std::string text = sound.ToText();
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  const char specials[] = "[]\\\"@=\n\r-;:";
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = text;
    int edits = 1 + static_cast<int>(next() % 6);
    for (int e = 0; e < edits && !damaged.empty(); ++e) {
      size_t at = (next() >> 8) % damaged.size();
      switch (next() % 4) {
        case 0: damaged[at] = specials[(next() >> 4) % (sizeof specials - 1)]; break;
        case 1: damaged.erase(at, (next() >> 4) % 12); break;
        case 2: damaged.insert(at, damaged.substr((next() >> 8) % damaged.size(), 9)); break;
        case 3: damaged[at] = static_cast<char>(next() >> 16); break;
      }
    }
    RegistryHive hive(kCurrentUser);
    if (hive.Parse(damaged)) {
      RegistryHive again(kCurrentUser);
      EXPECT_TRUE(again.Parse(hive.ToText()));
      EXPECT_EQ(again.ToText(), hive.ToText());
    }
  }
}

}  // namespace

}  // namespace tavirelle
