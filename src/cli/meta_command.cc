// tavirelle meta PACKAGE
#include <cstdio>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/user_path.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunMeta(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "meta")) return status;
  UserPaths paths;
  PackageOpening opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(paths.In(args[0])));
  if (!opened.status.ok()) return Fail(args[0] + ": " + opened.status.words());
  // Read with the fall-back to an older version and the repair.
  DescriptionReading description = ReadShowDescription(*opened.package);
  if (!description.status.ok()) return Fail(args[0] + ": " + description.status.words());
  if (description.not_repaired) WarnDescriptionNotRepaired(args[0]);
  const std::string& utf8 = description.meta.text;
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("meta", "PACKAGE",
                  "prints the package's show description (meta.xml) as UTF-8; "
                  "a broken one is replaced by the newest usable version",
                  RunMeta);

}  // namespace tavirelle
