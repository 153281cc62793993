#include "testing/fault_injecting_file_system.h"

#include <algorithm>
#include <optional>


namespace tavirelle {

class FaultInjectingFile final : public File {
 public:
  FaultInjectingFile(FaultInjectingFileSystem* fs, std::unique_ptr<File> base,
                     std::optional<FaultInjectingFileSystem::Damage> damage)
      : fs_(fs), base_(std::move(base)), damage_(std::move(damage)) {}

  Status Read(void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    Status step = fs_->Step();
    if (!step.ok()) return step;
    DWORD want = n;
    {
      std::lock_guard<std::mutex> lock(fs_->mutex_);
      if (fs_->short_read_ != 0) want = std::min(want, fs_->short_read_);
      if (fs_->read_limited_) {
        if (fs_->bytes_read_ >= fs_->read_limit_) return Status::Error(ERROR_NOT_READY);
        want = static_cast<DWORD>(std::min<uint64_t>(want, fs_->read_limit_ - fs_->bytes_read_));
      }
      // Counted before the read, so that threads reading at once stop
      // together at the limit.
      fs_->bytes_read_ += want;
    }
    const DWORD asked = want;
    bool damaged = false;
    uint64_t at = 0;
    if (damage_ && base_->Seek(0, SeekOrigin::kCurrent, &at).ok() && at <= damage_->offset &&
        damage_->offset < at + want) {
      want = static_cast<DWORD>(damage_->offset - at);
      damaged = true;
    }
    Status read = want == 0 ? Status::Ok() : base_->Read(buffer, want, done);
    {
      std::lock_guard<std::mutex> lock(fs_->mutex_);
      fs_->bytes_read_ -= asked - *done;
    }
    if (read.ok() && damaged && *done == want) return Status::Error(damage_->error);
    return read;
  }

  Status Write(const void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    Status step = fs_->StepChange();
    if (!step.ok()) return step;
    DWORD allowed = n;
    bool full = false;
    {
      std::lock_guard<std::mutex> lock(fs_->mutex_);
      if (fs_->disk_limited_) {
        uint64_t room = fs_->disk_limit_ > fs_->bytes_written_
                            ? fs_->disk_limit_ - fs_->bytes_written_
                            : 0;
        if (room < n) {
          allowed = static_cast<DWORD>(room);
          full = true;
        }
      }
      fs_->bytes_written_ += allowed;  // the room is taken before the write
    }
    Status written = allowed == 0 ? Status::Ok() : base_->Write(buffer, allowed, done);
    {
      std::lock_guard<std::mutex> lock(fs_->mutex_);
      fs_->bytes_written_ -= allowed - *done;
    }
    if (written.ok() && full) return Status::Error(ERROR_DISK_FULL);
    return written;
  }

  Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    Status step = fs_->Step();
    if (!step.ok()) return step;
    return base_->Seek(offset, origin, position);
  }

  Status Size(uint64_t* size) override {
    Status step = fs_->Step();
    if (!step.ok()) return step;
    return base_->Size(size);
  }

  Status Truncate() override {
    Status step = fs_->StepChange();
    if (!step.ok()) return step;
    return base_->Truncate();
  }

  Status Close() override {
    Status counted = fs_->Step();
    Status closed = base_->Close();  // the handle is released either way
    return counted.ok() ? closed : counted;
  }

 private:
  FaultInjectingFileSystem* fs_;
  std::unique_ptr<File> base_;
  std::optional<FaultInjectingFileSystem::Damage> damage_;
};

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem* base) : base_(base) {}

void FaultInjectingFileSystem::SetDiskFullAfter(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  disk_limited_ = true;
  disk_limit_ = bytes_written_ + bytes;
}

void FaultInjectingFileSystem::SetWriteProtected(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  write_protected_ = on;
}

void FaultInjectingFileSystem::DenyAccess(const std::string& part) {
  std::lock_guard<std::mutex> lock(mutex_);
  denied_.push_back(part);
}

void FaultInjectingFileSystem::SetShortReads(DWORD bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  short_read_ = bytes;
}

void FaultInjectingFileSystem::SetReadFailAfter(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  read_limited_ = true;
  read_limit_ = bytes_read_ + bytes;
}

void FaultInjectingFileSystem::SetDamagedByte(const std::string& part, uint64_t offset,
                                              DWORD error) {
  std::lock_guard<std::mutex> lock(mutex_);
  damage_.push_back({part, offset, error});
}

void FaultInjectingFileSystem::ServeThreads(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  serve_threads_ = on;
}

void FaultInjectingFileSystem::FailOperation(uint64_t n, DWORD error) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_at_ = operations_ + n;
  fail_error_ = error;
}

