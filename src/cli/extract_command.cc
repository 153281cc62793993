// tavirelle extract [--jobs N] PACKAGE DIR
//
// The component's extraction ignores what it cannot copy, as a player copes
// with a missing file; the command must not call such a folder extracted.
// Every entry that cannot be written, is damaged or fails its MD5, and every
// photo the show names that the package lacks, fails the command; music,
// audio captions and an icon the package lacks may be shared assets kept
// elsewhere, so each is only named in a warning.
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/interruption.h"
#include "cli/package_checks.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"
#include "util/md5_lanes.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

// Only a reference the package does not hold at all may be a shared asset.
bool MayBeSharedAsset(const ShowFile& file, const EntrySave& save) {
  return !file.online_file && !file.outside && save.result == EntrySaveResult::kMissing;
}

// `bytes` as the interface hands a text over: read as UTF-8 into UTF-16.
std::string AsHandedOver(const std::string& bytes) {
  ScopedBstr wide(BstrFromUtf8(bytes));
  return WideToUtf8(BstrView(wide.get()));
}

// Runs the component's extraction, with the files of the show that have
// arrived in `folder` as its progress.
HRESULT Extract(FileIOSession& session, const std::vector<ShowFile>& files,
                const std::string& folder) {
  std::future<HRESULT> extracting =
      std::async(std::launch::async, [&]() { return session->GenerateTavirelleData(); });
  ProgressBar progress(files.size() + 1);
  progress.Update(0);
  while (extracting.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    size_t arrived = 0;
    for (const ShowFile& file : files)
      arrived += PathExists(DefaultFileSystem(), folder + file.name) ? 1 : 0;
    progress.Update(arrived);
  }
  HRESULT status = extracting.get();
  if (status == S_OK) progress.Update(files.size() + 1);
  return status;
}

