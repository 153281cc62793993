// ShowPackage::WritePackage: packs a show folder into a new package file.
//
// The package is written under a temporary name beside the target and
// published under the final name only when complete, so that an interrupted
// or failed write never leaves a package that looks whole. The temporary
// file keeps the unfinished mark in its 'L' record until the very end, so
// one left by a killed process never opens as a package.
#include <memory>
#include <vector>

#include "package/lane_packer.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "platform/partial_files.h"
#include "platform/status.h"
#include "util/file_utils.h"
#include "util/text.h"

namespace tavirelle {

namespace {

const char* WriteErrorText(int32_t error) {
  switch (error) {
    case ERROR_SUCCESS: return "";
    case ERROR_DISK_FULL: return "#write_error_disc_full";
    case ERROR_WRITE_PROTECT: return "#write_error_write_protected";
    case ERROR_ACCESS_DENIED: return "#write_access_denied";
    default: return "#write_error_general";
  }
}

// Removes a package that was not completed. The read-only mark set while
// writing would make the deletion fail, so it is cleared first (twice if
// need be: a medium that refused once may not refuse again).
void RemovePartialPackage(FileSystem& fs, const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    SetReadOnly(fs, path, false).IgnoreError();  // the deletion tells
    if (fs.DeleteFile(path).ok()) return;
    if (!PathExists(fs, path)) return;
  }
}

// A name beside `target` that says what the file is and cannot be taken for
// a package name a user chose: ".NAME.tavirelle-partial-XXXXXXXX". Long
// names are shortened so that the temporary name stays within the limits of
// a file name.
std::string PartialPackageName(const std::string& target) {
  size_t separator = target.find_last_of("\\/");
  size_t start = separator == std::string::npos ? 0 : separator + 1;
  std::string name = target.substr(start, 60);
  std::string unique = NewGuidText(false).substr(0, 8);
  return target.substr(0, start) + "." + name + kPartialPackageMarker + LowerCase(unique);
}

// Creates the temporary file exclusively: a file already at a name (one that
// another writer chose) is never written over.
std::string CreatePartialPackage(FileSystem& fs, const std::string& target) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string path = PartialPackageName(target);
    std::unique_ptr<File> file;
    if (fs.Open(path, GENERIC_WRITE, Disposition::kCreateNew, &file).ok()) return path;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return {};
}

// Moves the finished package to `target`, or to the next free "NAME (n)"
// name when `target` is taken, never replacing a file: the unique name is
// chosen at the moment of publishing. Returns the name used, or the empty
// text with the platform's error.
std::string PublishPackage(FileSystem& fs, const std::string& partial, const std::string& target) {
  std::string name = target;
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PathExists(fs, name)) name = MakeUniqueName(fs, target);
    if (name.empty()) break;
    if (fs.MoveFile(partial, name, IfExists::kFail).ok()) return name;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  SetLastError(ERROR_FILE_EXISTS);
  return {};
}

}  // namespace

