#include "api/package_api.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <optional>
#include <set>
#include <unordered_map>

#include "util/text.h"
#include "metaxml/stored_show.h"
#include "package/show_info.h"
#include "platform/code_page.h"
#include "platform/links.h"
#include "platform/path.h"
#include "platform/readers.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"
#include "util/lane_groups.h"
#include "util/text.h"

namespace tavirelle {

PackageOpening OpenShowPackage(FileSystem& fs, const std::string& path, bool check_description) {
  PackageOpening opening;
  opening.package = std::make_unique<ShowPackage>(fs);
  opening.status = opening.package->OpenPackage(path, check_description);
  if (!opening.status.ok()) opening.package.reset();
  return opening;
}

std::string EntrySaveInWords(const EntrySave& save) {
  switch (save.result) {
    case EntrySaveResult::kSaved: return std::string();
    case EntrySaveResult::kMissing: return "not in the package";
    case EntrySaveResult::kDamaged: return "damaged in the package";
    case EntrySaveResult::kMismatch: return "damaged in the package (checksum mismatch)";
    case EntrySaveResult::kWriteFailed:
      return save.error == 0 ? "not written" : ErrorInWords(save.error);
  }
  return "not saved";
}

// --- The show description and the quick queries ----------------------------

DescriptionReading ReadShowDescription(ShowPackage& package) {
  DescriptionReading description;
  const std::string path = package.path();
  description.meta = package.ReadMetaText();
  // A host receives the text as UTF-16 read from UTF-8: what is not UTF-8
  // arrives replaced, and every host reads the same text.
  description.meta.text = WideToUtf8(Utf8ToWide(description.meta.text));
  // A repair that failed closes the package: the package as it stands now
  // tells whether the text is usable and whether it was written back.
  ShowPackage now(package.file_system());
  // A package that no longer opens has no usable text, which the check tells.
  now.OpenPackage(path, /*validateMeta=*/false).IgnoreError();
  if (!now.IsUsableMetaText(description.meta.text)) {
    description.status = Status::Error(
        ERROR_INVALID_DATA,
        now.FindEntry("meta.xml") == nullptr
            ? "the package holds no meta.xml"
            : "no usable show description: meta.xml and every older version "
              "are missing, broken or name no photo of the package");
    return description;
  }
  description.not_repaired = !now.IsUsableMetaText(now.ReadEntryText("meta.xml"));
  return description;
}

ShowQuery QueryShow(ShowPackage& package, const std::optional<IconSaving>& icon) {
  ShowQuery query;
  ShowInfo info = QuickShowInfo(package);
  query.icon = info.icon;
  query.title = info.title;
  if (icon && !query.icon.empty()) {
    if (!IsNameInsideFolder(query.icon)) {
      query.icon_leaves_folder = true;
      query.status = Status::Error(ERROR_INVALID_NAME, "its name leaves the folder");
      return query;
    }
    FileSystem& fs = package.file_system();
    const std::string target = icon->folder + query.icon;
    query.icon_save = package.SaveEntry(query.icon, target);
    if (icon->make_subfolders && query.icon_save.result == EntrySaveResult::kWriteFailed &&
        FileNameOf(query.icon) != query.icon && !FolderExists(fs, FolderOf(target))) {
      // A thumbnail icon lives in subfolders, made only when it needs them;
      // whether that worked, saving it again tells.
      EnsureFolderFor(fs, target).IgnoreError();
      query.icon_save = package.SaveEntry(query.icon, target);
    }
    if (!query.icon_save.saved()) {
      query.status = Status::Error(query.icon_save.error != 0 ? query.icon_save.error
                                                              : ERROR_WRITE_FAULT,
                                   EntrySaveInWords(query.icon_save));
      return query;
    }
  }
  query.show_code = ReadShowCode(package);
  query.server_mod_time = ReadServerModTime(package);
  query.local_modified = ReadLocalModified(package);
  return query;
}

std::string LegalFileName(const std::string& text) { return MakeLegalName(text); }

// --- Verifying -------------------------------------------------------------

const char* EntryCheckInWords(StoredEntryCheck check) {
  switch (check) {
    case StoredEntryCheck::kWhole: return nullptr;
    case StoredEntryCheck::kDamagedRecord: return "damaged record";
    case StoredEntryCheck::kCutOff: return "cut off";
    case StoredEntryCheck::kChecksumMismatch: return "checksum mismatch";
  }
  return "damaged record";
}

VerifyResult VerifyPackage(FileSystem& fs, const std::string& path, const VerifyOptions& options) {
  VerifyResult result;
  PackageOpening opening = OpenShowPackage(fs, path);
  result.status = opening.status;
  if (!result.status.ok()) return result;
  result.entries = opening.package->entries();
  const std::vector<PackageEntry>& entries = result.entries;
  result.checks.assign(entries.size(), StoredEntryCheck::kWhole);
  uint64_t total = 0;
  for (const PackageEntry& entry : entries) total += entry.size;
  uint64_t done = 0;
  // Entries are digested side by side, each read through a stream of its
  // own: the package object's stream has one position, which threads would
  // share.
  RunInLaneGroups(
      entries.size(), options.jobs, nullptr,
      [&](size_t first, size_t size) {
        CheckStoredEntries(fs, opening.package->path(), entries.data() + first, size,
                           result.checks.data() + first);
      },
      [&](size_t i) {
        done += entries[i].size;
        if (result.checks[i] != StoredEntryCheck::kWhole) ++result.damaged;
        if (options.checked) options.checked(entries[i], result.checks[i]);
        if (options.progress) options.progress(done, total);
        return !Cancelled(options.cancel);
      });
  if (Cancelled(options.cancel)) result.status = Status::Error(ERROR_CANCELLED);
  return result;
}

// --- Extracting ------------------------------------------------------------

namespace {

// What one run wrote into its output folder, and the folders it made for
// it: taken back when the run is stopped or writes nothing of the show.
// Files that stood there before and were not written stay.
class RunOutput {
 public:
  // Notes the levels of `folder` that are missing before anything makes them.
  RunOutput(FileSystem& fs, const std::string& folder) : fs_(fs) {
    std::string path = folder;
    auto trim = [](std::string& text) {
      while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    };
    trim(path);
    while (!path.empty() && path != "." && path != "/" && !PathExists(fs_, path)) {
      missing_.push_back(path);
      const size_t slash = path.find_last_of("/\\");
      path = slash == std::string::npos ? std::string() : path.substr(0, slash);
      trim(path);
    }
  }

