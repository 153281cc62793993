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
#include <unordered_map>

#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/package_checks.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

// Only a reference the package does not hold at all may be a shared asset.
bool MayBeSharedAsset(const ExtractedFile& file, const std::string& held_as) {
  return !file.online_file && !file.outside && held_as.empty() &&
         file.save.result == EntrySaveResult::kMissing;
}

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

// What one run wrote into its output folder, and the folders it made for
// it: taken back when the run is stopped or writes nothing of the show.
// Files that stood there before and were not written stay.
class RunOutput {
 public:
  // Notes the levels of `typed` (the command's UTF-8 text) that are missing
  // before anything makes them.
  explicit RunOutput(const std::string& typed) {
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

  // A file written as `path` (process code page).
  void Wrote(const std::string& path) { written_.push_back(path); }

  void TakeBack() {
    for (const std::string& path : written_) DefaultFileSystem().DeleteFile(path).IgnoreError();
    // Innermost first; a folder someone else has put something in stays.
    for (const std::string& folder : missing_) ::rmdir(folder.c_str());
    written_.clear();
    missing_.clear();
  }

 private:
  std::vector<std::string> missing_, written_;
};

// The cause, in words, of a file of the show that did not arrive whole;
// empty when it did. `held_as` is the name the package holds it under when
// that name would leave the folder.
std::string Problem(const ExtractedFile& file, const std::string& held_as) {
  if (file.outside || !held_as.empty()) return "a name that would leave the folder";
  return DescribeEntrySave(file.save);
}

int ExtractInto(const std::vector<std::string>& arguments, Interruption& interruption) {
  std::vector<std::string> args = arguments;
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "extract")) return status;
  if (int status = ExpectOperands(args, 2, "extract")) return status;
  UserPaths paths;
  ShowPackage package(DefaultFileSystem());
  Status opened = package.OpenPackage(Utf8ToAnsi(paths.In(args[0])), /*validateMeta=*/false);
  if (!opened.ok()) return Fail(args[0] + ": " + opened.words());
  RunOutput output(args[1]);
  const std::string folder = AsOutputFolder(paths.OutFolder(args[1]));
  const std::string ansi_folder = Utf8ToAnsi(folder);
  Status made = CreateFolderPath(DefaultFileSystem(), ansi_folder);
  if (!made.ok()) {
    return Fail(args[1] + ": the folder cannot be created (" + ErrorInWords(made.code()) + ")");
  }

  ExtractReport report;
  bool repair_told = false;
  auto tell_repair = [&]() {
    if (report.repair_failed && !repair_told) WarnDescriptionNotRepaired(args[0]);
    repair_told = true;
  };
  // Names the package holds only under a name that would leave the folder,
  // found the first time a file of the show is missing.
  std::optional<std::unordered_map<std::string, std::string>> leaving;
  auto held_as = [&](const ExtractedFile& file) -> std::string {
    if (file.save.result != EntrySaveResult::kMissing) return {};
    if (!leaving) leaving = EntriesLeavingTheFolder(package);
    auto found = leaving->find(file.name);
    return found == leaving->end() ? std::string() : found->second;
  };
  // Warnings are told as their files settle, in the show's order.
  std::optional<ProgressBar> progress;
  size_t told = 0;
  auto settled = [&](size_t done, size_t total) {
    tell_repair();
    if (!progress) progress.emplace(total);
    for (; told < done && told < report.files.size(); ++told) {
      const ExtractedFile& file = report.files[told];
      if (!MayBeSharedAsset(file, held_as(file))) continue;
      progress->Clear();
      std::fprintf(stderr, "tavirelle: warning: %s: not in the package, skipped\n",
                   ControlsEscaped(AnsiToUtf8(file.name)).c_str());
    }
    progress->Update(done);
  };
  ExtractOptions options;
  options.jobs = jobs;
  options.stop = [&]() { return interruption.signal() != 0; };
  options.whole_description_only = true;
  ExtractShow(package, ansi_folder, &report, settled, options);
  progress.reset();
  for (const ExtractedFile& file : report.files) {
    if (file.save.saved()) output.Wrote(ansi_folder + file.name);
  }
  if (report.meta_saved) output.Wrote(ansi_folder + "meta.xml");
  if (interruption.signal() != 0) {
    output.TakeBack();
    return Fail(paths.Typed(folder) + ": interrupted; what this run wrote there is removed");
  }
  tell_repair();

  const std::string description = report.description.entry.empty()
                                      ? std::string("meta.xml")
                                      : ControlsEscaped(AnsiToUtf8(report.description.entry));
  std::string broken;
  if (report.meta_damaged) {
    broken = report.description.intact ? "damaged in the package"
                                       : "damaged in the package (checksum mismatch)";
  } else if (report.description.entry.empty()) {
    broken = "not in the package";
  } else if (!report.description.intact) {
    broken = "damaged in the package (checksum mismatch)";
  } else if (!report.description_loads) {
    broken = "does not load as a show description";
  }
  if (!broken.empty()) {
    output.TakeBack();
    return Fail(args[0] + ": not extracted: " + description + " (" + broken + ")");
  }

  std::vector<std::string> failures;
  for (const ExtractedFile& file : report.files) {
    const std::string held = held_as(file);
    const std::string problem = Problem(file, held);
    if (problem.empty() || MayBeSharedAsset(file, held)) continue;
    failures.push_back(ControlsEscaped(AnsiToUtf8(held.empty() ? file.name : held)) + " (" + problem +
                       ")");
  }
  if (!report.meta_saved) {
    failures.push_back(
        "meta.xml (" +
        (report.meta_error == 0 ? std::string("not written") : ErrorInWords(report.meta_error)) +
        ")");
  }
  if (!failures.empty()) {
    return Fail(args[0] + ": not extracted into " + paths.Typed(folder) + ": " +
                NamedFailures(failures));
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
