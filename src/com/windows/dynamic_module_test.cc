// Loading modules through the system's loader.
#include "com/dynamic_module.h"

#include <gtest/gtest.h>

#include "platform/host.h"

namespace tavirelle {
namespace {

TEST(WindowsModules, LoadsASystemModuleAndFindsItsFunctions) {
  void* module = nullptr;
  ASSERT_TRUE(LoadModule("kernel32.dll", &module).ok());
  EXPECT_NE(ModuleSymbol(module, "GetTickCount"), nullptr);
  EXPECT_EQ(ModuleSymbol(module, "NoSuchFunction"), nullptr);
  Status missing = LoadModule("C:\\no such folder\\missing.dll", &module);
  EXPECT_EQ(missing.code(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(missing.words().empty());
  EXPECT_EQ(module, nullptr);
  EXPECT_EQ(LoadModule("C:\\*.dll", &module).code(), ERROR_INVALID_NAME);
}

TEST(WindowsModules, CodeIsFoundInTheFileItWasLoadedFrom) {
  // The code of these tests is linked into the program.
  EXPECT_EQ(ModulePathOf(reinterpret_cast<const void*>(&HostExecutablePath)),
            HostExecutablePath());
  void* kernel = nullptr;
  ASSERT_TRUE(LoadModule("kernel32.dll", &kernel).ok());
  const std::string path = ModulePathOf(ModuleSymbol(kernel, "GetTickCount"));
  ASSERT_GE(path.size(), 12u);
  EXPECT_EQ(path.substr(path.size() - 12), "kernel32.dll") << path;
}

}  // namespace
}  // namespace tavirelle
