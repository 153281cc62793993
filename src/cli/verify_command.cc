// tavirelle verify [--jobs N] PACKAGE
//
// Reads every entry the directory lists, each at its own offset (so that two
// entries of one name are both checked), and compares the MD5 of its bytes
// with the directory's, on up to N threads, reporting in directory order.
// Never changes the package.
#include <cstdio>
#include <optional>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

int RunVerify(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "verify")) return status;
  if (int status = ExpectOperands(args, 1, "verify")) return status;
  UserPaths paths;
  // Progress counts mebibytes read, so that a few large entries show it too.
  constexpr int kMiB = 20;
  std::optional<ProgressBar> progress;
  VerifyOptions options;
  options.jobs = jobs;
  options.checked = [&](const PackageEntry& entry, StoredEntryCheck check) {
    if (const char* problem = EntryCheckInWords(check)) {
      if (progress) progress->Clear();
      std::printf("bad: %s (%s)\n", ControlsEscaped(AnsiToUtf8(entry.name)).c_str(), problem);
    }
  };
  options.progress = [&](uint64_t done, uint64_t total) {
    if (!progress) progress.emplace(static_cast<size_t>(total >> kMiB), 64, "MiB");
    progress->Update(static_cast<size_t>(done >> kMiB));
  };
  VerifyResult result =
      VerifyPackage(DefaultFileSystem(), Utf8ToAnsi(paths.In(args[0])), options);
  progress.reset();
  if (!result.status.ok()) return Fail(args[0] + ": " + result.status.words());
  if (result.damaged != 0) {
    return Fail(args[0] + ": " + std::to_string(result.damaged) + " of " +
                std::to_string(result.entries.size()) + " entries are damaged");
  }
  std::printf("ok: %zu entries\n", result.entries.size());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("verify", "[--jobs N] PACKAGE",
                  "re-reads every entry and checks it against the directory's MD5", RunVerify);

}  // namespace tavirelle
