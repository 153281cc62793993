// The machine's file system on Windows: the wide-character file API, with
// the layer's narrow names read as Windows-1252 text. Every call passes the
// system's own error code on.
#include "platform/file_system.h"

#include <time.h>

#include <utility>

#include "platform/file_system_common.h"
#include "platform/path.h"
#include "platform/status.h"
#include "platform/windows/win32.h"

namespace tavirelle {

namespace {

// CreateFileW's dispositions.
constexpr uint32_t kCreateNew = 1, kCreateAlways = 2, kOpenExisting = 3, kOpenAlways = 4,
                   kTruncateExisting = 5;

// 100-nanosecond steps from 1601-01-01 to 1970-01-01.
constexpr int64_t kTicksTo1970 = 116444736000000000;

// The UTF-16 name of a narrow one; a name holding a wildcard is refused, so
// that neither a pattern nor a name that lost a character reaches a file.
Status WideName(const std::string& path, std::u16string* wide) {
  if (HoldsWildcard(path)) return Status::Error(ERROR_INVALID_NAME);
  if (!win32::CodePageToWide(path, wide)) return Status::FromLastErrorOr(ERROR_INVALID_NAME);
  return Status::Ok();
}

Status Failed() { return Status::FromLastErrorOr(ERROR_INVALID_FUNCTION); }

// Whether a file (not a folder) at `path` is read-only, which refuses
// writers. The system refuses them itself, but wine run by root lets them
// through as the POSIX permissions beneath it do; the layer keeps the rule
// whoever runs it.
bool ReadOnlyFile(const std::u16string& path) {
  uint32_t attributes = 0;
  return win32::GetFileAttributes(path, &attributes) &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileTime FileTimeOf(int64_t ticks) {
  FileTime time;
  const int64_t since_1970 = ticks - kTicksTo1970;
  time.seconds = since_1970 / 10000000;
  int64_t rest = since_1970 % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --time.seconds;
  }
  time.nanoseconds = static_cast<int32_t>(rest * 100);
  return time;
}

// An entry as Find gives it. A name the code page cannot hold keeps "?" in
// place of what it lacks, as listed names do on every system: the entry is
// seen, and any call that names it is refused (WideName), so it never stands
// for another file.
FindData FindDataOf(std::string name, const win32::FoundFile& found) {
  FindData data;
  data.name = std::move(name);
  data.attributes = found.attributes;
  data.size = (found.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : found.size;
  data.last_write = FileTimeOf(found.last_write);
  return data;
}

class WindowsFile final : public File {
 public:
  explicit WindowsFile(win32::Handle handle) : handle_(handle) {}
  ~WindowsFile() override {
    if (handle_ != nullptr) win32::CloseHandle(handle_);
  }

  Status Read(void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    auto* out = static_cast<char*>(buffer);
    while (*done < n) {
      uint32_t got = 0;
      if (!win32::ReadFile(handle_, out + *done, n - *done, &got)) return Failed();
      if (got == 0) break;
      *done += got;
    }
    return Status::Ok();
  }

  Status Write(const void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (*done < n) {
      uint32_t put = 0;
      if (!win32::WriteFile(handle_, in + *done, n - *done, &put)) return Failed();
      if (put == 0) return Status::Error(ERROR_WRITE_FAULT);
      *done += put;
    }
    return Status::Ok();
  }

  Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    const uint32_t method = origin == SeekOrigin::kBegin     ? 0
                            : origin == SeekOrigin::kCurrent ? 1
                                                             : 2;
    if (!win32::SetFilePointer(handle_, offset, method, position)) return Failed();
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    if (!win32::GetFileSize(handle_, size)) return Failed();
    return Status::Ok();
  }

  Status Truncate() override {
    if (!win32::SetEndOfFile(handle_)) return Failed();
    return Status::Ok();
  }

  Status Close() override {
    if (handle_ == nullptr) return Status::Ok();
    const bool closed = win32::CloseHandle(handle_);
    handle_ = nullptr;
    if (!closed) return Failed();
    return Status::Ok();
  }

 private:
  win32::Handle handle_;
};

class WindowsFileSystem final : public FileSystem {
 public:
  // Each call is its own system call.
  bool ThreadSafe() const override { return true; }

  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override {
    file->reset();
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    const bool write = (access & GENERIC_WRITE) != 0;
    uint32_t how = kOpenExisting;
    switch (disposition) {
      case Disposition::kCreateNew: how = kCreateNew; break;
      case Disposition::kCreateAlways: how = kCreateAlways; break;
      case Disposition::kOpenExisting: how = kOpenExisting; break;
      case Disposition::kOpenAlways: how = kOpenAlways; break;
      case Disposition::kTruncateExisting: how = kTruncateExisting; break;
    }
    // Making or emptying a file is writing to it.
    if (how != kOpenExisting && !write) return Status::Error(ERROR_INVALID_PARAMETER);
    if (write && ReadOnlyFile(wide)) return Status::Error(ERROR_ACCESS_DENIED);
    win32::Handle handle = win32::CreateFile(wide, access & (GENERIC_READ | GENERIC_WRITE), how);
    if (handle == nullptr) return Failed();
    *file = std::make_unique<WindowsFile>(handle);
    return Status::Ok();
  }

  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    std::u16string source, target;
    if (Status named = WideName(from, &source); !named.ok()) return named;
    if (Status named = WideName(to, &target); !named.ok()) return named;
    if (if_exists == IfExists::kReplace && ReadOnlyFile(target)) {
      return Status::Error(ERROR_ACCESS_DENIED);
    }
    if (!win32::CopyFile(source, target, if_exists == IfExists::kFail)) return Failed();
    return Status::Ok();
  }

