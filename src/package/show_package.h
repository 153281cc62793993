// ShowPackage: one open show package, read in place entry by entry, with the
// fall-back to older numbered versions of a broken "meta.xml" and its repair,
// and the writer that packs a show folder into a new package.
#ifndef TAVIRELLE_PACKAGE_SHOW_PACKAGE_H_
#define TAVIRELLE_PACKAGE_SHOW_PACKAGE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "package/record_format.h"
#include "package/streams.h"
#include "platform/file_system.h"
#include "platform/status.h"
#include "tavirelle/types.h"

namespace tavirelle {

// What became of one entry copied out of the package into a file.
enum class EntrySaveResult {
  kSaved,
  kMissing,      // no entry of that name, after the name's fall-backs
  kDamaged,      // its record cannot be read whole
  kMismatch,     // its bytes differ from the directory's MD5
  kWriteFailed,  // the file could not be written; `error` says why
};

struct EntrySave {
  EntrySaveResult result = EntrySaveResult::kMissing;
  DWORD error = 0;  // the platform error of a failed write
  bool saved() const { return result == EntrySaveResult::kSaved; }
};
// Part of the temporary name a package is written under until complete:
// ".NAME.tavirelle-partial-XXXXXXXX" beside the final name.
inline constexpr char kPartialPackageMarker[] = ".tavirelle-partial-";

// The show description GetMetaText settles on, with the entry it was read
// from, so that a reader can check it as it checks every other entry.
struct MetaText {
  std::string text;   // the entry's bytes up to the first zero byte
  std::string entry;  // "meta.xml" or the "meta.xml.N" it fell back to; empty when none
  bool intact = false;  // the entry's bytes are the ones its directory digest states
};

// A file that WritePackage stores: where it is, the name it is stored under
// and its size when listed.
struct PackageSource {
  std::string path;
  std::string storedName;
  uint64_t size = 0;
};
// The files WritePackage stores from `dataFolder`, in its order: the
// top-level "*.swf", "*.mp3", "*.jpg" and "*.xml" files. Fails when a
// listing failed (ERROR_PATH_NOT_FOUND when there is no such folder).
Status ListPackageSources(FileSystem& fs, const std::string& dataFolder,
                          std::vector<PackageSource>* sources);
// The bytes of the package those files make; more than kMaxPackageSize
// cannot be written.
uint64_t PackageSizeOf(const std::vector<PackageSource>& sources);

// What a caller of WritePackage may follow and stop the write by.
struct PackageWriteHooks {
  // The package's bytes written so far, from the writing thread.
  std::function<void(uint64_t written)> progress;
  // Asked after every write and before publishing; once true the write
  // fails with ERROR_CANCELLED and the temporary file goes.
  std::function<bool()> cancelled;
  // The temporary file, once created: a caller that gives up on a write
  // stuck in a read that never ends (a pipe) removes it itself.
  std::function<void(const std::string& partial)> started;
};

class ShowPackage {
 public:
  // Reads and writes packages and entries through `fs`, which must outlive
  // the object.
  explicit ShowPackage(FileSystem& fs);
  FileSystem& file_system() const { return fs_; }
  ~ShowPackage();
  ShowPackage(const ShowPackage&) = delete;
  ShowPackage& operator=(const ShowPackage&) = delete;

  // --- Writing -------------------------------------------------------------

  // Packs the top-level "*.swf", "*.mp3", "*.jpg" and "*.xml" files of
  // `dataFolder` into a new package. The package is written under a
  // temporary name beside `exportFilename` (hooks.started names it, for a
  // host that may have to remove it itself) and moved to `exportFilename`
  // once complete,
  // never replacing a file: when the name is taken then, a unique name is
  // chosen and written back into `exportFilename`. On failure nothing is left
  // behind (except on a write-protected medium); the Status, and
  // lastError()/lastErrorText() until the next failure, give the platform
  // error when there was one (ERROR_DISK_FULL, ERROR_WRITE_PROTECT, ...);
  // ERROR_FILE_TOO_LARGE when the package would pass kMaxPackageSize.
  Status WritePackage(std::string& exportFilename, const std::string& dataFolder,
                      const PackageWriteHooks& hooks = {});
  int32_t lastError() const { return lastError_; }
  const std::string& lastErrorText() const { return lastErrorText_; }

  // --- Reading -------------------------------------------------------------

  // Opens a package and reads its directory; with `validateMeta` the
  // "meta.xml" entry is checked at once (and repaired when it is broken).
  // Fails with the OpenFailure that says why the file is not a usable
  // package.
  Status OpenPackage(const std::string& path, bool validateMeta);
  void ClosePackage();
  bool IsOpen() const { return packageFile_ != nullptr; }
  // The path of the package last opened.
  const std::string& path() const { return path_; }

