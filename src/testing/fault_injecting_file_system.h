// A file system for tests that passes calls to another one and makes chosen
// calls fail the way real media fail: a disk that fills up after N bytes, a
// write-protected medium, access denied, reads that come back short, a
// damaged place in a file, or the n-th operation failing with a chosen
// error.
//
// Its own state is kept under a lock, so that it may serve several threads;
// it says so (ThreadSafe) only when ServeThreads is set, since code that
// spreads its work over threads then takes its parallel paths, where which
// operation comes n-th, and which file reaches a shared byte limit first,
// depend on timing.
#ifndef TAVIRELLE_TESTING_FAULT_INJECTING_FILE_SYSTEM_H_
#define TAVIRELLE_TESTING_FAULT_INJECTING_FILE_SYSTEM_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

class FaultInjectingFileSystem final : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem* base = &DefaultFileSystem());

  // Writes succeed until `bytes` bytes have been written in all (counted from
  // now); the write that crosses the limit writes what fits and fails with
  // ERROR_DISK_FULL, as do all later writes and copies.
  void SetDiskFullAfter(uint64_t bytes);
  // Every operation that would change the medium fails with
  // ERROR_WRITE_PROTECT; reading still works.
  void SetWriteProtected(bool on);
  // Opening (and copying, deleting, renaming) a path that contains `part`
  // fails with ERROR_ACCESS_DENIED; an empty part denies every path.
  void DenyAccess(const std::string& part);
  // Each read returns at most `bytes` bytes (a short read, not an error).
  void SetShortReads(DWORD bytes);
  // Reads fail with ERROR_NOT_READY once `bytes` bytes have been read.
  void SetReadFailAfter(uint64_t bytes);
  // A damaged place: in every file opened under a path that contains
  // `part`, a read that would take the byte at `offset` returns the bytes
  // before it and fails with `error`, as often as it is tried, whichever
  // thread reads.
  void SetDamagedByte(const std::string& part, uint64_t offset,
                      DWORD error = ERROR_NOT_READY);
  // Tells callers that several threads may use it at once (see above).
  void ServeThreads(bool on);
  // The n-th operation from now (1-based; every call of this interface and
  // of its files counts) fails with `error` and changes nothing.
  void FailOperation(uint64_t n, DWORD error);
  // Clears every fault and the counters.
  void Reset();

  uint64_t operations() const;
  uint64_t bytes_written() const;
  bool ThreadSafe() const override;

  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override;
  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override;
  Status DeleteFile(const std::string& path) override;
  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override;
  Status CreateDirectory(const std::string& path) override;
  Status RemoveDirectory(const std::string& path) override;
  Status GetFileAttributes(const std::string& path, DWORD* attributes) override;
  Status SetFileAttributes(const std::string& path, DWORD attributes) override;
  Status Find(const std::string& pattern, std::vector<FindData>* matches) override;

 private:
  friend class FaultInjectingFile;

  struct Damage {
    std::string part;
    uint64_t offset = 0;
    DWORD error = 0;
  };

  // Counts one operation; a failure when it must fail.
  Status Step();
  // The same for an operation that changes the medium, which a
  // write-protected one refuses.
  Status StepChange();
  // ERROR_WRITE_PROTECT when the medium refuses changes.
  Status RefusesChange();
  // ERROR_ACCESS_DENIED for a path that holds a denied part.
  Status Denied(const std::string& path) const;
  // Where reading the file at `path` meets a damaged byte, if anywhere.
  const Damage* DamageIn(const std::string& path) const;

  FileSystem* base_;
  mutable std::mutex mutex_;  // guards everything below
  bool serve_threads_ = false;
  std::vector<Damage> damage_;
  bool write_protected_ = false;
  std::vector<std::string> denied_;
  DWORD short_read_ = 0;
  bool disk_limited_ = false;
  uint64_t disk_limit_ = 0;
  bool read_limited_ = false;
  uint64_t read_limit_ = 0;
  uint64_t fail_at_ = 0;
  DWORD fail_error_ = 0;
  uint64_t operations_ = 0;
  uint64_t bytes_written_ = 0;
  uint64_t bytes_read_ = 0;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_FAULT_INJECTING_FILE_SYSTEM_H_
