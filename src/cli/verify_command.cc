// tavirelle verify [--jobs N] PACKAGE
//
// Reads every entry the directory lists, each at its own offset (so that two
// entries of one name are both checked), and compares the MD5 of its bytes
// with the directory's, on up to N threads, reporting in directory order.
// Never changes the package.
#include <cstdio>

#include "cli/command.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "util/lane_groups.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

const char* DescribeCheck(StoredEntryCheck check) {
  switch (check) {
    case StoredEntryCheck::kWhole: return nullptr;
    case StoredEntryCheck::kDamagedRecord: return "damaged record";
    case StoredEntryCheck::kCutOff: return "cut off";
    case StoredEntryCheck::kChecksumMismatch: return "checksum mismatch";
  }
  return "damaged record";
}

int RunVerify(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "verify")) return status;
  if (int status = ExpectOperands(args, 1, "verify")) return status;
  ShowPackage package(DefaultFileSystem());
  UserPaths paths;
  Status opened = package.OpenPackage(Utf8ToAnsi(paths.In(args[0])), /*validateMeta=*/false);
  if (!opened.ok()) return Fail(args[0] + ": " + opened.words());
  const std::vector<PackageEntry>& entries = package.entries();
  // Progress counts mebibytes read, so that a few large entries show it too.
  constexpr int kMiB = 20;
  uint64_t total = 0;
  for (const PackageEntry& entry : entries) total += entry.size;
  size_t bad = 0;
  uint64_t done = 0;
  std::vector<StoredEntryCheck> checks(entries.size(), StoredEntryCheck::kWhole);
  {
    ProgressBar progress(static_cast<size_t>(total >> kMiB), 64, "MiB");
    // Entries are digested side by side, each read through a stream of its
    // own: the package object's stream has one position, which threads would
    // share.
    RunInLaneGroups(
        entries.size(), jobs, nullptr,
        [&](size_t first, size_t size) {
          CheckStoredEntries(DefaultFileSystem(), package.path(), entries.data() + first, size,
                             checks.data() + first);
        },
        [&](size_t i) {
          done += entries[i].size;
          if (const char* problem = DescribeCheck(checks[i])) {
            ++bad;
            progress.Clear();
            std::printf("bad: %s (%s)\n", ControlsEscaped(AnsiToUtf8(entries[i].name)).c_str(),
                        problem);
          }
          progress.Update(static_cast<size_t>(done >> kMiB));
          return true;
        });
  }
  if (bad != 0) {
    return Fail(args[0] + ": " + std::to_string(bad) + " of " +
                std::to_string(entries.size()) + " entries are damaged");
  }
  std::printf("ok: %zu entries\n", entries.size());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("verify", "[--jobs N] PACKAGE",
                  "re-reads every entry and checks it against the directory's MD5", RunVerify);

}  // namespace tavirelle
