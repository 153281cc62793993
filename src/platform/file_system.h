// The file-system interface through which every file and folder operation of
// the system goes, in place of the Win32 file API.
//
// Paths are the system's own Windows-style paths in the process code page;
// implementations translate them (see path.h). Every call but Find refuses a
// path holding '?' or '*' with ERROR_INVALID_NAME, as does Find when they
// stand in its folder part. Every call returns a Status whose code is the
// Win32 error the call of the same name gives on the original platform (its
// GetLastError), so that an implementation over the Win32 file API passes
// its codes on unchanged. Code that touches files receives the file system it
// uses as a parameter; only the hosts' entry points (the automation objects a
// host creates, the command) pick DefaultFileSystem(), so a test hands its
// in-memory or fault-injecting one to what it tests.
#ifndef TAVIRELLE_PLATFORM_FILE_SYSTEM_H_
#define TAVIRELLE_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tavirelle/types.h"

namespace tavirelle {

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;

// Access rights of an open file.
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;

// What opening does when the file exists or not (CreateFile's disposition).
enum class Disposition {
  kCreateNew,         // fails when the file exists
  kCreateAlways,      // creates, or truncates an existing file
  kOpenExisting,      // fails when the file is missing
  kOpenAlways,        // opens, or creates a missing file
  kTruncateExisting,  // opens and truncates; fails when missing
};

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// What copying or renaming onto an existing file does.
enum class IfExists {
  kFail,     // leaves the file there and fails with ERROR_FILE_EXISTS
  kReplace,  // replaces it
};

// A point in time as seconds and nanoseconds since 1970-01-01 UTC.
struct FileTime {
  int64_t seconds = 0;
  int32_t nanoseconds = 0;
};

// Calendar fields of a FileTime in the local time zone.
struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, milliseconds = 0;
};
LocalTime ToLocalTime(FileTime time);

// One entry found by FileSystem::Find.
struct FindData {
  std::string name;  // file name only, in the process code page
  DWORD attributes = 0;
  uint64_t size = 0;
  FileTime last_write;
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

class File {
 public:
  virtual ~File() = default;
  // Reads up to `n` bytes; *done receives the count (0 at the end of file),
  // also of the bytes read before a failure.
  virtual Status Read(void* buffer, DWORD n, DWORD* done) = 0;
  // Writes `n` bytes; *done receives how many were written before a failure.
  virtual Status Write(const void* buffer, DWORD n, DWORD* done) = 0;
  // Moves the file pointer; *position (optional) receives the new position.
  virtual Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) = 0;
  virtual Status Size(uint64_t* size) = 0;
  // Ends the file at the current position.
  virtual Status Truncate() = 0;
  // Flushes and closes; a failure here means data may not have reached the
  // medium. Destroying an open file closes it and ignores the outcome.
  virtual Status Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens or creates a file with GENERIC_READ and/or GENERIC_WRITE access
  // into *file (null on failure).
  virtual Status Open(const std::string& path, DWORD access, Disposition disposition,
                      std::unique_ptr<File>* file) = 0;
  virtual Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) = 0;
  virtual Status DeleteFile(const std::string& path) = 0;
  virtual Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) = 0;
  virtual Status CreateDirectory(const std::string& path) = 0;
  virtual Status RemoveDirectory(const std::string& path) = 0;
  // The FILE_ATTRIBUTE_* bits of what stands at `path`; fails when nothing
  // does.
  virtual Status GetFileAttributes(const std::string& path, DWORD* attributes) = 0;
  virtual Status SetFileAttributes(const std::string& path, DWORD attributes) = 0;
  // Lists the entries of the pattern's folder whose names match its last
  // component ('*' and '?', ignoring case). "." and ".." come first (outside
  // the root folder), then the other matches sorted by name ignoring case.
  // A last component without wildcards is one look-up of that exact name.
  // Fails with ERROR_FILE_NOT_FOUND (or ERROR_PATH_NOT_FOUND) when nothing
  // matches.
  virtual Status Find(const std::string& pattern, std::vector<FindData>* matches) = 0;
  // Whether several threads may call this file system, and files opened
  // from it, at the same time. Code that spreads its work over threads
  // takes turns at one that may not.
  virtual bool ThreadSafe() const { return false; }
};

// The real file system of this machine, for the hosts' entry points.
FileSystem& DefaultFileSystem();

// Whole-file conveniences used by tests and tools.
Status ReadWholeFile(FileSystem& fs, const std::string& path, std::string* contents);
Status WriteWholeFile(FileSystem& fs, const std::string& path, const std::string& contents);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_FILE_SYSTEM_H_