  void Wrote(const std::string& path) { written_.push_back(path); }

  void TakeBack() {
    for (const std::string& path : written_) fs_.DeleteFile(path).IgnoreError();
    // Innermost first; a folder someone else has put something in stays.
    for (const std::string& folder : missing_) fs_.RemoveDirectory(folder).IgnoreError();
    written_.clear();
    missing_.clear();
  }

 private:
  FileSystem& fs_;
  std::vector<std::string> missing_, written_;
};

// The entries of `package` whose names would leave a folder they were
// written into ("/tmp/x.jpg", "\\x.jpg"), keyed by the name a show
// description that refers to them comes to (leading separators gone, '/'
// separators): such a reference finds no entry, and is reported under the
// entry's own name.
std::unordered_map<std::string, std::string> EntriesLeavingTheFolder(const ShowPackage& package) {
  std::unordered_map<std::string, std::string> leaving;
  for (const PackageEntry& entry : package.entries()) {
    if (IsNameInsideFolder(entry.name)) continue;
    std::string referred = entry.name;
    StripLeadingSeparators(referred);
    ReplaceChar(referred, '\\', '/');
    leaving.emplace(referred, entry.name);
  }
  return leaving;
}

}  // namespace

ExtractResult ExtractPackage(ShowPackage& package, const std::string& folder,
                             const ExtractPackageOptions& options) {
  ExtractResult result;
  FileSystem& fs = package.file_system();
  RunOutput output(fs, folder);
  Status made = CreateFolderPath(fs, folder);
  if (!made.ok()) {
    result.status = made;
    result.failure = ExtractFailure::kFolder;
    return result;
  }

  ExtractReport report;
  // Names the package holds only under a name that would leave the folder,
  // found the first time a file of the show is missing.
  std::optional<std::unordered_map<std::string, std::string>> leaving;
  auto describe = [&](const ExtractedFile& file) {
    std::string held;
    if (file.save.result == EntrySaveResult::kMissing) {
      if (!leaving) leaving = EntriesLeavingTheFolder(package);
      auto found = leaving->find(file.name);
      if (found != leaving->end()) held = found->second;
    }
    ExtractedShowFile told;
    told.name = held.empty() ? file.name : held;
    told.problem = file.outside || !held.empty() ? "a name that would leave the folder"
                                                 : EntrySaveInWords(file.save);
    // Only a reference the package does not hold at all may be a shared asset.
    told.shared_asset = !file.online_file && !file.outside && held.empty() &&
                        file.save.result == EntrySaveResult::kMissing;
    return told;
  };
  bool repair_told = false;
  auto tell_repair = [&]() {
    if (report.repair_failed && !repair_told && options.not_repaired) options.not_repaired();
    repair_told = true;
  };
  size_t told = 0;
  auto settled = [&](size_t done, size_t total) {
    tell_repair();
    for (; told < done && told < report.files.size(); ++told) {
      result.files.push_back(describe(report.files[told]));
      if (options.settled) options.settled(result.files.back());
    }
    if (options.progress) options.progress(done, total);
  };
  ExtractOptions extract;
  extract.jobs = options.jobs;
  extract.stop = options.cancel;
  extract.whole_description_only = true;
  ExtractShow(package, folder, &report, settled, extract);
  for (const ExtractedFile& file : report.files) {
    if (file.save.saved()) output.Wrote(folder + file.name);
  }
  if (report.meta_saved) output.Wrote(folder + "meta.xml");
  if (Cancelled(options.cancel)) {
    output.TakeBack();
    result.status = Status::Error(ERROR_CANCELLED);
    result.failure = ExtractFailure::kCancelled;
    return result;
  }
  tell_repair();
  for (size_t i = told; i < report.files.size(); ++i) result.files.push_back(describe(report.files[i]));

  result.description = report.description.entry.empty() ? std::string("meta.xml")
                                                         : report.description.entry;
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
    result.status = Status::Error(ERROR_CRC, broken);
    result.failure = ExtractFailure::kDescription;
    return result;
  }
  if (!report.meta_saved) {
    result.meta_problem =
        report.meta_error == 0 ? std::string("not written") : ErrorInWords(report.meta_error);
  }
  bool failed = !result.meta_problem.empty();
  for (const ExtractedShowFile& file : result.files) {
    if (!file.problem.empty() && !file.shared_asset) failed = true;
  }
  if (failed) {
    Status status = ExtractionStatus(report);
    result.status = status.ok() ? Status::Error(ERROR_FILE_NOT_FOUND, "a file of the show is missing")
                                : status;
    result.failure = ExtractFailure::kFiles;
  }
  return result;
}

