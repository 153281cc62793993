#include "cli/package_checks.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"
#include "util/md5.h"
#include "util/md5_lanes.h"

namespace tavirelle {

namespace {

// Why a file could not take the place of `path` when a file beside it could
// be written: a folder or a read-only file stands there.
DWORD ReplaceError(const std::string& path) {
  DWORD attributes = 0;
  if (DefaultFileSystem().GetFileAttributes(path, &attributes).ok() &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return 0;
}

}  // namespace

std::string DescribeEntrySave(const EntrySave& save) {
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

void SavedEntriesMatch(const ShowPackage& package, const std::vector<std::string>& names,
                       const std::vector<std::string>& paths, bool* matches) {
  // The module checked the entry against the directory's MD5 while it copied
  // it: a file that now has the directory's size and MD5 is the entry whole.
  FileSystem& fs = DefaultFileSystem();
  const size_t count = std::min(names.size(), Md5Lanes::kLanes);
  std::vector<std::unique_ptr<File>> files;
  std::vector<Md5Stream> streams;
  std::vector<size_t> streamed;  // the file each stream reads
  for (size_t i = 0; i < count; ++i) {
    matches[i] = false;
    const PackageEntry* entry = package.FindEntry(names[i]);
    uint32_t size = 0;
    if (entry == nullptr || entry->md5.empty() || !FileSizeOf(fs, paths[i], &size).ok() ||
        size != entry->size) {
      continue;
    }
    std::unique_ptr<File> file;
    if (!fs.Open(paths[i], GENERIC_READ, Disposition::kOpenExisting, &file).ok()) continue;
    Md5Stream stream;
    stream.size = entry->size;
    File* at = file.get();
    stream.read = [at](void* buffer, size_t size) {
      size_t total = 0;
      DWORD done = 0;
      while (total < size &&
             at->Read(static_cast<char*>(buffer) + total, static_cast<DWORD>(size - total), &done)
                 .ok() &&
             done != 0) {
        total += done;
      }
      return total;
    };
    streams.push_back(std::move(stream));
    streamed.push_back(i);
    files.push_back(std::move(file));
  }
  Md5Streams(streams);
  for (size_t s = 0; s < streams.size(); ++s) {
    const PackageEntry* entry = package.FindEntry(names[streamed[s]]);
    // A file that grew after its size was taken holds more than the entry.
    char more = 0;
    DWORD extra = 0;
    matches[streamed[s]] = streams[s].whole && streams[s].md5 == entry->md5 &&
                           files[s]->Read(&more, 1, &extra).ok() && extra == 0;
  }
}

bool SavedEntryMatches(const ShowPackage& package, const std::string& name,
                       const std::string& path) {
  bool matches = false;
  SavedEntriesMatch(package, {name}, {path}, &matches);
  return matches;
}

EntrySave DiagnoseSavedEntry(ShowPackage& package, const std::string& name,
                             const std::string& path) {
  // The entry is copied out once more beside the file, onto the same medium:
  // a copy that fails there failed as the module's did, and one that
  // succeeds is what the file should hold. It goes again at once.
  const std::string copy = TemporaryNameBeside(path);
  EntrySave expected = package.SaveEntry(name, copy);
  if (!expected.saved()) return expected;
  std::string digest = Md5FileHex(DefaultFileSystem(), copy);
  DefaultFileSystem().DeleteFile(copy).IgnoreError();
  if (!digest.empty() && Md5FileHex(DefaultFileSystem(), path) == digest) return expected;
  return {EntrySaveResult::kWriteFailed, ReplaceError(path)};
}

EntrySave CheckSavedEntry(ShowPackage& package, const std::string& name,
                          const std::string& path) {
  if (SavedEntryMatches(package, name, path)) return {EntrySaveResult::kSaved, ERROR_SUCCESS};
  return DiagnoseSavedEntry(package, name, path);
}

bool DescriptionNotRepaired(ShowPackage& package, const std::string& meta_text) {
  return package.IsUsableMetaText(meta_text) &&
         !package.IsUsableMetaText(package.ReadEntryText("meta.xml"));
}

void WarnDescriptionNotRepaired(const std::string& typed) {
  std::fprintf(stderr,
               "tavirelle: warning: %s: the broken meta.xml was read from an older "
               "version, but the package could not be repaired\n",
               typed.c_str());
}

bool StaysInsideFolder(const std::string& name) { return IsNameInsideFolder(name); }

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

}  // namespace tavirelle
