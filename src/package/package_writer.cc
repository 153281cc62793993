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

// Creates the temporary file exclusively, its name in *path: a file already
// at a name (one that another writer chose) is never written over.
Status CreatePartialPackage(FileSystem& fs, const std::string& target, std::string* path) {
  Status created;
  for (int attempt = 0; attempt < 8; ++attempt) {
    *path = PartialPackageName(target);
    std::unique_ptr<File> file;
    created = fs.Open(*path, GENERIC_WRITE, Disposition::kCreateNew, &file);
    if (created.ok()) return created;
    if (created.code() != ERROR_FILE_EXISTS && created.code() != ERROR_ALREADY_EXISTS) break;
  }
  path->clear();
  return created;
}

// Moves the finished package to `target`, or to the next free "NAME (n)"
// name when `target` is taken, never replacing a file: the unique name is
// chosen at the moment of publishing. The name used goes to *published.
Status PublishPackage(FileSystem& fs, const std::string& partial, const std::string& target,
                      std::string* published) {
  std::string name = target;
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PathExists(fs, name)) name = MakeUniqueName(fs, target);
    if (name.empty()) break;
    Status moved = fs.MoveFile(partial, name, IfExists::kFail);
    if (moved.ok()) {
      *published = name;
      return moved;
    }
    if (moved.code() != ERROR_FILE_EXISTS && moved.code() != ERROR_ALREADY_EXISTS) return moved;
  }
  return Status::Error(ERROR_FILE_EXISTS);
}

}  // namespace

Status ListPackageSources(FileSystem& fs, const std::string& dataFolder,
                          std::vector<PackageSource>* sources) {
  sources->clear();
  std::string folder = dataFolder;
  WithTrailingSeparator(folder, /*backslash=*/true, /*add=*/true);
  std::string base = FolderOf(folder);
  // A folder that is not there holds no show: packing it would report an
  // empty package as a success.
  if (!FolderExists(fs, folder)) return Status::Error(ERROR_PATH_NOT_FOUND);
  for (const char* pattern : {"*.swf", "*.mp3", "*.jpg", "*.xml"}) {
    std::vector<FindData> found;
    Status listed = fs.Find(folder + pattern, &found);
    if (!listed.ok()) {
      // "No such files" is an empty list; a listing that failed would
      // silently leave files out of the package.
      DWORD why = listed.code();
      if (why != 0 && why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND &&
          why != ERROR_NO_MORE_FILES) {
        return listed;
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
  return Status::Ok();
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

namespace {

// Every show file as one record, its directory entry taken in the same pass.
Status WriteEntries(file_io& stream, const std::vector<PackageSource>& sources,
                    std::vector<PackageEntry>* directory) {
  if (!stream.count_only() && sources.size() > 1) {
    std::mutex turns;
    return WriteFileRecordsInLanes(stream, sources, directory,
                                   stream.file_system().ThreadSafe() ? nullptr : &turns);
  }
  return WriteFileRecordsInTurn(stream, sources, directory);
}

// The magic, the entries, the directory and, last, the directory's offset:
// until that 'L' record lands the package does not open.
Status WriteRecords(file_io& stream, const std::vector<PackageSource>& sources) {
  Status written = WriteTextRecord(stream, kTagMagic, kPackageMagic);
  uint32_t offsetPosition = stream.tell();
  if (written.ok()) written = WriteInt32Record(stream, kTagDirectoryOffset, kUnfinishedOffset);
  std::vector<PackageEntry> directory;
  if (written.ok()) written = WriteEntries(stream, sources, &directory);
  uint32_t directoryOffset = stream.tell();
  if (written.ok()) written = WriteDirectoryRecords(stream, directory);
  if (written.ok()) written = WriteDirectoryOffset(stream, offsetPosition, directoryOffset);
  return written;
}

}  // namespace

Status ShowPackage::WritePackage(std::string& exportFilename, const std::string& dataFolder,
                                 const PackageWriteHooks& hooks) {
  SetLastError(ERROR_SUCCESS);
  // The writer's documented last error, kept until the next failure.
  auto fail = [this](const Status& status) {
    lastError_ = static_cast<int32_t>(status.code());
    lastErrorText_ = WriteErrorText(lastError_);
    SetLastError(status.code());
    return status;
  };

  // Gather the sources. A show that cannot fit is refused before anything is
  // written; the check while copying catches files that grow meanwhile.
  std::vector<PackageSource> sources;
  Status status = ListPackageSources(fs_, dataFolder, &sources);
  if (!status.ok()) return fail(status);
  if (PackageSizeOf(sources) > kMaxPackageSize) return fail(Status::Error(ERROR_FILE_TOO_LARGE));

  // Write the entries under a partial name, then publish the finished file.
  std::string partial;
  status = CreatePartialPackage(fs_, exportFilename, &partial);
  if (!status.ok()) return fail(status);
  if (hooks.started) hooks.started(partial);
  bool closeFailed = false;
  try {
    file_io stream(fs_, partial, StreamMode::kWrite);
    if (hooks.progress || hooks.cancelled) {
      stream.set_write_observer([&hooks](uint64_t written) {
        if (hooks.cancelled && hooks.cancelled()) return Status::Error(ERROR_CANCELLED);
        if (hooks.progress) hooks.progress(written);
        return Status::Ok();
      });
    }
    status = stream.open();
    if (status.ok()) {
      // Read-only while incomplete, so that nothing else writes into it; a
      // medium without the mark writes the package all the same.
      SetReadOnly(fs_, partial, true).IgnoreError();
      status = WriteRecords(stream, sources);
    }
    if (status.ok()) {
      status = stream.close();
      closeFailed = !status.ok();
    }
    if (status.ok() && hooks.cancelled && hooks.cancelled()) {
      status = Status::Error(ERROR_CANCELLED);
      closeFailed = true;  // whole, but not to be published: it goes
    }
  } catch (...) {
    // Out of memory: the caller reports it, but no partial package stays.
    RemovePartialPackage(fs_, partial);
    throw;
  }
  if (status.ok()) {
    // A medium that refused once may not refuse again; a package left
    // read-only could not be repaired later.
    if (!SetReadOnly(fs_, partial, false).ok()) SetReadOnly(fs_, partial, false).IgnoreError();
    std::string published;
    status = PublishPackage(fs_, partial, exportFilename, &published);
    if (status.ok()) {
      exportFilename = published;
      return status;
    }
    RemovePartialPackage(fs_, partial);
    return fail(status);
  }
  // A show file that vanished or could not be read fails the package as a
  // whole, as does a write that failed. A write-protected medium refuses the
  // deletion as well, but a package whose close failed is whole and would
  // open: it goes all the same.
  if (closeFailed || status.code() != ERROR_WRITE_PROTECT) RemovePartialPackage(fs_, partial);
  return fail(status);
}

}  // namespace tavirelle
