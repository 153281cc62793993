#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "testing/run_command.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

class RegisterCommandTest : public ::testing::Test {
 protected:
  CommandRun Tavirelle(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), TAVIRELLE_COMMAND_PATH);
    CommandOptions options;
    // No registry in the environment: the command must honour --registry.
    options.environment = {"TAVIRELLE_REGISTRY", "XDG_DATA_HOME", "HOME=" + dir_.Join("home")};
    return RunCommand(arguments, options);
  }
  std::string Hive(const std::string& name) {
    std::string text;
    ReadWholeFile(DefaultFileSystem(), dir_.Join("reg/") + name + ".reg", &text).IgnoreError();
    return text;
  }

  TempDir dir_;
};

TEST_F(RegisterCommandTest, RegistersTheSharedModuleAndUnregistersIt) {
  CommandRun run = Tavirelle({"register", "--registry", dir_.Join("reg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("scope: machine\n"), std::string::npos);
  size_t module = run.out.find("module: ");
  ASSERT_NE(module, std::string::npos);
  std::string path = run.out.substr(module + 8, run.out.find('\n', module) - module - 8);
  EXPECT_NE(path.find("libTavirelleHelper.so"), std::string::npos) << path;
  std::string machine = Hive("HKEY_LOCAL_MACHINE");
  EXPECT_EQ(machine.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(machine.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\TavirelleHelper.QXHelper]\n"
                         "@=\"QXHelper Class\"\n"),
            std::string::npos);
  EXPECT_NE(machine.find("\\InprocServer32]\n@=\"" + path + "\"\n\"ThreadingModel\"=\"Apartment\""),
            std::string::npos);

  run = Tavirelle({"unregister", "--registry", dir_.Join("reg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Hive("HKEY_LOCAL_MACHINE").find("TavirelleHelper.QXHelper"), std::string::npos);
}

TEST_F(RegisterCommandTest, PerUserRegistrationGoesToTheUsersHive) {
  CommandRun run = Tavirelle({"register", "--user", "--registry", dir_.Join("reg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("scope: user\n"), std::string::npos);
  EXPECT_NE(Hive("HKEY_CURRENT_USER").find("[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
                                           "{2080A7D9-1519-414A-A782-E5675D375030}]"),
            std::string::npos);
  EXPECT_EQ(Hive("HKEY_LOCAL_MACHINE"), "");
  run = Tavirelle({"unregister", "--user", "--registry", dir_.Join("reg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Hive("HKEY_CURRENT_USER").find("TavirelleHelper"), std::string::npos);
}

TEST_F(RegisterCommandTest, DefaultRegistryIsInTheUsersDataFolder) {
  CommandRun run = Tavirelle({"register"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("registry: " + dir_.Join("home") + "/.local/share/tavirelle/registry/"),
            std::string::npos)
      << run.out;
}

TEST_F(RegisterCommandTest, FailuresAndMisuse) {
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("reg"), "a file where the folder should be")
          .ok());
  CommandRun run = Tavirelle({"register", "--registry", dir_.Join("reg")});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("registration failed"), std::string::npos) << run.err;
  EXPECT_EQ(Tavirelle({"register", "--bogus"}).status, 2);
  EXPECT_EQ(Tavirelle({"unregister", "--registry"}).status, 2);
  EXPECT_EQ(Tavirelle({"register", "--", "--user"}).status, 2);  // an operand, not the flag
  // An empty root would mean the current folder, whatever it is.
  for (const char* command : {"register", "unregister"}) {
    run = Tavirelle({command, "--registry", ""});
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.err, "tavirelle: --registry needs a folder name\n") << command;
  }
}

TEST_F(RegisterCommandTest, OptionsEndAtTheDoubleDash) {
  CommandRun run = Tavirelle({"register", "--user", "--registry", dir_.Join("reg"), "--"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("scope: user\n"), std::string::npos) << run.out;
}

}  // namespace

}  // namespace tavirelle