bool ListPackageSources(FileSystem& fs, const std::string& dataFolder,
                        std::vector<PackageSource>* sources, DWORD* error) {
  sources->clear();
  *error = 0;
  std::string folder = dataFolder;
  WithTrailingSeparator(folder, /*backslash=*/true, /*add=*/true);
  std::string base = FolderOf(folder);
  // A folder that is not there holds no show: packing it would report an
  // empty package as a success.
  if (!FolderExists(fs, folder)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  for (const char* pattern : {"*.swf", "*.mp3", "*.jpg", "*.xml"}) {
    SetLastError(0);
    std::vector<FindData> found;
    if (!fs.Find(folder + pattern, &found).ok()) {
      // "No such files" is an empty list; a listing that failed would
      // silently leave files out of the package.
      DWORD why = GetLastError();
      if (why != 0 && why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND &&
          why != ERROR_NO_MORE_FILES) {
        *error = why;
        return false;
      }
      continue;
    }
    for (const FindData& entry : found) {
      if (entry.name == "." || entry.name == ".." || entry.IsFolder()) continue;
      PackageSource source;
      source.path = folder + entry.name;
      source.storedName = StoredEntryName(source.path.substr(base.size()));
      source.size = entry.size;
      sources->push_back(std::move(source));
    }
  }
  return true;
}

uint64_t PackageSizeOf(const std::vector<PackageSource>& sources) {
  uint64_t total = 4 + sizeof(kPackageMagic) - 1 + 6;
  std::vector<PackageEntry> directory(sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    total += StoredFileRecordSize(sources[i].storedName, sources[i].size);
    directory[i].name = sources[i].storedName;
    directory[i].md5.assign(32, '0');
  }
  return total + DirectoryRecordsSize(directory);
}

HRESULT ShowPackage::WriteStatus(bool written) const {
  return ToHresult(written ? Status::Ok() : Status::Error(static_cast<DWORD>(lastError_)));
}

namespace {

// How writing a package's records ended.
struct RecordsOutcome {
  bool written = false;          // every record landed and the file closed
  bool source_failed = false;    // a show file vanished or could not be read
  bool close_failed = false;     // the data may not have reached the medium
  DWORD error = ERROR_SUCCESS;   // the platform's error of either failure
};

// Every show file as one record, its directory entry taken in the same pass.
// False with the platform's error in *error when a show file vanished or
// could not be read.
bool WriteEntries(file_io& stream, const std::vector<PackageSource>& sources,
                  std::vector<PackageEntry>* directory, DWORD* error) {
  if (!stream.count_only() && sources.size() > 1) {
    std::mutex turns;
    return WriteFileRecordsInLanes(stream, sources, directory, error,
                                   stream.file_system().ThreadSafe() ? nullptr : &turns);
  }
  return WriteFileRecordsInTurn(stream, sources, directory, error);
}

// The magic, the entries, the directory and, last, the directory's offset:
// until that 'L' record lands the package does not open. Stream failures
// throw StreamError.
RecordsOutcome WriteRecords(FileSystem& fs, const std::string& partial,
                            const std::vector<PackageSource>& sources) {
  RecordsOutcome outcome;
  file_io stream(fs, partial, StreamMode::kWrite, OnError::kThrow);
  // Read-only while incomplete, so that nothing else writes into it; a
  // medium without the mark writes the package all the same.
  SetReadOnly(fs, partial, true).IgnoreError();

  WriteTextRecord(stream, kTagMagic, kPackageMagic);
  uint32_t offsetPosition = stream.tell();
  WriteInt32Record(stream, kTagDirectoryOffset, kUnfinishedOffset);

  std::vector<PackageEntry> directory;
  if (!WriteEntries(stream, sources, &directory, &outcome.error)) {
    outcome.source_failed = true;
    return outcome;
  }
  uint32_t directoryOffset = stream.tell();
  SetLastError(ERROR_SUCCESS);
  if (WriteDirectoryRecords(stream, directory) == 0) {
    outcome.source_failed = true;
    outcome.error = GetLastError();
    return outcome;
  }
  outcome.written = WriteDirectoryOffset(stream, offsetPosition, directoryOffset);
  if (outcome.written && !stream.close()) {
    outcome.written = false;
    outcome.close_failed = true;
    outcome.error = GetLastError();
  }
  return outcome;
}

}  // namespace

bool ShowPackage::WritePackage(std::string& exportFilename, const std::string& dataFolder) {
  SetLastError(ERROR_SUCCESS);
  auto fail = [this](DWORD error) {
    lastError_ = static_cast<int32_t>(error);
    lastErrorText_ = WriteErrorText(lastError_);
    SetLastError(error);
    return false;
  };

  // Gather the sources. A show that cannot fit is refused before anything is
  // written; the check while copying catches files that grow meanwhile.
  std::vector<PackageSource> sources;
  DWORD listError = ERROR_SUCCESS;
  if (!ListPackageSources(fs_, dataFolder, &sources, &listError)) return fail(listError);
  if (PackageSizeOf(sources) > kMaxPackageSize) return fail(ERROR_FILE_TOO_LARGE);

  // Write the entries under a partial name, then publish the finished file.
  std::string partial;
  std::unique_ptr<PartialFileGuard> guard;
  RecordsOutcome outcome;
  try {
    partial = CreatePartialPackage(fs_, exportFilename);
    if (partial.empty()) throw StreamError{StreamError::kOpenFailed};
    guard = std::make_unique<PartialFileGuard>(partial);
    outcome = WriteRecords(fs_, partial, sources);
    if (outcome.close_failed) fail(outcome.error);
    if (outcome.written) {
      // A medium that refused once may not refuse again; a package left
      // read-only could not be repaired later.
      if (!SetReadOnly(fs_, partial, false).ok()) SetReadOnly(fs_, partial, false).IgnoreError();
      std::string published = PublishPackage(fs_, partial, exportFilename);
      if (published.empty()) {
        fail(GetLastError());
        outcome.written = false;
      } else {
        exportFilename = published;
      }
    }
  } catch (const StreamError&) {
    fail(GetLastError());
    // A write-protected medium refuses the deletion as well.
    if (!partial.empty() && lastError_ != static_cast<int32_t>(ERROR_WRITE_PROTECT)) {
      RemovePartialPackage(fs_, partial);
    }
    return false;
  } catch (...) {
    // Out of memory: the caller reports it, but no partial package stays.
    if (!partial.empty()) RemovePartialPackage(fs_, partial);
    throw;
  }

  // A show file that vanished or could not be read fails the package as a
  // whole; the platform's error tells why.
  if (outcome.source_failed) fail(outcome.error);
  if (!outcome.written) {
    RemovePartialPackage(fs_, partial);
    return false;
  }
  return true;
}

}  // namespace tavirelle