  // The directory of the open package, in directory order.
  const std::vector<PackageEntry>& entries() const { return entries_; }
  const std::vector<PackageEntry>& pending() const { return pending_; }
  // The first directory entry named exactly `name`, or null.
  const PackageEntry* FindEntry(const std::string& name) const;

  // Reads the entry that `name` denotes (after the name normalisation of
  // show descriptions: "file:///", slashes, drive prefixes, ".mp3" names,
  // "\SHOWCODE\" paths and thumbnail fall-backs). `data` receives the
  // entry's bytes; data->c_str() is zero-terminated after them.
  bool ReadEntry(const std::string& name, std::string* data);
  // The entry as text: its bytes up to the first zero byte; empty when
  // missing.
  std::string ReadEntryText(const std::string& name);
  // Reads the stored-file headers of `entry` and then at most `maxBytes` of
  // its data (fewer when the data ends first). False when the headers are
  // damaged or no package is open. *whole (when given) tells whether the
  // package holds all the bytes the directory states for the entry.
  bool ReadEntryHead(const PackageEntry& entry, uint32_t maxBytes,
                     std::string* head, bool* whole = nullptr);

  // Whether `text` is a usable show description for this package: it has
  // the show's frame and its first image names an entry of the package.
  bool IsUsableMetaText(const std::string& text) const;
  // The current show description, falling back to the newest usable
  // numbered version (and writing it back as "meta.xml") when the current
  // one is unusable.
  std::string GetMetaText() { return ReadMetaText().text; }
  // GetMetaText, telling which entry the text came from and whether that
  // entry's bytes match its digest.
  MetaText ReadMetaText();

  // Queues an entry to be appended by CommitPending.
  void StorePending(const std::string& name, const void* data, uint32_t size);
  // Appends the queued entries and a new directory to the package. When
  // this fails part-way the package still opens with its previous
  // directory, and the status says why (the write's platform error).
  Status CommitPending();

  // Saves the entry's bytes as the file `path` (no folder is created),
  // copying them from the package in blocks rather than whole and checking
  // them against the directory's MD5 on the way. The bytes go to a new file
  // beside `path` that then replaces it, so a link standing at `path` is
  // replaced rather than written through, and a failed or damaged copy
  // leaves whatever was there before.
  EntrySave SaveEntry(const std::string& name, const std::string& path);
  bool SaveEntryToFile(const std::string& name, const std::string& path) {
    return SaveEntry(name, path).saved();
  }
  // SaveEntry for every (name, path) pair, each with the outcome SaveEntry
  // gives it, but faster: entries stored plainly in the package are read,
  // digested eight at a time and written on up to `jobs` threads (on a file
  // system that serves one thread at a time, one after another as
  // SaveEntry does). `saved(i, outcome)` is called on the calling thread as
  // pair i is settled, in order. Paths must differ.
  //
  // `stop` (from any thread) is asked before each group of entries is
  // started: once it answers true, no further entry is started, the ones
  // being written are finished, and the pairs never settled (saved() was not
  // called for them) keep the outcome kMissing, with no file written.
  std::vector<EntrySave> SaveEntries(
      const std::vector<std::pair<std::string, std::string>>& targets, unsigned jobs,
      const std::function<void(size_t, const EntrySave&)>& saved = {},
      const std::function<bool()>& stop = {});

 private:
  class EntrySink;
  class StringSink;
  class FileSink;

  // The lookup behind ReadEntry and SaveEntryToFile: normalises the name,
  // finds the entry (with the thumbnail fall-backs) and hands its bytes to
  // `sink`.
  bool ReadEntryInto(const std::string& name, EntrySink& sink);
  // The name ReadEntryInto looks up for `requested`, and whether the
  // thumbnail fall-backs apply to it.
  static std::string LookupName(const std::string& requested, bool* thumbnail);
  struct SaveTarget;
  // Saves up to eight plainly stored entries side by side through streams
  // of their own; a target whose record turns out damaged is left for
  // SaveEntry, which knows the fall-backs.
  void SaveStoredTogether(SaveTarget* group, size_t size);
  bool ReadEntryExact(const std::string& name, bool thumbnail, EntrySink& sink);
  bool SeekPastStoredHeaders(const PackageEntry& entry);
  // Rebuilds the name index after the directory changed.
  void IndexEntries();

  FileSystem& fs_;
  int32_t lastError_ = 0;
  std::string lastErrorText_;
  std::vector<PackageEntry> entries_;
  // Position in entries_ of the first entry of each name.
  std::unordered_map<std::string, size_t> index_;
  std::vector<PackageEntry> pending_;
  std::unique_ptr<file_io> packageFile_;
  std::string path_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_PACKAGE_SHOW_PACKAGE_H_
