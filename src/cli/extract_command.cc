// tavirelle extract PACKAGE DIR
//
// The component's extraction ignores what it cannot copy, as a player copes
// with a missing file; the command must not call such a folder extracted.
// Every entry that cannot be written, is damaged or fails its MD5, and every
// photo the show names that the package lacks, fails the command; music,
// audio captions and an icon the package lacks may be shared assets kept
// elsewhere, so each is only named in a warning.
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "package/show_package.h"
#include "platform/last_error.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// Why a file was not extracted, in words; empty when it was.
std::string Problem(const ExtractedFile& file) {
  return file.outside ? "its name leaves the folder" : DescribeEntrySave(file.save);
}

// Only a reference the package does not hold at all may be a shared asset.
bool MayBeSharedAsset(const ExtractedFile& file) {
  return !file.online_file && !file.outside &&
         file.save.result == EntrySaveResult::kMissing;
}

int RunExtract(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (args.size() != 2) return UsageError("extract");
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  UserPaths paths;
  if (!session.Open(paths.In(args[0]), false, &error)) return Fail(paths.Typed(error));
  std::string folder = AsOutputFolder(paths.OutFolder(args[1]));
  if (!CreateFolderPath(DefaultFileSystem(), ToAnsi(folder))) {
    return Fail(args[1] + ": the folder cannot be created (" + ErrorInWords(GetLastError()) +
                ")");
  }

  std::unique_ptr<ProgressBar> progress;
  ExtractReport report;
  ExtractShow(session.package(), ToAnsi(folder), &report, [&](size_t done, size_t total) {
    if (progress == nullptr) progress = std::make_unique<ProgressBar>(total);
    progress->Update(done);
  });
  progress.reset();

  if (report.repair_failed) {
    std::fprintf(stderr,
                 "tavirelle: warning: %s: the broken meta.xml was read from an older "
                 "version, but the package could not be repaired\n",
                 args[0].c_str());
  }
  std::vector<std::string> failures;
  for (const ExtractedFile& file : report.files) {
    std::string problem = Problem(file);
    if (problem.empty()) continue;
    std::string name = ToUtf8(file.name);
    if (MayBeSharedAsset(file)) {
      std::fprintf(stderr, "tavirelle: warning: %s: not in the package, skipped\n", name.c_str());
    } else {
      failures.push_back(name + " (" + problem + ")");
    }
  }
  if (!report.meta_saved) failures.push_back("meta.xml (" + ErrorInWords(report.meta_error) + ")");
  if (!failures.empty()) {
    // One line however many failed: the first few by name, then a count.
    const size_t kNamed = 5;
    std::string list;
    for (size_t i = 0; i < failures.size() && i < kNamed; ++i) {
      list += (i == 0 ? "" : ", ") + failures[i];
    }
    if (failures.size() > kNamed) {
      list += " and " + std::to_string(failures.size() - kNamed) + " more";
    }
    return Fail(args[0] + ": not extracted into " + paths.Typed(folder) + ": " + list);
  }
  std::printf("extracted: %s\n", paths.Typed(folder).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("extract", "PACKAGE DIR",
                  "copies the files the show refers to and its meta.xml into DIR; "
                  "fails when a photo or any file cannot be extracted whole",
                  RunExtract);

}  // namespace tavirelle
