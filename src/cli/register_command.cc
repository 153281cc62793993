// tavirelle register [--user] [--registry DIR]
// tavirelle unregister [--user] [--registry DIR]
//
// Register or unregister the module through its own exports, as a setup
// program would.
#include <cstdio>

#include "cli/command.h"
#include "platform/registry.h"
#include "shell/module.h"
#include "shell/module_exports.h"

namespace {

int Run(const char* name, bool install, std::vector<std::string> args) {
  bool bad = false;
  std::string registry;
  bool has_registry = TakeOption(args, "--registry", &registry, &bad);
  bool user = TakeFlag(args, "--user");
  if (bad || !args.empty()) return UsageError(name);
  if (has_registry) SetRegistryRoot(ToAnsi(registry));

  HRESULT hr;
  if (user) {
    hr = DllInstall(install ? TRUE : FALSE, u"user");
  } else {
    hr = install ? DllRegisterServer() : DllUnregisterServer();
  }
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return Fail(std::string(install ? "registration" : "unregistration") +
                " failed with " + code + " (registry " + ToUtf8(RegistryRoot()) + ")");
  }
  std::printf("module: %s\n", ToUtf8(CTavirelleHelperModule::ModulePath()).c_str());
  std::printf("registry: %s\n", ToUtf8(RegistryRoot()).c_str());
  std::printf("scope: %s\n", user ? "user" : "machine");
  return 0;
}

int RunRegister(const std::vector<std::string>& args) { return Run("register", true, args); }
int RunUnregister(const std::vector<std::string>& args) {
  return Run("unregister", false, args);
}

}  // namespace

TAVIRELLE_COMMAND("register", "[--user] [--registry DIR]",
                  "registers the module's classes (machine-wide, or for the user)",
                  RunRegister);
TAVIRELLE_COMMAND("unregister", "[--user] [--registry DIR]",
                  "removes the module's registration", RunUnregister);
