#include "cli/package_checks.h"

#include <cstdio>

#include "cli/command.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

// Why a file could not take the place of `path` when a file beside it could
// be written: a folder or a read-only file stands there.
DWORD ReplaceError(const std::string& path) {
  DWORD attributes = DefaultFileSystem().GetFileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
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

bool SavedEntryMatches(const ShowPackage& package, const std::string& name,
                       const std::string& path) {
  // The module checked the entry against the directory's MD5 while it copied
  // it: a file that now has the directory's size and MD5 is the entry whole.
  const PackageEntry* entry = package.FindEntry(name);
  return entry != nullptr && !entry->md5.empty() &&
         FileSizeOf(DefaultFileSystem(), path) == entry->size &&
         Md5FileHex(DefaultFileSystem(), path) == entry->md5;
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
  DefaultFileSystem().DeleteFile(copy);
  if (!digest.empty() && Md5FileHex(DefaultFileSystem(), path) == digest) return expected;
  return {EntrySaveResult::kWriteFailed, ReplaceError(path)};
}

EntrySave CheckSavedEntry(ShowPackage& package, const std::string& name,
                          const std::string& path) {
  if (SavedEntryMatches(package, name, path)) return {EntrySaveResult::kSaved, ERROR_SUCCESS};
  return DiagnoseSavedEntry(package, name, path);
}

bool CheckSavedText(const std::string& path, const std::string& text, DWORD* error) {
  std::string held;
  if (ReadWholeFile(DefaultFileSystem(), path, &held) && held == text) return true;
  const std::string copy = TemporaryNameBeside(path);
  if (!SaveTextToFile(DefaultFileSystem(), copy, text)) {
    *error = GetLastError();
    return false;
  }
  DefaultFileSystem().DeleteFile(copy);
  *error = ReplaceError(path);
  return false;
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

std::vector<ShowFile> FilesOfShow(const std::string& meta_text) {
  ShowData show(meta_text);
  std::vector<ShowFile> files;
  for (std::string& name : show.CollectReferencedFiles()) {
    ShowFile file;
    file.online_file = show.IsOnlineFile(name);
    file.outside = !IsNameInsideFolder(name);
    file.name = std::move(name);
    files.push_back(std::move(file));
  }
  return files;
}

bool StaysInsideFolder(const std::string& name) { return IsNameInsideFolder(name); }

}  // namespace tavirelle
