// Crash safety of the registry files, which every registered module shares:
// a registration with every file operation failing in turn leaves each hive
// file holding either the previous registry or the new one.
#include <gtest/gtest.h>

#include <string>

#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "com/registrar.h"
#include "com/registry.h"
#include "testing/memory_file_system.h"

namespace tavirelle {

namespace {

constexpr char kScript[] = R"(HKCR
{
	NoRemove CLSID
	{
		ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Crash Class'
		{
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
		}
	}
}
HKCU
{
	NoRemove Software
	{
		Crash = s 'user side'
	}
}
)";

class RegistryCrashSafety : public testing::Test {
 protected:
  RegistryCrashSafety() : faulty_(&memory_) {}

  void SetUp() override {
    Registry registry(memory_, kRoot);
    ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\Old", "", "kept"));
    ASSERT_TRUE(registry.SetValue("HKEY_CURRENT_USER\\Software\\Old", "v", "kept"));
    ASSERT_TRUE(registry.Save().ok());
    old_machine_ = Hive(kLocalMachine);
    old_user_ = Hive(kCurrentUser);
  }

  // Loads the registry, registers the script and saves, as registering a
  // module does.
  bool Register() {
    Registry registry(faulty_, kRoot);
    if (!registry.Load().ok()) return false;
    Registrar registrar(&registry);
    registrar.AddReplacement("MODULE", "/usr/lib/libcrash.so");
    return registrar.Register(kScript) == S_OK && registry.Save().ok();
  }

  std::string Hive(const char* name) {
    std::string text;
    if (!memory_.GetFile(std::string(kRoot) + name + ".reg", &text)) return "<missing>";
    return text;
  }

  static constexpr char kRoot[] = "/registry/";
  MemoryFileSystem memory_;
  FaultInjectingFileSystem faulty_;
  std::string old_machine_, old_user_;
};

TEST_F(RegistryCrashSafety, EveryOperationFailingInTurnLeavesOldOrNewHives) {
  ASSERT_TRUE(Register());
  const uint64_t total = faulty_.operations();
  const std::string new_machine = Hive(kLocalMachine), new_user = Hive(kCurrentUser);
  ASSERT_NE(new_machine, old_machine_);
  ASSERT_NE(new_user, old_user_);
  ASSERT_NE(new_machine.find("libcrash.so"), std::string::npos);
  ASSERT_GT(total, 6u);

  for (uint64_t n = 1; n <= total + 1; ++n) {
    std::string context = "operation " + std::to_string(n) + " of " + std::to_string(total);
    memory_.SetFile(std::string(kRoot) + kLocalMachine + ".reg", old_machine_);
    memory_.SetFile(std::string(kRoot) + kCurrentUser + ".reg", old_user_);
    faulty_.Reset();
    faulty_.FailOperation(n, ERROR_DISK_FULL);
    bool registered = Register();
    std::string machine = Hive(kLocalMachine), user = Hive(kCurrentUser);
    EXPECT_TRUE(machine == old_machine_ || machine == new_machine) << context;
    EXPECT_TRUE(user == old_user_ || user == new_user) << context;
    if (registered) {
      EXPECT_EQ(machine, new_machine) << context;
      EXPECT_EQ(user, new_user) << context;
    }
    // Whatever is on the medium still loads.
    Registry reread(memory_, kRoot);
    EXPECT_TRUE(reread.Load().ok()) << context;
  }
}

}  // namespace

}  // namespace tavirelle
