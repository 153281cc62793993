// tavirelle extract [--jobs N] PACKAGE DIR
//
// A player copes with a missing file, and the host's extraction ignores what
// it cannot copy; the command must not call such a folder extracted. It runs
// the library's extraction, which checks every file against the package's
// MD5 as it copies it, and fails for every entry that cannot be written, is
// damaged or fails its MD5, and for every photo the show names that the
// package lacks; music, audio captions and an icon the package lacks may be
// shared assets kept elsewhere, so each is only named in a warning. A
// description that fails its own MD5, or does not load, names no file that
// can be trusted: nothing is written then.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

// One line however many failed: the first few by name, then a count.
std::string NamedFailures(const std::vector<std::string>& failures) {
  const size_t kNamed = 5;
  std::string list;
  for (size_t i = 0; i < failures.size() && i < kNamed; ++i) {
    list += (i == 0 ? "" : ", ") + failures[i];
  }
  if (failures.size() > kNamed)
    list += " and " + std::to_string(failures.size() - kNamed) + " more";
  return list;
}

// The levels of the output folder `typed` (the command's UTF-8 text) that
// are missing before anything makes them: a folder the command makes for a
// name outside the code page goes again with what the library takes back.
class TypedLevels {
 public:
  explicit TypedLevels(const std::string& typed) {
    std::string path = typed;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st {};
    while (!path.empty() && path != "." && path != "/" && ::stat(path.c_str(), &st) != 0) {
      missing_.push_back(path);
      const size_t slash = path.find_last_of('/');
      path = slash == std::string::npos ? std::string() : path.substr(0, slash);
      while (path.size() > 1 && path.back() == '/') path.pop_back();
    }
  }

  void TakeBack() {
    // Innermost first; a folder someone else has put something in stays.
    for (const std::string& folder : missing_) ::rmdir(folder.c_str());
    missing_.clear();
  }

 private:
  std::vector<std::string> missing_;
};

int ExtractInto(const std::vector<std::string>& arguments, Interruption& interruption) {
  std::vector<std::string> args = arguments;
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "extract")) return status;
  if (int status = ExpectOperands(args, 2, "extract")) return status;
  UserPaths paths;
  PackageOpening opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(paths.In(args[0])));
  if (!opened.status.ok()) return Fail(args[0] + ": " + opened.status.words());
  TypedLevels levels(args[1]);
  const std::string folder = AsOutputFolder(paths.OutFolder(args[1]));

  // Warnings are told as their files settle, in the show's order.
  std::optional<ProgressBar> progress;
  ExtractPackageOptions options;
  options.jobs = jobs;
  options.cancel = [&]() { return interruption.signal() != 0; };
  options.not_repaired = [&]() { WarnDescriptionNotRepaired(args[0]); };
  options.settled = [&](const ExtractedShowFile& file) {
    if (!file.shared_asset) return;
    if (progress) progress->Clear();
    std::fprintf(stderr, "tavirelle: warning: %s: not in the package, skipped\n",
                 ControlsEscaped(AnsiToUtf8(file.name)).c_str());
  };
  options.progress = [&](uint64_t done, uint64_t total) {
    if (!progress) progress.emplace(static_cast<size_t>(total));
    progress->Update(static_cast<size_t>(done));
  };
  ExtractResult result = ExtractPackage(*opened.package, Utf8ToAnsi(folder), options);
  progress.reset();
  switch (result.failure) {
    case ExtractFailure::kNone: break;
    case ExtractFailure::kFolder:
      return Fail(args[1] + ": the folder cannot be created (" +
                  ErrorInWords(result.status.code()) + ")");
    case ExtractFailure::kCancelled:
      levels.TakeBack();
      return Fail(paths.Typed(folder) + ": interrupted; what this run wrote there is removed");
    case ExtractFailure::kDescription:
      levels.TakeBack();
      return Fail(args[0] + ": not extracted: " +
                  ControlsEscaped(AnsiToUtf8(result.description)) + " (" +
                  result.status.words() + ")");
    case ExtractFailure::kFiles: {
      std::vector<std::string> failures;
      for (const ExtractedShowFile& file : result.files) {
        if (file.problem.empty() || file.shared_asset) continue;
        failures.push_back(ControlsEscaped(AnsiToUtf8(file.name)) + " (" + file.problem + ")");
      }
      if (!result.meta_problem.empty()) failures.push_back("meta.xml (" + result.meta_problem + ")");
      return Fail(args[0] + ": not extracted into " + paths.Typed(folder) + ": " +
                  NamedFailures(failures));
    }
  }
  std::printf("extracted: %s\n", paths.Typed(folder).c_str());
  std::fflush(stdout);
  return 0;
}

// Ctrl-C or SIGTERM stops the extraction: the files being written are
// finished (none is left half-written or under a temporary name), nothing
// more is begun, what the run wrote is removed, and the command ends by the
// signal.
int RunExtract(const std::vector<std::string>& arguments) {
  Interruption interruption;
  const int status = ExtractInto(arguments, interruption);
  interruption.ReRaise();
  return status;
}

}  // namespace

TAVIRELLE_COMMAND("extract", "[--jobs N] PACKAGE DIR",
                  "copies the files the show refers to and its meta.xml into DIR; "
                  "fails when the description, a photo or any file cannot be extracted whole",
                  RunExtract);

}  // namespace tavirelle