// Checks what the module wrote into `folder` against the package: every
// file the show names, and its description. Returns one text per file that
// did not arrive whole, naming it and why; warns about shared assets the
// package may lack. The files are read and digested on up to `jobs` threads;
// only those that do not match are looked into, in order, on this one.
std::vector<std::string> CheckExtraction(ShowPackage& package, const std::vector<ShowFile>& files,
                                         const std::string& ansi_folder,
                                         const std::string& meta_text, unsigned jobs) {
  // The description as written holds the very bytes the extraction read the
  // show from, where the text handed over may have lost some.
  const std::string meta_path = ansi_folder + "meta.xml";
  std::string written_meta;
  DWORD meta_error = 0;
  const bool meta_saved = (ReadWholeFile(DefaultFileSystem(), meta_path, &written_meta) &&
                           AsHandedOver(written_meta) == meta_text) ||
                          CheckSavedText(meta_path, meta_text, &meta_error);
  std::vector<std::string> failures;
  const std::vector<ShowFile> checked = meta_saved ? FilesOfShow(written_meta) : files;
  // Not a vector<bool>: its elements share bytes, which threads may not.
  std::unique_ptr<bool[]> matches(new bool[checked.size()]());
  // Each item is a group of files digested side by side.
  constexpr size_t kGroup = Md5Lanes::kLanes;
  auto check = [&](size_t g) {
    std::vector<std::string> names, paths;
    std::vector<size_t> at;
    for (size_t i = g * kGroup; i < checked.size() && i < (g + 1) * kGroup; ++i) {
      if (checked[i].outside) continue;
      names.push_back(checked[i].name);
      paths.push_back(ansi_folder + checked[i].name);
      at.push_back(i);
    }
    std::unique_ptr<bool[]> found(new bool[names.size() + 1]());
    SavedEntriesMatch(package, names, paths, found.get());
    for (size_t k = 0; k < at.size(); ++k) matches[at[k]] = found[k];
  };
  auto take_one = [&](size_t i) {
    const ShowFile& file = checked[i];
    if (matches[i]) return true;
    EntrySave save;
    std::string problem = "its name leaves the folder";
    if (!file.outside) {
      save = DiagnoseSavedEntry(package, file.name, ansi_folder + file.name);
      problem = DescribeEntrySave(save);
    }
    if (problem.empty()) return true;
    std::string name = ToUtf8(file.name);
    if (MayBeSharedAsset(file, save)) {
      std::fprintf(stderr, "tavirelle: warning: %s: not in the package, skipped\n", name.c_str());
    } else {
      failures.push_back(name + " (" + problem + ")");
    }
    return true;
  };
  auto take = [&](size_t g) {
    for (size_t i = g * kGroup; i < checked.size() && i < (g + 1) * kGroup; ++i) take_one(i);
    return true;
  };
  RunInOrder((checked.size() + kGroup - 1) / kGroup, jobs, check, take);
  if (!meta_saved) {
    failures.push_back("meta.xml (" + (meta_error == 0 ? std::string("not written")
                                                       : ErrorInWords(meta_error)) + ")");
  }
  return failures;
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

int ExtractInto(const std::vector<std::string>& arguments, Interruption& interruption) {
  std::vector<std::string> args = arguments;
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "extract")) return status;
  if (int status = ExpectOperands(args, 2, "extract")) return status;
  FileIOSession session;
  UserPaths paths;
  if (int status = session.OpenArgument(args[0], paths)) return status;
  std::string folder = AsOutputFolder(paths.OutFolder(args[1]));
  const std::string ansi_folder = ToAnsi(folder);
  if (!CreateFolderPath(DefaultFileSystem(), ansi_folder)) {
    return Fail(args[1] + ": the folder cannot be created (" + ErrorInWords(GetLastError()) +
                ")");
  }
  ScopedBstr output(BstrFromAnsi(ansi_folder));
  session->put_OutputPath(output.get());

  // The description the extraction works from (a broken one is replaced by
  // the newest usable version and written back) tells which files to expect.
  ScopedBstr meta;
  if (session->GetMetaXml(meta.Receive()) != S_OK) {
    return Fail(args[0] + ": the show cannot be read");
  }
  const std::string meta_text = WideToUtf8(BstrView(meta.get()));
  ShowPackage package(DefaultFileSystem());
  package.OpenPackage(session.package_path(), /*validateMeta=*/false);
  const bool repair_failed = DescriptionNotRepaired(package, meta_text);
  // A repair that could not be written closes the object's package; the
  // show is still in it as it stands.
  if (repair_failed && !session.Reopen()) return Fail(args[0] + ": the show cannot be read");
  const std::vector<ShowFile> files = FilesOfShow(meta_text);
  // The component tells only the first thing that went wrong; the check
  // below names every file.
  const HRESULT extracted = Extract(session, files, ansi_folder);
  if (extracted == E_FAIL || extracted == E_OUTOFMEMORY) {
    return Fail(args[0] + ": the show cannot be read");
  }
  if (interruption.signal() != 0) {
    return Fail(paths.Typed(folder) + ": interrupted; the files written there are whole");
  }

  if (repair_failed) WarnDescriptionNotRepaired(args[0]);
  std::vector<std::string> failures = CheckExtraction(package, files, ansi_folder, meta_text, jobs);
  if (failures.empty() && FAILED(extracted)) failures.push_back(HresultInWords(extracted));
  if (!failures.empty()) {
    return Fail(args[0] + ": not extracted into " + paths.Typed(folder) + ": " +
                NamedFailures(failures));
  }
  std::printf("extracted: %s\n", paths.Typed(folder).c_str());
  std::fflush(stdout);
  return 0;
}

// Ctrl-C waits for the extraction under way: the component writes each file
// under a temporary name and renames it when whole, so stopping it half-way
// would leave those names behind.
int RunExtract(const std::vector<std::string>& arguments) {
  Interruption interruption;
  const int status = ExtractInto(arguments, interruption);
  interruption.ReRaise();
  return status;
}

}  // namespace

TAVIRELLE_COMMAND("extract", "[--jobs N] PACKAGE DIR",
                  "copies the files the show refers to and its meta.xml into DIR; "
                  "fails when a photo or any file cannot be extracted whole",
                  RunExtract);

}  // namespace tavirelle
