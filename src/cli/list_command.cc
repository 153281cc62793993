// tavirelle list PACKAGE
//
// Prints the package's directory as it stands, one entry a line. The package
// is opened without checking its show description, so listing never repairs
// (and so never changes) it.
#include <cstdio>

#include "cli/command.h"
#include "package/show_package.h"

namespace {

int RunList(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("list");
  ShowPackage package;
  if (!package.OpenPackage(ToAnsi(args[0]), false)) {
    return Fail(args[0] + ": " + DescribeOpenError(package.openError()));
  }
  for (const PackageEntry& entry : package.entries()) {
    std::printf("%s\t%u\t%u\t%s\n", ToUtf8(entry.name).c_str(), entry.offset, entry.size,
                ToUtf8(entry.md5).c_str());
  }
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("list", "PACKAGE",
                  "prints NAME, OFFSET, SIZE and MD5 of every directory entry", RunList);
