// tavirelle list PACKAGE
//
// Prints the package's directory as it stands, one entry a line (control
// characters in names written as \xHH). The package
// is opened without checking its show description, so listing never repairs
// (and so never changes) it.
#include <cstdio>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/user_path.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunList(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "list")) return status;
  UserPaths paths;
  PackageOpening opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(paths.In(args[0])));
  if (!opened.status.ok()) return Fail(args[0] + ": " + opened.status.words());
  for (const PackageEntry& entry : opened.package->entries()) {
    // Names and digests come from the file: a tab or line break in them
    // must not split one entry into several lines or fields.
    std::printf("%s\t%u\t%u\t%s\n", ControlsEscaped(AnsiToUtf8(entry.name)).c_str(), entry.offset,
                entry.size, ControlsEscaped(AnsiToUtf8(entry.md5)).c_str());
  }
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("list", "PACKAGE",
                  "prints NAME, OFFSET, SIZE and MD5 of every directory entry", RunList);

}  // namespace tavirelle
