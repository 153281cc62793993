// tavirelle register [--user] [--registry DIR]
// tavirelle unregister [--user] [--registry DIR]
//
// Register or unregister the module through its own exports, as a setup
// program would.
#include <cstdio>

#include "cli/command.h"
#include "cli/module_objects.h"
#include "com/registry.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int Run(const char* name, bool install, std::vector<std::string> args) {
  bool bad = false;
  std::string registry;
  bool has_registry = TakeOption(args, "--registry", &registry, &bad);
  bool user = TakeFlag(args, "--user");
  std::string unknown;
  if (!EndOfOptions(args, &unknown) || bad || !args.empty()) return UsageError(name);
  // An empty root would put the registry's files in whatever folder the
  // command happens to run in.
  if (has_registry && registry.empty()) return UsageFail("--registry needs a folder name");
  const LoadedModule loaded = LoadModuleExports();
  if (!loaded.status.ok()) return Fail(loaded.status.words());
  const ModuleExports* module = loaded.exports;
  if (has_registry) SetRegistryRoot(Utf8ToAnsi(registry));
  // The module keeps a registry root of its own: hand it the one shown.
  HRESULT hr = module->set_registry_root(RegistryRoot().c_str());

  if (SUCCEEDED(hr) && user) {
    hr = module->install(install ? TRUE : FALSE, u"user");
  } else if (SUCCEEDED(hr)) {
    hr = install ? module->register_server() : module->unregister_server();
  }
  if (FAILED(hr)) {
    return Fail(AnsiToUtf8(RegistryRoot()) + ": " + (install ? "registration" : "unregistration") +
                " failed: " + HresultInWords(hr));
  }
  std::printf("module: %s\n", AnsiToUtf8(module->path).c_str());
  std::printf("registry: %s\n", AnsiToUtf8(RegistryRoot()).c_str());
  std::printf("scope: %s\n", user ? "user" : "machine");
  std::fflush(stdout);
  return 0;
}

int RunRegister(const std::vector<std::string>& args) { return Run("register", true, args); }
int RunUnregister(const std::vector<std::string>& args) {
  return Run("unregister", false, args);
}

}  // namespace

TAVIRELLE_COMMAND("register", "[--user] [--registry DIR] [--]",
                  "registers the module's classes (machine-wide, or for the user)",
                  RunRegister);
TAVIRELLE_COMMAND("unregister", "[--user] [--registry DIR] [--]",
                  "removes the module's registration", RunUnregister);

}  // namespace tavirelle