Status ExtractForHost(ShowPackage& package, const std::string& folder) {
  return GenerateShowData(package, folder);
}

// --- Packing ---------------------------------------------------------------

namespace {

std::string WithThousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string TooLarge(uint64_t size) {
  return "the show is too large for one package: " + WithThousands(size) + " bytes, at most " +
         WithThousands(kMaxPackageSize);
}

PackResult PackFailed(PackFailure failure, Status status) {
  PackResult result;
  result.failure = failure;
  result.status = std::move(status);
  return result;
}

PackResult ShowFileFailed(const std::string& name, const std::string& words,
                          DWORD code = ERROR_INVALID_DATA) {
  PackResult result = PackFailed(PackFailure::kShowFile, Status::Error(code, words));
  result.show_file = name;
  return result;
}

// What a show description names: its photos, as the package stores them,
// and every file it refers to (icon, photos, audio captions, music, clip
// art), as written.
struct ShowReferences {
  std::vector<std::string> photos;
  std::vector<std::string> files;
};

bool ReadReferences(const std::string& meta_text, ShowReferences* references) {
  StoredShow show;
  if (!ReadStoredShow(meta_text, &show).ok()) return false;
  std::set<std::string> seen;
  auto refer = [&](const std::string& name) {
    if (!name.empty() && seen.insert(name).second) references->files.push_back(name);
  };
  refer(show.icon);
  for (const StoredImage& image : show.images) {
    refer(image.online_filename);
    refer(image.audio_caption);
    if (image.music) refer(image.music->file);
    for (const StoredClip& clip : image.clips) refer(clip.file);
    std::string name = image.online_filename;
    std::replace(name.begin(), name.end(), '/', '\\');
    name.erase(0, name.find_first_not_of('\\'));
    if (!name.empty()) references->photos.push_back(name);
  }
  return true;
}

// Whether a package can hold a file of this name: it stores only these
// kinds, and a show that names another would lose it.
bool PackageHoldsKind(const std::string& name) {
  const std::string extension = Extension(name);
  return extension == ".jpg" || extension == ".mp3" || extension == ".swf" || extension == ".xml";
}

// The first show file that is a symbolic link leading anywhere but to a
// regular file inside the show folder, as a failure; none when there is
// none. A link to a private file elsewhere (/etc/shadow) would otherwise go
// into a package made to be handed on.
std::optional<PackResult> LinkLeavingTheFolder(const std::string& folder,
                                               const std::vector<PackageSource>& sources) {
  for (const PackageSource& source : sources) {
    switch (ReachOfLink(folder, source.path)) {
      case LinkReach::kNoLink:
      case LinkReach::kFileInside:
        break;
      case LinkReach::kNotAFile:
        return ShowFileFailed(FileNameOf(source.path),
                              "a link to something that is not a file; not packed");
      case LinkReach::kOutside:
        return ShowFileFailed(FileNameOf(source.path),
                              "a link that leads out of the show folder; only links to files "
                              "inside it are packed");
    }
  }
  return std::nullopt;
}

// Whether `folder` holds a show that can be packed; the failure that says
// what is missing otherwise.
std::optional<PackResult> CheckShowFolder(FileSystem& fs, const std::string& folder,
                                          std::vector<PackageSource>* sources) {
  Status listed = ListPackageSources(fs, folder, sources);
  if (!listed.ok()) {
    return PackFailed(PackFailure::kFolder,
                      Status::Error(listed.code(), ErrorInWords(listed.code())));
  }
  if (auto link = LinkLeavingTheFolder(folder, *sources)) return link;
  std::string meta_path = folder;
  WithTrailingSeparator(meta_path, /*backslash=*/false, /*add=*/true);
  meta_path += "meta.xml";
  if (!PathExists(fs, meta_path) || FolderExists(fs, meta_path)) {
    return ShowFileFailed("meta.xml", "no such file (not a show folder)", ERROR_FILE_NOT_FOUND);
  }
  std::string meta_text;
  Status read = ReadWholeFile(fs, meta_path, &meta_text);
  if (!read.ok()) return ShowFileFailed("meta.xml", ErrorInWords(read.code()), read.code());
  ShowReferences references;
  if (!ReadReferences(meta_text, &references)) {
    return ShowFileFailed("meta.xml", "does not load as a show description");
  }
  if (references.photos.empty()) return ShowFileFailed("meta.xml", "the show has no photos");
  std::vector<std::string> lost;
  for (const std::string& file : references.files) {
    if (!PackageHoldsKind(file)) lost.push_back(AnsiToUtf8(file));
  }
  if (!lost.empty()) {
    std::string words =
        "names files a package cannot hold (only .jpg, .mp3, .swf and .xml files are packed): " +
        lost[0];
    for (size_t i = 1; i < lost.size() && i < 5; ++i) words += ", " + lost[i];
    if (lost.size() > 5) words += " and " + std::to_string(lost.size() - 5) + " more";
    return ShowFileFailed("meta.xml", words);
  }
  std::set<std::string> stored;
  for (const PackageSource& source : *sources) stored.insert(source.storedName);
  std::vector<std::string> missing;
  for (const std::string& photo : references.photos) {
    if (stored.count(photo) == 0) missing.push_back(photo);
  }
  if (!missing.empty()) {
    std::string words = "no such file (a photo the show names";
    if (missing.size() > 1) words += ", and " + std::to_string(missing.size() - 1) + " more missing";
    return ShowFileFailed(missing[0], words + ")", ERROR_FILE_NOT_FOUND);
  }
  return std::nullopt;
}

// One package being written, shared with the thread that writes it: a write
// stuck in a read that never ends (a pipe among the show files) is given up
// on when cancelled, and the thread may outlive the call.
struct PackageWrite {
  explicit PackageWrite(FileSystem& fs) : writer(fs) {}
  ShowPackage writer;
  std::mutex mutex;
  bool abandoned = false;  // the caller's callbacks are no longer called
  std::string partial;
  ProgressFn progress;
  CancelToken cancel;
};

// How long a cancelled write may take to stop by itself before the call
// gives up on it.
constexpr std::chrono::milliseconds kCancelGrace{500};

Status WriteShow(FileSystem& fs, const std::string& folder, const std::string& target,
                 uint64_t size, const PackOptions& options, std::string* written) {
  auto write = std::make_shared<PackageWrite>(fs);
  write->progress = options.progress;
  write->cancel = options.cancel;
  PackageWriteHooks hooks;
  hooks.progress = [write, size](uint64_t done) {
    std::lock_guard<std::mutex> lock(write->mutex);
    if (!write->abandoned && write->progress) write->progress(std::min(done, size), size);
  };
  hooks.cancelled = [write]() {
    std::lock_guard<std::mutex> lock(write->mutex);
    return write->abandoned || Cancelled(write->cancel);
  };
  hooks.started = [write](const std::string& partial) {
    std::lock_guard<std::mutex> lock(write->mutex);
    write->partial = partial;
  };
  auto published = std::make_shared<std::string>(target);
  std::packaged_task<Status()> task([write, hooks, published, folder]() {
    return write->writer.WritePackage(*published, folder, hooks);
  });
  std::future<Status> done = task.get_future();
  std::thread(std::move(task)).detach();
  // The token is a question, not an event: it is asked while the writer
  // works, as the writer itself asks it after every write.
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (!Cancelled(options.cancel)) continue;
    if (done.wait_for(kCancelGrace) == std::future_status::ready) break;
    std::string partial;
    {
      std::lock_guard<std::mutex> lock(write->mutex);
      write->abandoned = true;
      partial = write->partial;
    }
    if (!partial.empty()) {
      SetReadOnly(fs, partial, false).IgnoreError();  // the deletion tells
      fs.DeleteFile(partial).IgnoreError();
    }
    return Status::Error(ERROR_CANCELLED);
  }
  Status status = done.get();
  if (status.ok()) *written = *published;
  return status;
}

}  // namespace

