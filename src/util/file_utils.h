// File and name utilities shared by the package and show-authoring code:
// path text helpers, existence and size tests, folder creation, file saving,
// file dates, GUID text, legal and unique file names.
//
// All texts are narrow strings in the process code page; paths are Windows
// style (backslashes; a folder to be joined with a name ends with one).
#ifndef TAVIRELLE_UTIL_FILE_UTILS_H_
#define TAVIRELLE_UTIL_FILE_UTILS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// A photo copy's thumbnail sits beside it under this prefix.
inline constexpr char kThumbnailPrefix[] = "__w133_h100_";
// Path of the thumbnail of the photo copy at `copy_path`: the copy's folder
// (up to and including its last separator), kThumbnailPrefix, the copy's name.
std::string ThumbnailPathOf(const std::string& copy_path);

// Path text (no file-system access).
std::string& WithTrailingSeparator(std::string& path, bool backslash, bool add);
std::string& WithoutTrailingSeparator(std::string& path);
std::string FileNameOf(const std::string& path);
std::string FolderOf(const std::string& path);
std::string Extension(const std::string& path);
std::string WithoutExtension(const std::string& path);

// File system: each works on the file system it is given.
bool PathExists(FileSystem& fs, const std::string& path);
// The size of a file (its low 32 bits), or why it cannot be opened.
Status FileSizeOf(FileSystem& fs, const std::string& path, uint32_t* size);
Status SetReadOnly(FileSystem& fs, const std::string& path, bool on);
bool FolderExists(FileSystem& fs, const std::string& path);
// Makes the folder and the missing folders above it. Fails with the last
// reason a level could not be made, or ERROR_ALREADY_EXISTS when something
// that is not a folder stands in the way.
Status CreateFolderPath(FileSystem& fs, const std::string& path);
// CreateFolderPath for the folder of the file `path`.
Status EnsureFolderFor(FileSystem& fs, const std::string& path);
// The files (not folders) matching `pattern`; none when it cannot be listed.
std::vector<std::string> FindFiles(FileSystem& fs, const std::string& pattern);
// Makes `folder` (and its missing parents) ready for one writer: it must be
// new or empty, and the caller claims it by creating the file `claim_name`
// in it exclusively, so that of two callers only one succeeds even when both
// found it empty. The folders made are appended to *created, outermost
// first, for a caller that gives up to remove. Fails with ERROR_DIRECTORY (a
// file stands at one of the levels), ERROR_DIR_NOT_EMPTY (the folder holds
// something, or another caller holds the claim) or the platform's error.
Status ClaimEmptyFolder(FileSystem& fs, const std::string& folder, const std::string& claim_name,
                        std::vector<std::string>* created);
// Writes `text` to a new file beside `path` through `fs` and renames it over
// `path`, so that a failure part-way leaves the old file whole.
Status SaveTextToFile(FileSystem& fs, const std::string& path, const std::string& text);
// Writes the bytes into the file `path`, created when missing, and ends it
// after them.
Status SaveBytesToFile(FileSystem& fs, const std::string& path, const void* bytes, uint32_t size);
// A fresh name beside `path` for a file that is written whole and then
// renamed over `path`.
std::string TemporaryNameBeside(const std::string& path);
std::string FormatFileDate(FileSystem& fs, const std::string& path, bool with_milliseconds);
std::string SpecialFolderPath(int csidl);
std::string MakerDataFolder();
std::string HostFilePath();
std::string HostFolder();
std::string NewGuidText(bool with_braces);
std::string MakeLegalName(const std::string& text);
std::string MakeUniqueName(FileSystem& fs, const std::string& path);

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_FILE_UTILS_H_
