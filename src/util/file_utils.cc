#include "util/file_utils.h"

#include <climits>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/host.h"
#include "platform/last_error.h"
#include "util/text.h"

namespace tavirelle {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Position of the last separator, walking characters so that a trail byte
// of a multi-byte character is never taken for one.
size_t LastSeparator(const std::string& path) {
  size_t found = std::string::npos;
  for (const char* p = path.c_str(); *p != '\0'; p = CharNextA(p)) {
    if (IsSeparator(*p)) found = static_cast<size_t>(p - path.c_str());
  }
  return found;
}

// Position of the last character (not byte) of a non-empty text.
size_t LastCharacter(const std::string& text) {
  const char* start = text.c_str();
  return static_cast<size_t>(CharPrevA(start, start + text.size()) - start);
}

bool IsTrimmedSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void Trim(std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsTrimmedSpace(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsTrimmedSpace(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
}

bool IsForbidden(char c) {
  switch (c) {
    case '\\': case '/': case ':': case '*': case '?': case '"':
    case '<': case '>': case '|': case '\r': case '\n':
      return true;
    default:
      return false;
  }
}

std::string ReplaceForbidden(const std::string& text, const std::string& replacement) {
  std::string out;
  for (const char* p = text.c_str(); *p != '\0';) {
    const char* next = CharNextA(p);
    if (next - p == 1 && IsForbidden(*p)) {
      out += replacement;
    } else {
      out.append(p, next);
    }
    p = next;
  }
  return out;
}

}  // namespace

std::string& WithTrailingSeparator(std::string& path, bool backslash, bool add) {
  if (path.empty()) {
    if (add) path.assign(1, backslash ? '\\' : '/');
    return path;
  }
  bool ends_with_separator = IsSeparator(path[LastCharacter(path)]);
  if (add && !ends_with_separator) {
    path += backslash ? '\\' : '/';
  } else if (!add && ends_with_separator) {
    path.erase(LastCharacter(path));
  }
  return path;
}

std::string& WithoutTrailingSeparator(std::string& path) {
  return WithTrailingSeparator(path, /*backslash=*/true, /*add=*/false);
}

std::string FileNameOf(const std::string& path) {
  std::string trimmed = path;
  WithoutTrailingSeparator(trimmed);
  size_t separator = LastSeparator(trimmed);
  return separator == std::string::npos ? trimmed : trimmed.substr(separator + 1);
}

std::string FolderOf(const std::string& path) {
  if (path.empty() || IsSeparator(path[LastCharacter(path)])) return path;
  if (LastSeparator(path) == std::string::npos) return path;
  return path.substr(0, path.size() - FileNameOf(path).size());
}

std::string Extension(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = name.substr(dot);
  return LowerCase(extension);
}

std::string WithoutExtension(const std::string& path) {
  return path.substr(0, path.size() - Extension(path).size());
}

bool PathExists(FileSystem& fs, const std::string& path) {
  // A plain name costs one look-up of exactly that name; only a wildcard
  // pattern lists its folder.
  std::vector<FindData> found;
  return fs.Find(path, &found).ok();
}

uint32_t FileSizeOf(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  uint64_t size = 0;
  if (!fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok() ||
      !file->Size(&size).ok()) {
    return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(size);
}

bool SetReadOnly(FileSystem& fs, const std::string& path, bool on) {
  DWORD attributes = 0;
  if (!fs.GetFileAttributes(path, &attributes).ok()) return false;
  attributes = on ? (attributes | FILE_ATTRIBUTE_READONLY)
                  : (attributes & ~FILE_ATTRIBUTE_READONLY);
  return fs.SetFileAttributes(path, attributes).ok();
}

bool FolderExists(FileSystem& fs, const std::string& path) {
  if (path.empty()) return false;
  // One look-up of the folder itself: listing its contents to see "." would
  // cost as much as the folder is large, and authoring asks for every photo.
  DWORD attributes = 0;
  return fs.GetFileAttributes(path, &attributes).ok() &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderPath(FileSystem& fs, const std::string& path) {
  std::string full = path;
  WithTrailingSeparator(full, /*backslash=*/true, /*add=*/true);
  // Both separators count here, so a path written with slashes works too.
  // Folders that exist already fail to be created; the failure that matters
  // is the last other one, which the caller reads when the path is missing.
  DWORD failure = ERROR_SUCCESS;
  for (const char* p = full.c_str(); *p != '\0'; p = CharNextA(p)) {
    size_t at = static_cast<size_t>(p - full.c_str());
    if (IsSeparator(*p) && at > 0 && !fs.CreateDirectory(full.substr(0, at)).ok()) {
      DWORD error = GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) failure = error;
    }
  }
  if (FolderExists(fs, path)) return true;
  if (failure != ERROR_SUCCESS) SetLastError(failure);
  return false;
}

bool EnsureFolderFor(FileSystem& fs, const std::string& path) {
  // A bare file name lies in the current folder. (FolderOf returns such a
  // name unchanged, and making it a folder would block the file itself.)
  if (LastSeparator(path) == std::string::npos) return true;
  std::string folder = FolderOf(path);
  if (FolderExists(fs, folder)) return true;
  return CreateFolderPath(fs, folder);
}

std::vector<std::string> FindFiles(FileSystem& fs, const std::string& pattern) {
  std::vector<std::string> paths;
  std::vector<FindData> found;
  if (!fs.Find(pattern, &found).ok()) return paths;
  std::string folder = FolderOf(pattern);
  WithTrailingSeparator(folder, /*backslash=*/true, /*add=*/true);
  for (const FindData& entry : found) {
    if (entry.name == "." || entry.name == ".." || entry.IsFolder()) continue;
    paths.push_back(folder + entry.name);
  }
  return paths;
}

std::string ThumbnailPathOf(const std::string& copy_path) {
  size_t separator = copy_path.find_last_of("\\/");
  size_t folder_length = separator == std::string::npos ? 0 : separator + 1;
  return copy_path.substr(0, folder_length) + kThumbnailPrefix + copy_path.substr(folder_length);
}

bool ClaimEmptyFolder(FileSystem& fs, const std::string& folder, const std::string& claim_name,
                      std::vector<std::string>* created) {
  std::string full = folder;
  WithTrailingSeparator(full, /*backslash=*/true, /*add=*/true);
  for (const char* p = full.c_str(); *p != '\0'; p = CharNextA(p)) {
    size_t at = static_cast<size_t>(p - full.c_str());
    if (!IsSeparator(*p) || at == 0) continue;
    std::string level = full.substr(0, at);
    DWORD attributes = 0;
    if (!fs.GetFileAttributes(level, &attributes).ok()) {
      if (fs.CreateDirectory(level).ok()) {
        created->push_back(level);
        continue;
      }
      // Another caller may have made it a moment ago.
      DWORD error = GetLastError();
      if (!fs.GetFileAttributes(level, &attributes).ok()) {
        SetLastError(error);
        return false;
      }
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      SetLastError(ERROR_DIRECTORY);
      return false;
    }
  }
  std::vector<FindData> found;
  if (fs.Find(full + "*", &found).ok()) {
    for (const FindData& entry : found) {
      if (entry.name != "." && entry.name != "..") {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return false;
      }
    }
  }
  // The emptiness seen above may be stale by now: only the exclusive
  // creation decides between two callers.
  std::unique_ptr<File> claim;
  if (!fs.Open(full + claim_name, GENERIC_WRITE, Disposition::kCreateNew, &claim).ok()) {
    if (GetLastError() == ERROR_FILE_EXISTS) SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
  }
  if (!claim->Close().ok()) {
    DWORD error = GetLastError();
    fs.DeleteFile(full + claim_name).IgnoreError();
    SetLastError(error);
    return false;
  }
  return true;
}

bool SaveTextToFile(FileSystem& fs, const std::string& path, const std::string& text) {
  DWORD attributes = 0;
  if (fs.GetFileAttributes(path, &attributes).ok() &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);  // as replacing a read-only file fails
    return false;
  }
  // The text goes to a new file beside the target, which is then renamed over
  // it: a write that fails part-way (a full disk) leaves the old file whole
  // instead of truncated.
  std::string temporary = TemporaryNameBeside(path);
  std::unique_ptr<File> file;
  if (!fs.Open(temporary, GENERIC_WRITE, Disposition::kCreateNew, &file).ok()) return false;
  bool ok = true;
  for (size_t at = 0; ok && at < text.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - at, 1u << 30));
    DWORD done = 0;
    ok = file->Write(text.data() + at, chunk, &done).ok();
    at += done;
  }
  ok = file->Close().ok() && ok;
  ok = ok && fs.MoveFile(temporary, path, IfExists::kReplace).ok();
  if (!ok) {
    DWORD error = GetLastError();
    fs.DeleteFile(temporary).IgnoreError();
    SetLastError(error);
  }
  return ok;
}