  Status DeleteFile(const std::string& path) override {
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    if (!win32::DeleteFile(wide)) return Failed();
    return Status::Ok();
  }

  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    std::u16string source, target;
    if (Status named = WideName(from, &source); !named.ok()) return named;
    if (Status named = WideName(to, &target); !named.ok()) return named;
    if (if_exists == IfExists::kReplace && ReadOnlyFile(target)) {
      return Status::Error(ERROR_ACCESS_DENIED);
    }
    if (!win32::MoveFile(source, target, if_exists == IfExists::kReplace)) return Failed();
    return Status::Ok();
  }

  Status CreateDirectory(const std::string& path) override {
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    if (!win32::CreateDirectory(wide)) return Failed();
    return Status::Ok();
  }

  Status RemoveDirectory(const std::string& path) override {
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    if (!win32::RemoveDirectory(wide)) return Failed();
    return Status::Ok();
  }

  Status GetFileAttributes(const std::string& path, DWORD* attributes) override {
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    uint32_t value = 0;
    if (!win32::GetFileAttributes(wide, &value)) return Failed();
    *attributes = value;
    return Status::Ok();
  }

  Status SetFileAttributes(const std::string& path, DWORD attributes) override {
    std::u16string wide;
    if (Status named = WideName(path, &wide); !named.ok()) return named;
    if (!win32::SetFileAttributes(wide, attributes)) return Failed();
    return Status::Ok();
  }

  Status Find(const std::string& pattern, std::vector<FindData>* matches) override {
    matches->clear();
    const size_t separator = pattern.find_last_of("\\/");
    const std::string folder =
        separator == std::string::npos ? std::string() : pattern.substr(0, separator + 1);
    const std::string name_pattern =
        separator == std::string::npos ? pattern : pattern.substr(separator + 1);
    // Only the last component is a pattern; the folder is a name.
    if (HoldsWildcard(folder)) return Status::Error(ERROR_INVALID_NAME);
    // A path ending in a separator names no entry.
    if (name_pattern.empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
    if (!HoldsWildcard(name_pattern)) {
      // A plain name is one look-up, as the system resolves it (ignoring
      // case), and comes back as the folder spells it.
      std::u16string wide;
      if (Status named = WideName(pattern, &wide); !named.ok()) return named;
      std::vector<win32::FoundFile> listed;
      if (!win32::ListFiles(wide, &listed)) return Failed();
      if (listed.empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
      std::string name;
      win32::WideToCodePage(listed[0].name, &name);  // "?" where the code page lacks one
      matches->push_back(FindDataOf(std::move(name), listed[0]));
      return Status::Ok();
    }
    // The folder's entries are matched here rather than by the system, whose
    // patterns also match the short 8.3 names and order nothing.
    std::u16string wide_folder;
    if (!win32::CodePageToWide(folder + "*", &wide_folder)) return Failed();
    std::vector<win32::FoundFile> listed;
    if (!win32::ListFiles(wide_folder, &listed)) return Failed();
    for (const win32::FoundFile& entry : listed) {
      std::string name;
      win32::WideToCodePage(entry.name, &name);  // "?" where the code page lacks one
      if (WildcardMatch(name_pattern, name)) matches->push_back(FindDataOf(std::move(name), entry));
    }
    SortFindMatches(matches);
    if (matches->empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
    return Status::Ok();
  }
};

}  // namespace

LocalTime ToLocalTime(FileTime time) {
  // The C library's zone rules, which honour TZ as on the other systems.
  const __time64_t t = time.seconds;
  struct tm fields {};
  _localtime64_s(&fields, &t);
  return LocalTimeOf(fields, time.nanoseconds);
}

FileSystem& DefaultFileSystem() {
  static WindowsFileSystem* real = new WindowsFileSystem();
  return *real;
}

}  // namespace tavirelle
