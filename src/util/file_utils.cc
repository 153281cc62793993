#include "util/file_utils.h"

#include <climits>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/host.h"
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

Status FileSizeOf(FileSystem& fs, const std::string& path, uint32_t* size) {
  std::unique_ptr<File> file;
  uint64_t full = 0;
  Status status = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  if (status.ok()) status = file->Size(&full);
  if (!status.ok()) return status;
  *size = static_cast<uint32_t>(full);
  return Status::Ok();
}

Status SetReadOnly(FileSystem& fs, const std::string& path, bool on) {
  DWORD attributes = 0;
  Status found = fs.GetFileAttributes(path, &attributes);
  if (!found.ok()) return found;
  attributes = on ? (attributes | FILE_ATTRIBUTE_READONLY)
                  : (attributes & ~FILE_ATTRIBUTE_READONLY);
  return fs.SetFileAttributes(path, attributes);
}

bool FolderExists(FileSystem& fs, const std::string& path) {
  if (path.empty()) return false;
  // One look-up of the folder itself: listing its contents to see "." would
  // cost as much as the folder is large, and authoring asks for every photo.
  DWORD attributes = 0;
  return fs.GetFileAttributes(path, &attributes).ok() &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Status CreateFolderPath(FileSystem& fs, const std::string& path) {
  std::string full = path;
  WithTrailingSeparator(full, /*backslash=*/true, /*add=*/true);
  // Both separators count here, so a path written with slashes works too.
  // Folders that exist already fail to be created; the failure that matters
  // is the last other one.
  Status failure;
  Status in_the_way;
  for (const char* p = full.c_str(); *p != '\0'; p = CharNextA(p)) {
    size_t at = static_cast<size_t>(p - full.c_str());
    if (!IsSeparator(*p) || at == 0) continue;
    Status made = fs.CreateDirectory(full.substr(0, at));
    if (made.ok()) continue;
    if (made.code() == ERROR_ALREADY_EXISTS || made.code() == ERROR_FILE_EXISTS) {
      in_the_way = made;
    } else {
      failure = made;
    }
  }
  if (FolderExists(fs, path)) return Status::Ok();
  if (!failure.ok()) return failure;
  if (!in_the_way.ok()) return in_the_way;
  return Status::Error(ERROR_PATH_NOT_FOUND);
}

Status EnsureFolderFor(FileSystem& fs, const std::string& path) {
  // A bare file name lies in the current folder. (FolderOf returns such a
  // name unchanged, and making it a folder would block the file itself.)
  if (LastSeparator(path) == std::string::npos) return Status::Ok();
  std::string folder = FolderOf(path);
  if (FolderExists(fs, folder)) return Status::Ok();
  return CreateFolderPath(fs, folder);
}

std::vector<std::string> FindFiles(FileSystem& fs, const std::string& pattern) {
  std::vector<std::string> paths;
  std::vector<FindData> found;
  if (!fs.Find(pattern, &found).ok()) return paths;  // nothing to list
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

Status ClaimEmptyFolder(FileSystem& fs, const std::string& folder, const std::string& claim_name,
                        std::vector<std::string>* created) {
  std::string full = folder;
  WithTrailingSeparator(full, /*backslash=*/true, /*add=*/true);
  for (const char* p = full.c_str(); *p != '\0'; p = CharNextA(p)) {
    size_t at = static_cast<size_t>(p - full.c_str());
    if (!IsSeparator(*p) || at == 0) continue;
    std::string level = full.substr(0, at);
    DWORD attributes = 0;
    if (!fs.GetFileAttributes(level, &attributes).ok()) {
      Status made = fs.CreateDirectory(level);
      if (made.ok()) {
        created->push_back(level);
        continue;
      }
      // Another caller may have made it a moment ago.
      if (!fs.GetFileAttributes(level, &attributes).ok()) return made;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Status::Error(ERROR_DIRECTORY);
  }
  std::vector<FindData> found;
  if (fs.Find(full + "*", &found).ok()) {
    for (const FindData& entry : found) {
      if (entry.name != "." && entry.name != "..") return Status::Error(ERROR_DIR_NOT_EMPTY);
    }
  }
  // The emptiness seen above may be stale by now: only the exclusive
  // creation decides between two callers.
  std::unique_ptr<File> claim;
  Status claimed = fs.Open(full + claim_name, GENERIC_WRITE, Disposition::kCreateNew, &claim);
  if (claimed.code() == ERROR_FILE_EXISTS) return Status::Error(ERROR_DIR_NOT_EMPTY);
  if (claimed.ok()) claimed = claim->Close();
  // A claim that may not have reached the medium is no claim.
  if (!claimed.ok() && claim != nullptr) fs.DeleteFile(full + claim_name).IgnoreError();
  return claimed;
}

Status SaveTextToFile(FileSystem& fs, const std::string& path, const std::string& text) {
  DWORD attributes = 0;
  if (fs.GetFileAttributes(path, &attributes).ok() &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return Status::Error(ERROR_ACCESS_DENIED);  // as replacing a read-only file fails
  }
  // The text goes to a new file beside the target, which is then renamed over
  // it: a write that fails part-way (a full disk) leaves the old file whole
  // instead of truncated.
  std::string temporary = TemporaryNameBeside(path);
  std::unique_ptr<File> file;
  Status status = fs.Open(temporary, GENERIC_WRITE, Disposition::kCreateNew, &file);
  if (!status.ok()) return status;
  for (size_t at = 0; status.ok() && at < text.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - at, 1u << 30));
    DWORD done = 0;
    status = file->Write(text.data() + at, chunk, &done);
    at += done;
  }
  // A close that fails tells why even after a failed write: the data may
  // not have reached the medium either way.
  Status closed = file->Close();
  if (!closed.ok()) status = closed;
  if (status.ok()) status = fs.MoveFile(temporary, path, IfExists::kReplace);
  if (!status.ok()) fs.DeleteFile(temporary).IgnoreError();
  return status;
}

Status SaveBytesToFile(FileSystem& fs, const std::string& path, const void* bytes, uint32_t size) {
  std::unique_ptr<File> file;
  Status status = fs.Open(path, GENERIC_READ | GENERIC_WRITE, Disposition::kOpenAlways, &file);
  if (!status.ok()) return status;
  DWORD done = 0;
  if (size != 0) status = file->Write(bytes, size, &done);
  if (status.ok() && done != size) status = Status::Error(ERROR_WRITE_FAULT);
  // The latest failure tells why, as each step is tried whatever came before.
  Status truncated = file->Truncate();
  if (!truncated.ok()) status = truncated;
  Status closed = file->Close();
  if (!closed.ok()) status = closed;
  return status;
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