bool SaveBytesToFile(FileSystem& fs, const std::string& path, const void* bytes, uint32_t size) {
  std::unique_ptr<File> file;
  if (!fs.Open(path, GENERIC_READ | GENERIC_WRITE, Disposition::kOpenAlways, &file).ok()) {
    return false;
  }
  DWORD done = 0;
  bool ok = (size == 0 || file->Write(bytes, size, &done).ok()) && done == size;
  ok = file->Truncate().ok() && ok;
  return file->Close().ok() && ok;
}

std::string TemporaryNameBeside(const std::string& path) {
  return path + ".~" + NewGuidText(false).substr(0, 8);
}

std::string FormatFileDate(FileSystem& fs, const std::string& path, bool with_milliseconds) {
  std::string trimmed = path;
  WithoutTrailingSeparator(trimmed);
  std::vector<FindData> found;
  if (!fs.Find(trimmed, &found).ok() || found.empty()) return {};
  LocalTime t = ToLocalTime(found.front().last_write);
  if (with_milliseconds) {
    return FormatText("%4d:%02d:%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, t.milliseconds);
  }
  return FormatText("%4d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                    t.minute, t.second);
}

std::string SpecialFolderPath(int csidl) {
  std::string path = PlatformSpecialFolder(csidl);
  if (path.empty()) return path;
  return WithTrailingSeparator(path, /*backslash=*/true, /*add=*/true);
}

std::string MakerDataFolder() {
  std::string folder = SpecialFolderPath(CSIDL_COMMON_APPDATA);
  if (folder.empty()) return folder;
  return folder + "Zelto\\";
}

std::string HostFilePath() {
  std::string path = HostExecutablePath();
  // The platform call fills a buffer of 2048 bytes, terminator included.
  if (path.size() > 2047) path.resize(2047);
  return path;
}

std::string HostFolder() { return FolderOf(HostFilePath()); }

std::string NewGuidText(bool with_braces) {
  GUID g{};
  CoCreateGuid(&g);
  std::string text = FormatText(
      "{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}",
      static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
      g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  UpperCase(text);
  if (!with_braces) text = text.substr(1, text.size() - 2);
  return text;
}

std::string MakeLegalName(const std::string& text) {
  std::string replacement = " ";
  std::string result;
  for (;;) {
    result = ReplaceForbidden(text, replacement);
    Trim(result);
    if (!result.empty() || replacement != " ") break;
    replacement = "_";
  }
  size_t length = result.size();
  while (!result.empty() && result[LastCharacter(result)] == '.') {
    result.erase(LastCharacter(result));
    Trim(result);
  }
  if (result.empty()) result.assign(length, '_');
  return result;
}

std::string MakeUniqueName(FileSystem& fs, const std::string& path) {
  if (!PathExists(fs, path)) return path;
  std::string stem = WithoutExtension(path);
  std::string extension = Extension(path);
  for (int n = 2; n < INT_MAX; ++n) {
    std::string candidate = FormatText("%s (%i)%s", stem.c_str(), n, extension.c_str());
    if (!PathExists(fs, candidate)) return candidate;
  }
  return {};
}

}  // namespace tavirelle
