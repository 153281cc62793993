#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/file_system_common.h"
#include "platform/path.h"
#include "platform/status.h"
#include "platform/system_calls.h"

namespace tavirelle {

LocalTime ToLocalTime(FileTime time) {
  time_t t = static_cast<time_t>(time.seconds);
  struct tm fields {};
  localtime_r(&t, &fields);
  return LocalTimeOf(fields, time.nanoseconds);
}

namespace {

Status Fail(int err) { return Status::Error(Win32ErrorFromErrno(err)); }

// Refuses a name that would be taken for another file (see HoldsWildcard).
bool InvalidName(const std::string& path) { return HoldsWildcard(path); }

DWORD AttributesOf(const struct stat& st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                                         : FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

FindData FindDataOf(std::string name, const struct stat& st) {
  FindData data;
  data.name = std::move(name);
  data.attributes = AttributesOf(st);
  data.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  data.last_write.seconds = st.st_mtim.tv_sec;
  data.last_write.nanoseconds = static_cast<int32_t>(st.st_mtim.tv_nsec);
  return data;
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Status Read(void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    auto* out = static_cast<char*>(buffer);
    while (*done < n) {
      ssize_t r = ::read(fd_, out + *done, n - *done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      if (r == 0) break;
      *done += static_cast<DWORD>(r);
    }
    return Status::Ok();
  }

  Status Write(const void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (*done < n) {
      ssize_t w = ::write(fd_, in + *done, n - *done);
      if (w < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      *done += static_cast<DWORD>(w);
    }
    return Status::Ok();
  }

  Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    int whence = origin == SeekOrigin::kBegin     ? SEEK_SET
                 : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                  : SEEK_END;
    off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) return Fail(errno);
    if (position != nullptr) *position = static_cast<uint64_t>(at);
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Fail(errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::Ok();
  }

  Status Truncate() override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0 || ::ftruncate(fd_, at) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status Close() override {
    if (fd_ < 0) return Status::Ok();
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) return Fail(errno);
    return Status::Ok();
  }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(SystemCalls calls) : calls_(std::move(calls)) {}

  // Each call is its own system call.
  bool ThreadSafe() const override { return true; }

  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override {
    file->reset();
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct stat st {};
    bool exists = ::stat(native.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Status::Error(ERROR_ACCESS_DENIED);
    bool write = (access & GENERIC_WRITE) != 0;
    // A read-only file refuses writers, whoever runs the process.
    if (exists && write && (st.st_mode & S_IWUSR) == 0) return Status::Error(ERROR_ACCESS_DENIED);
    int flags = O_CLOEXEC;
    flags |= write ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
      case Disposition::kCreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
      case Disposition::kCreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
      case Disposition::kOpenExisting:
        break;
      case Disposition::kOpenAlways:
        flags |= O_CREAT;
        break;
      case Disposition::kTruncateExisting:
        flags |= O_TRUNC;
        break;
    }
    if ((flags & (O_CREAT | O_TRUNC)) && !write) return Status::Error(ERROR_INVALID_PARAMETER);
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
      if (errno == EEXIST) return Status::Error(ERROR_FILE_EXISTS);
      if (errno == ENOENT && disposition != Disposition::kOpenExisting &&
          disposition != Disposition::kTruncateExisting) {
        return Status::Error(ERROR_PATH_NOT_FOUND);
      }
      return Fail(errno);
    }
    *file = std::make_unique<PosixFile>(fd);
    return Status::Ok();
  }

  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    if (InvalidName(from) || InvalidName(to)) return Status::Error(ERROR_INVALID_NAME);
    std::string src_path = NativePath(from);
    int src = ::open(src_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (src < 0) return Fail(errno);
    struct stat st {};
    if (::fstat(src, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(src);
      return Status::Error(ERROR_ACCESS_DENIED);
    }
    std::string dst_path = NativePath(to);
    struct stat dst_st {};
    if (::stat(dst_path.c_str(), &dst_st) == 0) {
      if (if_exists == IfExists::kFail) {
        ::close(src);
        return Status::Error(ERROR_FILE_EXISTS);
      }
      if (S_ISDIR(dst_st.st_mode) || (dst_st.st_mode & S_IWUSR) == 0) {
        ::close(src);
        return Status::Error(ERROR_ACCESS_DENIED);
      }
    }
    // Nobody may read the copy who could not read the source, from its
    // creation on: a private file stays private wherever it is copied to.
    const mode_t unreadable = static_cast<mode_t>((S_IRUSR | S_IRGRP | S_IROTH) & ~st.st_mode);
    int dst = ::open(
        dst_path.c_str(),
        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (if_exists == IfExists::kFail ? O_EXCL : 0),
        0666 & ~unreadable);
    if (dst < 0) {
      int err = errno;
      ::close(src);
      return Fail(err);
    }
    struct stat made {};
    bool ok = ::fstat(dst, &made) == 0 && ((made.st_mode & unreadable) == 0 ||
                                           ::fchmod(dst, made.st_mode & 07777 & ~unreadable) == 0);
    ok = ok && CopyBytes(src, dst);
    int err = errno;
    if (ok) {
      // The copy keeps the source's last-write time, as the platform's does.
      struct timespec times[2] = {st.st_atim, st.st_mtim};
      ::futimens(dst, times);
    }
    ::close(src);
    if (::close(dst) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (!ok) {
      ::unlink(dst_path.c_str());
      return Fail(err);
    }
    return Status::Ok();
  }

  Status DeleteFile(const std::string& path) override {
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return Fail(errno);
    if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return Status::Error(ERROR_ACCESS_DENIED);
    if (::unlink(native.c_str()) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    if (InvalidName(from) || InvalidName(to)) return Status::Error(ERROR_INVALID_NAME);
    std::string src = NativePath(from);
    std::string dst = NativePath(to);
    if (if_exists == IfExists::kReplace) {
      if (::rename(src.c_str(), dst.c_str()) != 0) return Fail(errno);
      return Status::Ok();
    }
    // The check for an existing target and the rename are one step, so that
    // a file appearing at the target meanwhile is never replaced.
    if (calls_.renameat2(src.c_str(), dst.c_str(), RENAME_NOREPLACE) == 0) return Status::Ok();
    if (errno != EINVAL && errno != ENOSYS) return Fail(errno);
    // A file system without that rename: a hard link fails the same way on
    // an existing target.
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return Fail(errno);
    if (S_ISREG(st.st_mode)) {
      if (calls_.link(src.c_str(), dst.c_str()) != 0) return Fail(errno);
      ::unlink(src.c_str());
      return Status::Ok();
    }
    if (::lstat(dst.c_str(), &st) == 0) return Fail(EEXIST);
    if (::rename(src.c_str(), dst.c_str()) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status CreateDirectory(const std::string& path) override {
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    if (::mkdir(NativePath(path).c_str(), 0777) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status RemoveDirectory(const std::string& path) override {
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    if (::rmdir(NativePath(path).c_str()) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status GetFileAttributes(const std::string& path, DWORD* attributes) override {
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return Fail(errno);
    *attributes = AttributesOf(st);
    return Status::Ok();
  }

  Status SetFileAttributes(const std::string& path, DWORD attributes) override {
    if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
    std::string native = NativePath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return Fail(errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
      mode |= S_IWUSR;
    }
    if (::chmod(native.c_str(), mode) != 0) return Fail(errno);
    return Status::Ok();
  }

  Status Find(const std::string& pattern, std::vector<FindData>* matches) override {
    matches->clear();
    std::string native = NativePath(pattern);
    size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0                ? std::string("/")
                                                     : native.substr(0, slash);
    // Only the last component is a pattern; the folder is a name.
    if (InvalidName(folder)) return Status::Error(ERROR_INVALID_NAME);
    std::string name_pattern =
        NameFromNative(slash == std::string::npos ? native : native.substr(slash + 1));
    // A path ending in a separator names no entry.
    if (name_pattern.empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
    struct stat st {};
    if (!HoldsWildcard(name_pattern)) {
      // A plain name is looked up as the operating system resolves it, case
      // and all, so that what is found here is what opening it finds.
      if (::stat(native.c_str(), &st) == 0) {
        matches->push_back(FindDataOf(name_pattern, st));
        return Status::Ok();
      }
      int err = errno;
      return Status::Error(err == ENOENT && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                         ? ERROR_FILE_NOT_FOUND
                     : err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                       : Win32ErrorFromErrno(err));
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
      return Status::Error(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : Win32ErrorFromErrno(errno));
    }
    bool root = folder == "/";
    std::vector<FindData> found;
    std::vector<FindData> dots;
    while (struct dirent* entry = ::readdir(dir)) {
      std::string raw = entry->d_name;
      bool dot = raw == "." || raw == "..";
      if (dot && root) continue;
      std::string name = NameFromNative(raw);
      if (!WildcardMatch(name_pattern, name)) continue;
      std::string full = folder == "/" ? "/" + raw : folder + "/" + raw;
      if (::stat(full.c_str(), &st) != 0) continue;  // vanished or dangling
      (dot ? dots : found).push_back(FindDataOf(std::move(name), st));
    }
    ::closedir(dir);
    *matches = std::move(dots);
    for (auto& f : found) matches->push_back(std::move(f));
    SortFindMatches(matches);
    if (matches->empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
    return Status::Ok();
  }

 private:
  bool CopyBytes(int src, int dst) const {
    for (;;) {
      ssize_t n = calls_.copy_file_range(src, dst, 1 << 30);
      if (n > 0) continue;
      if (n == 0) return true;
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
          errno == EOPNOTSUPP) {
        break;  // fall back to plain reads and writes
      }
      return false;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
      ssize_t r = calls_.read(src, buffer.data(), buffer.size());
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) return true;
      for (ssize_t off = 0; off < r;) {
        ssize_t w = calls_.write(dst, buffer.data() + off, static_cast<size_t>(r - off));
        if (w < 0) {
          if (errno == EINTR) continue;
          return false;
        }
        off += w;
      }
    }
  }

  const SystemCalls calls_;
};

}  // namespace

SystemCalls RealSystemCalls() {
  SystemCalls calls;
  calls.copy_file_range = [](int in, int out, size_t length) {
    return ::copy_file_range(in, nullptr, out, nullptr, length, 0);
  };
  calls.read = [](int fd, void* buffer, size_t length) { return ::read(fd, buffer, length); };
  calls.write = [](int fd, const void* buffer, size_t length) {
    return ::write(fd, buffer, length);
  };
  calls.renameat2 = [](const char* from, const char* to, unsigned flags) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
  };
  calls.link = [](const char* from, const char* to) { return ::link(from, to); };
  return calls;
}

std::unique_ptr<FileSystem> NewPosixFileSystem(SystemCalls calls) {
  return std::make_unique<PosixFileSystem>(std::move(calls));
}

FileSystem& DefaultFileSystem() {
  static PosixFileSystem* real = new PosixFileSystem(RealSystemCalls());
  return *real;
}

}  // namespace tavirelle
