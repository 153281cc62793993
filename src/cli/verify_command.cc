// tavirelle verify PACKAGE
//
// Reads every entry the directory lists, each at its own offset (so that two
// entries of one name are both checked), and compares the MD5 of its bytes
// with the directory's. Never changes the package.
#include <cstdio>

#include "cli/command.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "package/show_package.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

int RunVerify(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "verify")) return status;
  ShowPackage package(DefaultFileSystem());
  UserPaths paths;
  if (!package.OpenPackage(ToAnsi(paths.In(args[0])), /*validateMeta=*/false)) {
    return Fail(args[0] + ": " + DescribeOpenError(package.openError()));
  }
  // Progress counts mebibytes read, so that a few large entries show it too.
  constexpr int kMiB = 20;
  uint64_t total = 0;
  for (const PackageEntry& entry : package.entries()) total += entry.size;
  size_t bad = 0;
  uint64_t done = 0;
  std::string data;
  {
    ProgressBar progress(static_cast<size_t>(total >> kMiB), 64);
    for (const PackageEntry& entry : package.entries()) {
      const char* problem = nullptr;
      if (!package.ReadEntryHead(entry, entry.size, &data)) {
        problem = "damaged record";
      } else if (data.size() != entry.size) {
        problem = "cut off";
      } else if (Md5BufferHex(data.data(), data.size()) != entry.md5) {
        problem = "checksum mismatch";
      }
      done += entry.size;
      if (problem != nullptr) {
        ++bad;
        progress.Clear();
        std::printf("bad: %s (%s)\n", ControlsEscaped(ToUtf8(entry.name)).c_str(), problem);
      }
      progress.Update(static_cast<size_t>(done >> kMiB));
    }
  }
  if (bad != 0) {
    return Fail(args[0] + ": " + std::to_string(bad) + " of " +
                std::to_string(package.entries().size()) + " entries are damaged");
  }
  std::printf("ok: %zu entries\n", package.entries().size());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("verify", "PACKAGE",
                  "re-reads every entry and checks it against the directory's MD5", RunVerify);

}  // namespace tavirelle
