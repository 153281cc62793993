// ShowPackage::WritePackage: packs a show folder into a new package file.
#include <vector>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"

namespace {

const char* WriteErrorText(int32_t error) {
  switch (error) {
    case 0: return "";
    case 112: return "#write_error_disc_full";
    case 19: return "#write_error_write_protected";
    case 5: return "#write_access_denied";
    default: return "#write_error_general";
  }
}

// Removes a package that was not completed. The read-only mark set while
// writing would make the deletion fail, so it is cleared first (twice if
// need be: a medium that refused once may not refuse again).
void RemovePartialPackage(const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    SetReadOnly(path, false);
    if (GetFileSystem()->DeleteFile(path)) return;
    if (!PathExists(path)) return;
  }
}

}  // namespace

HRESULT ShowPackage::WriteStatus(bool written) const {
  if (written) return S_OK;
  if (lastError_ == 0) return E_FAIL;
  if (lastError_ > 0) {
    return static_cast<HRESULT>(0x80070000u | (static_cast<uint32_t>(lastError_) & 0xFFFF));
  }
  return lastError_;
}

bool ShowPackage::WritePackage(std::string& exportFilename, const std::string& dataFolder) {
  SetLastError(0);
  if (PathExists(exportFilename)) exportFilename = MakeUniqueName(exportFilename);

  bool created = false;    // the target was opened, so it is ours to remove
  bool sourceFailed = false;
  DWORD sourceError = 0;
  bool written = false;
  try {
    {
      // Created exclusively: a file already at this name (one a failed
      // existence check did not see) is never written over, nor removed as
      // our partial package.
      std::unique_ptr<File> fresh =
          GetFileSystem()->Open(exportFilename, GENERIC_WRITE, Disposition::kCreateNew);
      if (!fresh) throw StreamError{StreamError::kOpenFailed};
      created = true;
    }
    file_io stream(exportFilename, true, false, true);
    // Read-only while incomplete, so that nothing else writes into it.
    SetReadOnly(exportFilename, true);

    WriteTextRecord(stream, kTagMagic, kPackageMagic);
    uint32_t offsetPosition = stream.tell();
    WriteInt32Record(stream, kTagDirectoryOffset, kUnfinishedOffset);

    std::string folder = dataFolder;
    WithTrailingSeparator(folder, true, true);
    std::vector<std::string> sources;
    for (const char* pattern : {"*.swf", "*.mp3", "*.jpg", "*.xml"}) {
      SetLastError(0);
      std::vector<std::string> found = FindFiles(folder + pattern);
      // An empty list is either "no such files" or a listing that failed;
      // the latter would silently leave files out of the package.
      DWORD error = GetLastError();
      if (found.empty() && error != 0 && error != ERROR_FILE_NOT_FOUND &&
          error != ERROR_PATH_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
        sourceFailed = true;
        sourceError = error;
        break;
      }
      sources.insert(sources.end(), found.begin(), found.end());
    }
    std::string base = FolderOf(folder);

    std::vector<PackageEntry> directory;
    directory.reserve(sources.size());
    std::unique_ptr<uint8_t[]> scratch;
    for (const std::string& source : sources) {
      if (sourceFailed) break;
      PackageEntry entry;
      entry.name = StoredEntryName(source.substr(base.size()));
      entry.offset = stream.tell();
      // The directory describes the bytes copied, taken in the same pass.
      SetLastError(0);
      if (WriteFileRecord(stream, kTagStoredFile, source, entry.name, &entry.md5,
                          &entry.size, &scratch) == 0) {
        sourceFailed = true;
        sourceError = GetLastError();
        break;
      }
      directory.push_back(std::move(entry));
    }

    if (!sourceFailed) {
      uint32_t directoryOffset = stream.tell();
      WriteDirectoryRecords(stream, directory);
      // The 'L' record is the last write: until it lands the package does not
      // open.
      written = WriteDirectoryOffset(stream, offsetPosition, directoryOffset);
      if (written && !stream.close()) {
        // The data may not have reached the medium.
        lastError_ = static_cast<int32_t>(GetLastError());
        lastErrorText_ = WriteErrorText(lastError_);
        written = false;
      }
      written = written && PathExists(exportFilename);
    }
  } catch (const StreamError&) {
    lastError_ = static_cast<int32_t>(GetLastError());
    lastErrorText_ = WriteErrorText(lastError_);
    // A write-protected medium refuses the deletion as well.
    if (created && lastError_ != 19) RemovePartialPackage(exportFilename);
    return false;
  } catch (...) {
    // Out of memory: the caller reports it, but no partial package stays.
    if (created) RemovePartialPackage(exportFilename);
    throw;
  }

  if (sourceFailed) {
    // A show file that vanished or could not be read fails the package as a
    // whole; the platform's error tells why.
    lastError_ = static_cast<int32_t>(sourceError);
    lastErrorText_ = WriteErrorText(lastError_);
  }
  if (!written) {
    RemovePartialPackage(exportFilename);
    return false;
  }
  // A medium that refused once may not refuse again; a package left
  // read-only could not be repaired later.
  if (!SetReadOnly(exportFilename, false)) SetReadOnly(exportFilename, false);
  return true;
}
