// The Registry class on Windows is the system's registry: what it writes
// the system reads, HKEY_CLASSES_ROOT is the system's merged view, and the
// registrar's scripts land there.
#include "com/registry.h"

#include <gtest/gtest.h>

#include "com/registrar.h"
#include "platform/code_page.h"
#include "platform/guid.h"
#include "platform/last_error.h"
#include "platform/windows/win32.h"

namespace tavirelle {
namespace {

// A key of this test's own, so that tests run at once never meet.
std::string FreshKeyName() {
  GUID guid;
  EXPECT_EQ(CoCreateGuid(&guid), S_OK);
  return "TavirelleTest" + GuidToString(guid);
}

bool SystemHasKey(const char* root, const std::string& path) {
  std::vector<win32::RegistryEntry> values;
  std::vector<std::u16string> subkeys;
  return win32::RegistryReadKey(win32::PredefinedKey(root), AnsiToWide(path), &values, &subkeys);
}

TEST(WindowsRegistry, WritesReadsAndDeletesTheSystemsKeys) {
  std::string below = "Software\\" + FreshKeyName();
  std::string key = std::string(kCurrentUser) + "\\" + below;
  Registry registry(DefaultFileSystem());
  ASSERT_TRUE(registry.Load().ok());
  ASSERT_TRUE(registry.SetValue(key + "\\Inner", "Name", "caf\xe9"));
  ASSERT_TRUE(registry.SetValue(key, "", "default"));
  EXPECT_TRUE(SystemHasKey("HKCU", below + "\\Inner"));

  std::string value;
  ASSERT_TRUE(registry.GetValue(key + "\\Inner", "name", &value));
  EXPECT_EQ(value, "caf\xe9");
  RegistryKey* found = registry.FindKey("HKCU\\" + below);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->values[""].data, "default");
  EXPECT_NE(found->Subkey("INNER"), nullptr);

  EXPECT_TRUE(registry.DeleteValue(key + "\\Inner", "Name"));
  EXPECT_FALSE(registry.GetValue(key + "\\Inner", "Name", &value));
  EXPECT_TRUE(registry.DeleteKey(key));
  EXPECT_FALSE(SystemHasKey("HKCU", below));
  EXPECT_EQ(registry.FindKey(key), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(registry.DeleteKey(key));
  EXPECT_EQ(registry.CreateKey("HKEY_NOWHERE\\x"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(registry.Save().ok());
}

TEST(WindowsRegistry, PerUserScriptsLandInTheUsersClassesSeenThroughTheClassesRoot) {
  std::string prog_id = FreshKeyName();
  Registry registry(DefaultFileSystem());
  Registrar registrar(&registry);
  registrar.set_classes_root("HKEY_CURRENT_USER\\Software\\Classes");
  registrar.AddReplacement("NAME", prog_id);
  const char script[] = R"(HKCR
{
	%NAME% = s 'Thing'
	{
		CLSID = s '{00000000-0000-0000-0000-0000000000AB}'
		val Count = d '16'
	}
}
)";
  ASSERT_EQ(registrar.Register(script), S_OK);
  EXPECT_TRUE(SystemHasKey("HKCU", "Software\\Classes\\" + prog_id));
  EXPECT_FALSE(SystemHasKey("HKLM", "Software\\Classes\\" + prog_id));
  std::string clsid;
  ASSERT_TRUE(
      registry.GetValue(std::string(kClassesRoot) + "\\" + prog_id + "\\CLSID", "", &clsid));
  EXPECT_EQ(clsid, "{00000000-0000-0000-0000-0000000000AB}");
  // A number value is the system's REG_DWORD, not a text.
  std::vector<win32::RegistryEntry> values;
  std::vector<std::u16string> subkeys;
  ASSERT_TRUE(win32::RegistryReadKey(win32::PredefinedKey("HKCU"),
                                     AnsiToWide("Software\\Classes\\" + prog_id), &values,
                                     &subkeys));
  bool counted = false;
  for (const win32::RegistryEntry& value : values) {
    if (value.name != u"Count") continue;
    counted = true;
    EXPECT_EQ(value.type, 4u);  // REG_DWORD
    EXPECT_EQ(value.data, (std::vector<uint8_t>{16, 0, 0, 0}));
  }
  EXPECT_TRUE(counted);
  RegistryKey* key = registry.FindKey(std::string(kClassesRoot) + "\\" + prog_id);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->values["Count"].data, "dword:00000010");

  ASSERT_EQ(registrar.Unregister(script), S_OK);
  EXPECT_FALSE(SystemHasKey("HKCU", "Software\\Classes\\" + prog_id));
}

}  // namespace
}  // namespace tavirelle
