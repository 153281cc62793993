#include "testing/fault_injecting_file_system.h"

#include <algorithm>

#include "platform/last_error.h"

namespace tavirelle {

class FaultInjectingFile final : public File {
 public:
  FaultInjectingFile(FaultInjectingFileSystem* fs, std::unique_ptr<File> base)
      : fs_(fs), base_(std::move(base)) {}

  bool Read(void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    if (!fs_->Step()) return false;
    DWORD want = n;
    if (fs_->short_read_ != 0) want = std::min(want, fs_->short_read_);
    if (fs_->read_limited_) {
      if (fs_->bytes_read_ >= fs_->read_limit_) {
        SetLastError(ERROR_NOT_READY);
        return false;
      }
      want = static_cast<DWORD>(
          std::min<uint64_t>(want, fs_->read_limit_ - fs_->bytes_read_));
    }
    bool ok = base_->Read(buffer, want, done);
    fs_->bytes_read_ += *done;
    return ok;
  }

  bool Write(const void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    if (!fs_->Step()) return false;
    if (fs_->write_protected_) {
      SetLastError(ERROR_WRITE_PROTECT);
      return false;
    }
    DWORD allowed = n;
    bool full = false;
    if (fs_->disk_limited_) {
      uint64_t room = fs_->disk_limit_ > fs_->bytes_written_
                          ? fs_->disk_limit_ - fs_->bytes_written_
                          : 0;
      if (room < n) {
        allowed = static_cast<DWORD>(room);
        full = true;
      }
    }
    bool ok = allowed == 0 || base_->Write(buffer, allowed, done);
    fs_->bytes_written_ += *done;
    if (ok && full) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    return ok;
  }

  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    if (!fs_->Step()) return false;
    return base_->Seek(offset, origin, position);
  }

  bool Size(uint64_t* size) override {
    if (!fs_->Step()) return false;
    return base_->Size(size);
  }

  bool Truncate() override {
    if (!fs_->Step() || !fs_->RefuseChange()) return false;
    return base_->Truncate();
  }

  bool Close() override {
    bool counted = fs_->Step();
    bool ok = base_->Close();  // the handle is released either way
    return counted && ok;
  }

 private:
  FaultInjectingFileSystem* fs_;
  std::unique_ptr<File> base_;
};

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem* base) : base_(base) {}

void FaultInjectingFileSystem::SetDiskFullAfter(uint64_t bytes) {
  disk_limited_ = true;
  disk_limit_ = bytes_written_ + bytes;
}

void FaultInjectingFileSystem::SetReadFailAfter(uint64_t bytes) {
  read_limited_ = true;
  read_limit_ = bytes_read_ + bytes;
}

void FaultInjectingFileSystem::FailOperation(uint64_t n, DWORD error) {
  fail_at_ = operations_ + n;
  fail_error_ = error;
}

void FaultInjectingFileSystem::Reset() {
  write_protected_ = false;
  denied_.clear();
  short_read_ = 0;
  disk_limited_ = false;
  read_limited_ = false;
  fail_at_ = 0;
  operations_ = 0;
  bytes_written_ = 0;
  bytes_read_ = 0;
}

bool FaultInjectingFileSystem::Step() {
  ++operations_;
  if (fail_at_ != 0 && operations_ == fail_at_) {
    SetLastError(fail_error_);
    return false;
  }
  return true;
}

bool FaultInjectingFileSystem::Denied(const std::string& path) const {
  for (const auto& part : denied_) {
    if (part.empty() || path.find(part) != std::string::npos) return true;
  }
  return false;
}

bool FaultInjectingFileSystem::RefuseChange() {
  if (write_protected_) {
    SetLastError(ERROR_WRITE_PROTECT);
    return false;
  }
  return true;
}

std::unique_ptr<File> FaultInjectingFileSystem::Open(const std::string& path,
                                                     DWORD access,
                                                     Disposition disposition) {
  if (!Step()) return nullptr;
  if (Denied(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  bool changes = (access & GENERIC_WRITE) != 0;
  if (changes && !RefuseChange()) return nullptr;
  auto file = base_->Open(path, access, disposition);
  if (!file) return nullptr;
  return std::make_unique<FaultInjectingFile>(this, std::move(file));
}

bool FaultInjectingFileSystem::CopyFile(const std::string& from,
                                        const std::string& to,
                                        IfExists if_exists) {
  if (!Step()) return false;
  if (Denied(from) || Denied(to)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!RefuseChange()) return false;
  if (disk_limited_) {
    std::vector<FindData> found;
    uint64_t size = base_->Find(from, &found) && !found.empty() ? found[0].size : 0;
    if (bytes_written_ + size > disk_limit_) {
      bytes_written_ = disk_limit_;
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    bytes_written_ += size;
  }
  return base_->CopyFile(from, to, if_exists);
}

bool FaultInjectingFileSystem::DeleteFile(const std::string& path) {
  if (!Step()) return false;
  if (Denied(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!RefuseChange()) return false;
  return base_->DeleteFile(path);
}

bool FaultInjectingFileSystem::MoveFile(const std::string& from,
                                        const std::string& to, IfExists if_exists) {
  if (!Step()) return false;
  if (Denied(from) || Denied(to)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!RefuseChange()) return false;
  return base_->MoveFile(from, to, if_exists);
}

bool FaultInjectingFileSystem::CreateDirectory(const std::string& path) {
  if (!Step() || !RefuseChange()) return false;
  return base_->CreateDirectory(path);
}

bool FaultInjectingFileSystem::RemoveDirectory(const std::string& path) {
  if (!Step() || !RefuseChange()) return false;
  return base_->RemoveDirectory(path);
}

DWORD FaultInjectingFileSystem::GetFileAttributes(const std::string& path) {
  if (!Step()) return INVALID_FILE_ATTRIBUTES;
  return base_->GetFileAttributes(path);
}

bool FaultInjectingFileSystem::SetFileAttributes(const std::string& path,
                                                 DWORD attributes) {
  if (!Step() || !RefuseChange()) return false;
  return base_->SetFileAttributes(path, attributes);
}

bool FaultInjectingFileSystem::Find(const std::string& pattern,
                                    std::vector<FindData>* matches) {
  matches->clear();
  if (!Step()) return false;
  return base_->Find(pattern, matches);
}

}  // namespace tavirelle
