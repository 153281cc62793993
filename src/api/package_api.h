// The package side of the library's API: opening a package with the reason
// it failed, its show description with what became of it, the quick
// queries, listing, verifying, extracting and packing. Paths are code-page
// text, as the package library takes them.
#ifndef TAVIRELLE_API_PACKAGE_API_H_
#define TAVIRELLE_API_PACKAGE_API_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/api.h"
#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// --- Opening ---------------------------------------------------------------

struct PackageOpening {
  Status status;  // why the file is not a usable package, in words
  std::unique_ptr<ShowPackage> package;  // open when status is ok
};

// Opens the package at `path`; with `check_description` its meta.xml is
// checked (and repaired) at once. Opening without the check never writes.
PackageOpening OpenShowPackage(FileSystem& fs, const std::string& path,
                               bool check_description = false);

// Why an entry was not saved as a file, in words; empty when it was.
std::string EntrySaveInWords(const EntrySave& save);

// --- The show description and the quick queries ----------------------------

struct DescriptionReading {
  // Fails when no usable description is left (words say which case).
  Status status;
  // The description as a host receives it (UTF-8), with the entry it came
  // from.
  MetaText meta;
  // The current meta.xml was broken and the older version read instead
  // could not be written back over it (a read-only package).
  bool not_repaired = false;
};

// The current description of the open package, falling back to the newest
// usable older version and writing it back, as a host's reading does.
DescriptionReading ReadShowDescription(ShowPackage& package);

struct ShowQuery {
  Status status;  // only an icon that could not be saved fails
  std::string icon;   // the entry that shows the show (code page)
  std::string title;  // code page
  std::string show_code;
  std::string server_mod_time;
  bool local_modified = false;
  // With an icon folder: the icon's name would leave it (nothing saved).
  bool icon_leaves_folder = false;
  EntrySave icon_save;  // with an icon folder and an icon
};

struct IconSaving {
  // Where the icon goes: a folder ending with a separator, or empty for the
  // current folder.
  std::string folder;
  // Make the subfolders a thumbnail icon lives in ("w133\h100\") when
  // missing; an automation host is promised that they must exist.
  bool make_subfolders = true;
};

// The show's icon, title, code, modification time on the sharing service
// and local-modified flag, from the head of the open package's meta.xml and
// its info entries. With `icon` the icon entry is also saved as a file.
ShowQuery QueryShow(ShowPackage& package, const std::optional<IconSaving>& icon = std::nullopt);

// `text` (code page) made into a legal file name.
std::string LegalFileName(const std::string& text);

// --- Verifying -------------------------------------------------------------

struct VerifyOptions {
  unsigned jobs = 1;
  ProgressFn progress;  // bytes of entries read
  // Each entry once checked, in directory order, on the calling thread.
  std::function<void(const PackageEntry& entry, StoredEntryCheck check)> checked;
  CancelToken cancel;
};

struct VerifyResult {
  Status status;  // the open's failure, or ERROR_CANCELLED
  std::vector<PackageEntry> entries;       // the directory
  std::vector<StoredEntryCheck> checks;    // one per entry
  size_t damaged = 0;
};

// Reads every entry the directory of the package at `path` lists, each at
// its own offset, against its MD5. Never changes the package.
VerifyResult VerifyPackage(FileSystem& fs, const std::string& path, const VerifyOptions& options);

// What is wrong with a checked entry, in words; null when it is whole.
const char* EntryCheckInWords(StoredEntryCheck check);

// --- Extracting ------------------------------------------------------------

// What became of one file of the show.
struct ExtractedShowFile {
  std::string name;     // the name the package holds it under (code page)
  std::string problem;  // why it was not written whole, in words; empty when it was
  // Missing from the package, and a reference a player may find elsewhere
  // (music, audio captions, an icon): worth a warning only.
  bool shared_asset = false;
};

enum class ExtractFailure {
  kNone,
  kFolder,       // the output folder cannot be made: status code
  kCancelled,    // what the run wrote is taken back
  kDescription,  // the description cannot be trusted: nothing written
  kFiles,        // files (or meta.xml) failed: `files`, `meta_problem`
};

struct ExtractPackageOptions {
  unsigned jobs = 1;
  ProgressFn progress;  // files settled
  // Each file of the show once settled, in the show's order, before the
  // progress that counts it.
  std::function<void(const ExtractedShowFile& file)> settled;
  // The description came from an older version that could not be written
  // back; told once, before the first file.
  std::function<void()> not_repaired;
  CancelToken cancel;
};

struct ExtractResult {
  Status status;
  ExtractFailure failure = ExtractFailure::kNone;
  std::vector<ExtractedShowFile> files;  // in the show's order
  std::string description;  // kDescription: the entry it came from (code page)
  std::string meta_problem;  // meta.xml was not written: why, in words
};

// Copies the files the show of the open `package` refers to, and its
// meta.xml, into `folder` (code page, ending with a separator), made with
// its missing parents. Every entry is digested once, as it is copied.
// A description that fails its digest or does not load writes nothing; when
// cancelled, the files and folders the run made are removed.
ExtractResult ExtractPackage(ShowPackage& package, const std::string& folder,
                             const ExtractPackageOptions& options);

// The extraction an automation host asks for (GenerateTavirelleData), told
// as one status: ok when the description and every entry the package holds
// for the show were written whole into `folder` (which must exist);
// otherwise the error of the first write that failed (in the show's order,
// meta.xml last), else ERROR_CRC for a damaged description or entry. An
// entry the package lacks, or whose name would leave the folder, is no
// failure. A failure without a code when no package is open.
Status ExtractForHost(ShowPackage& package, const std::string& folder);

// --- Packing ---------------------------------------------------------------

struct PackOptions {
  ProgressFn progress;  // bytes of the package written
  CancelToken cancel;
};

enum class PackFailure {
  kNone,
  kFolder,    // the show folder as a whole (status words)
  kShowFile,  // a file of the folder: `show_file`, its name in it
  kSource,    // a show file that could not be read: `source_path`
  kPackage,   // the package could not be written (status code, words)
  kCancelled,
};

struct PackResult {
  Status status;
  PackFailure failure = PackFailure::kNone;
  std::string show_file;    // kShowFile
  std::string source_path;  // kSource
  std::string written;      // the package's path once written
  uint64_t size = 0;        // the package's planned size, once the checks passed
};

// Checks that `folder` (code page) holds a show a package can take (a
// meta.xml that loads and names photos, all present, only files a package
// holds, no link out of the folder, a size one package addresses) and packs
// it into a new package at `target`, or the next free name beside it. The
// package is no more readable than its least readable show file. On failure
// or cancellation no package and no temporary file stays. A write stuck in
// a read that never ends (a pipe among the show files) is given up on when
// cancelled: its thread ends with that read, so `fs` must outlive it (the
// default file system does).
PackResult PackShow(FileSystem& fs, const std::string& folder, const std::string& target,
                    const PackOptions& options);

}  // namespace tavirelle

#endif  // TAVIRELLE_API_PACKAGE_API_H_
