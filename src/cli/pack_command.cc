// tavirelle pack DIR TARGET
//
// Checks that DIR holds a show before anything is written: a meta.xml that
// loads and names at least one photo, every photo it names, no file it names
// that a package cannot hold, no link out of the folder, and a size that one
// package can address. The
// library then writes the package under a temporary name and publishes it
// when complete; an interrupt (Ctrl-C, SIGTERM) cancels the write, which
// removes the temporary file.
#include <cstdio>
#include <optional>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace tavirelle {

namespace {

int RunPack(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 2, "pack")) return status;
  UserPaths paths;
  const std::string from = paths.In(args[0]);
  // Entry names are code-page text: a name outside it could not be stored.
  std::string unreachable = FirstUnreachableEntry(args[0]);
  if (!unreachable.empty()) {
    return Fail(AsOutputFolder(args[0]) + unreachable + ": the name cannot be stored in a package");
  }
  const std::string reachable_target = paths.OutFile(args[1]);
  // An interrupt while the package is written cancels it and then ends the
  // command as the signal would have.
  Interruption interruption;
  // Progress counts mebibytes written.
  constexpr int kMiB = 20;
  std::optional<ProgressBar> progress;
  PackOptions options;
  options.progress = [&](uint64_t done, uint64_t total) {
    if (!progress) progress.emplace(static_cast<size_t>(total >> kMiB), 64, "MiB");
    progress->Update(static_cast<size_t>(done >> kMiB));
  };
  options.cancel = [&]() { return interruption.signal() != 0; };
  PackResult result =
      PackShow(DefaultFileSystem(), Utf8ToAnsi(from), Utf8ToAnsi(reachable_target), options);
  progress.reset();
  switch (result.failure) {
    case PackFailure::kNone: break;
    case PackFailure::kCancelled:
      interruption.ReRaise();
      return Fail(args[1] + ": interrupted");
    case PackFailure::kFolder: return Fail(args[0] + ": " + result.status.words());
    case PackFailure::kShowFile:
      return Fail(AsOutputFolder(args[0]) + AnsiToUtf8(result.show_file) + ": " +
                  result.status.words());
    case PackFailure::kSource:
      return Fail(paths.Typed(AnsiToUtf8(result.source_path) + ": " + result.status.words()));
    case PackFailure::kPackage: return Fail(args[1] + ": " + result.status.words());
  }
  if (Status committed = paths.Commit(false); !committed.ok()) return Fail(committed.words());
  std::printf("written: %s\n", paths.Typed(AnsiToUtf8(result.written)).c_str());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("pack", "DIR TARGET",
                  "checks that DIR holds a show (meta.xml and every photo it names) and packs "
                  "its show files into a new package (a unique name is chosen when TARGET "
                  "exists)",
                  RunPack);

}  // namespace tavirelle