void FaultInjectingFileSystem::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  write_protected_ = false;
  denied_.clear();
  damage_.clear();
  short_read_ = 0;
  disk_limited_ = false;
  read_limited_ = false;
  fail_at_ = 0;
  operations_ = 0;
  bytes_written_ = 0;
  bytes_read_ = 0;
}

uint64_t FaultInjectingFileSystem::operations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return operations_;
}

uint64_t FaultInjectingFileSystem::bytes_written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_written_;
}

bool FaultInjectingFileSystem::ThreadSafe() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serve_threads_ && base_->ThreadSafe();
}

Status FaultInjectingFileSystem::Step() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++operations_;
  if (fail_at_ != 0 && operations_ == fail_at_) return Status::Error(fail_error_);
  return Status::Ok();
}

Status FaultInjectingFileSystem::StepChange() {
  Status step = Step();
  if (!step.ok()) return step;
  return RefusesChange();
}

Status FaultInjectingFileSystem::RefusesChange() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (write_protected_) return Status::Error(ERROR_WRITE_PROTECT);
  return Status::Ok();
}

Status FaultInjectingFileSystem::Denied(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& part : denied_) {
    if (part.empty() || path.find(part) != std::string::npos) return Status::Error(ERROR_ACCESS_DENIED);
  }
  return Status::Ok();
}

Status FaultInjectingFileSystem::Open(const std::string& path, DWORD access,
                                      Disposition disposition, std::unique_ptr<File>* file) {
  file->reset();
  Status allowed = Step();
  if (allowed.ok()) allowed = Denied(path);
  if (allowed.ok() && (access & GENERIC_WRITE) != 0) allowed = RefusesChange();
  if (!allowed.ok()) return allowed;
  std::unique_ptr<File> base;
  Status opened = base_->Open(path, access, disposition, &base);
  if (!opened.ok()) return opened;
  std::optional<Damage> damage;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Damage& d : damage_) {
      if (path.find(d.part) != std::string::npos) damage = d;
    }
  }
  *file = std::make_unique<FaultInjectingFile>(this, std::move(base), std::move(damage));
  return Status::Ok();
}

Status FaultInjectingFileSystem::CopyFile(const std::string& from, const std::string& to,
                                          IfExists if_exists) {
  Status allowed = Step();
  if (allowed.ok()) allowed = Denied(from);
  if (allowed.ok()) allowed = Denied(to);
  if (allowed.ok()) allowed = RefusesChange();
  if (!allowed.ok()) return allowed;
  bool limited;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    limited = disk_limited_;
  }
  if (limited) {
    std::vector<FindData> found;
    uint64_t size = base_->Find(from, &found).ok() && !found.empty() ? found[0].size : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (bytes_written_ + size > disk_limit_) {
      bytes_written_ = disk_limit_;
      return Status::Error(ERROR_DISK_FULL);
    }
    bytes_written_ += size;
  }
  return base_->CopyFile(from, to, if_exists);
}

Status FaultInjectingFileSystem::DeleteFile(const std::string& path) {
  Status allowed = Step();
  if (allowed.ok()) allowed = Denied(path);
  if (allowed.ok()) allowed = RefusesChange();
  if (!allowed.ok()) return allowed;
  return base_->DeleteFile(path);
}

Status FaultInjectingFileSystem::MoveFile(const std::string& from, const std::string& to,
                                          IfExists if_exists) {
  Status allowed = Step();
  if (allowed.ok()) allowed = Denied(from);
  if (allowed.ok()) allowed = Denied(to);
  if (allowed.ok()) allowed = RefusesChange();
  if (!allowed.ok()) return allowed;
  return base_->MoveFile(from, to, if_exists);
}

Status FaultInjectingFileSystem::CreateDirectory(const std::string& path) {
  Status allowed = StepChange();
  if (!allowed.ok()) return allowed;
  return base_->CreateDirectory(path);
}

Status FaultInjectingFileSystem::RemoveDirectory(const std::string& path) {
  Status allowed = StepChange();
  if (!allowed.ok()) return allowed;
  return base_->RemoveDirectory(path);
}

Status FaultInjectingFileSystem::GetFileAttributes(const std::string& path, DWORD* attributes) {
  Status allowed = Step();
  if (!allowed.ok()) return allowed;
  return base_->GetFileAttributes(path, attributes);
}

Status FaultInjectingFileSystem::SetFileAttributes(const std::string& path, DWORD attributes) {
  Status allowed = StepChange();
  if (!allowed.ok()) return allowed;
  return base_->SetFileAttributes(path, attributes);
}

Status FaultInjectingFileSystem::Find(const std::string& pattern, std::vector<FindData>* matches) {
  matches->clear();
  Status allowed = Step();
  if (!allowed.ok()) return allowed;
  return base_->Find(pattern, matches);
}

}  // namespace tavirelle