PackResult PackShow(FileSystem& fs, const std::string& folder, const std::string& target,
                    const PackOptions& options) {
  std::vector<PackageSource> sources;
  if (auto problem = CheckShowFolder(fs, folder, &sources)) return *problem;
  const uint64_t size = PackageSizeOf(sources);
  if (size > kMaxPackageSize) {
    return PackFailed(PackFailure::kFolder, Status::Error(ERROR_FILE_TOO_LARGE, TooLarge(size)));
  }
  // An empty name would be taken as the current folder's.
  if (target.empty()) {
    return PackFailed(PackFailure::kPackage,
                      Status::Error(ERROR_INVALID_PARAMETER, "invalid argument"));
  }

  // The package is created no more readable than the least readable file
  // it holds (the owner keeps reading it), even while written.
  std::vector<std::string> source_paths;
  for (const PackageSource& source : sources) source_paths.push_back(source.path);
  std::optional<ReadersNoWiderThan> readers(std::in_place, source_paths);
  if (options.progress) options.progress(0, size);
  PackResult result;
  result.size = size;
  result.status = WriteShow(fs, folder, target, size, options, &result.written);
  readers.reset();
  if (result.status.ok()) return result;
  result.written.clear();
  if (Cancelled(options.cancel)) {
    result.failure = PackFailure::kCancelled;
    result.status = Status::Error(ERROR_CANCELLED);
    return result;
  }
  if (result.status.code() == ERROR_FILE_TOO_LARGE) {
    // A show file grew after the check; a listing that fails now leaves the
    // size of the limit itself.
    ListPackageSources(fs, folder, &sources).IgnoreError();
    return PackFailed(PackFailure::kFolder,
                      Status::Error(ERROR_FILE_TOO_LARGE,
                                    TooLarge(std::max(PackageSizeOf(sources), kMaxPackageSize + 1))));
  }
  // A show file that cannot be read now is the likely cause, and the
  // failure names it rather than the package.
  for (const PackageSource& source : sources) {
    std::unique_ptr<File> file;
    Status opened = fs.Open(source.path, GENERIC_READ, Disposition::kOpenExisting, &file);
    if (!opened.ok()) {
      result.failure = PackFailure::kSource;
      result.source_path = source.path;
      result.status = Status::Error(opened.code(), ErrorInWords(opened.code()));
      return result;
    }
  }
  result.failure = PackFailure::kPackage;
  const DWORD code = result.status.code();
  result.status = Status::Error(
      code, code == ERROR_SUCCESS ? std::string("the package could not be written") : ErrorInWords(code));
  return result;
}

}  // namespace tavirelle
