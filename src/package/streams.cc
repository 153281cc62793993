#include "package/streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"

namespace tavirelle {

file_io::file_io(FileSystem& fs, const std::string& path, StreamMode mode)
    : fs_(fs),
      path_(path),
      countOnly_(mode == StreamMode::kCount),
      forWriting_(mode == StreamMode::kWrite) {}

Status file_io::open() {
  if (countOnly_) return Status::Ok();
  DWORD access = forWriting_ ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  Status opened = fs_.Open(
      path_, access, forWriting_ ? Disposition::kOpenAlways : Disposition::kOpenExisting, &file_);
  if (!opened.ok() || forWriting_) return opened;
  Status sized = file_->Size(&knownSize_);
  if (!sized.ok()) {
    file_.reset();
    return sized;
  }
  buffered_ = true;
  return Status::Ok();
}

file_io::~file_io() {
  // The outcome of a close nobody asked for cannot be reported.
  if (file_) file_->Close().IgnoreError();
}

Status file_io::close() {
  if (countOnly_) {
    countOnly_ = false;
    return Status::Ok();
  }
  if (!file_) return Status::Error(ERROR_INVALID_HANDLE);
  Status closed = file_->Close();
  file_.reset();
  block_.reset();
  blockLength_ = blockPos_ = 0;
  return closed;
}

Status file_io::seek(uint32_t pos) {
  if (countOnly_) return Status::Ok();
  if (!file_) return Status::Error(ERROR_INVALID_HANDLE);
  if (buffered_ && pos >= BlockStart() && pos <= filePos_) {
    blockPos_ = static_cast<uint32_t>(pos - BlockStart());
    return Status::Ok();
  }
  uint64_t now = 0;
  blockLength_ = blockPos_ = 0;
  Status moved = file_->Seek(pos, SeekOrigin::kBegin, &now);
  if (!moved.ok()) {
    // The platform pointer is unknown now; ask again on the next use.
    file_->Seek(0, SeekOrigin::kCurrent, &filePos_).IgnoreError();
    return moved;
  }
  filePos_ = now;
  return Status::Ok();
}

Status file_io::seek_end() {
  if (!file_) return Status::Error(ERROR_INVALID_HANDLE);
  uint64_t now = 0;
  blockLength_ = blockPos_ = 0;
  Status moved = file_->Seek(0, SeekOrigin::kEnd, &now);
  if (!moved.ok()) return moved;
  filePos_ = now;
  return Status::Ok();
}

uint32_t file_io::tell() { return static_cast<uint32_t>(tell64()); }

uint64_t file_io::tell64() {
  if (countOnly_) return bytes_written_;
  return filePos_ - (blockLength_ - blockPos_);
}

uint64_t file_io::size64() {
  if (!file_) return 0;
  if (buffered_) return knownSize_;
  uint64_t size = 0;
  if (!file_->Size(&size).ok()) return 0;
  return size;
}

uint64_t file_io::remaining() {
  if (!file_) return 0;
  uint64_t now = filePos_ - (blockLength_ - blockPos_);
  uint64_t size = size64();
  return size > now ? size - now : 0;
}

Status file_io::truncate() {
  if (!file_ || buffered_) return Status::Error(ERROR_INVALID_HANDLE);
  return file_->Truncate();
}

Status file_io::RawRead(uint8_t* at, uint32_t n, uint32_t* total) {
  DWORD done = 0;
  *total = 0;
  // The platform may return fewer bytes than asked before the end of file.
  while (*total < n) {
    Status read = file_->Read(at + *total, n - *total, &done);
    *total += done;
    filePos_ += done;
    if (!read.ok()) return read;
    if (done == 0) break;
  }
  return Status::Ok();
}

uint32_t file_io::read_into(simple_io& target, uint32_t n) {
  if (countOnly_) return n;
  if (!file_) return 0;
  if (target.free_space() < n) {
    // A size() + n that wraps would reserve a small block that the read then
    // overruns.
    uint64_t wanted = uint64_t{target.size()} + n;
    if (wanted > 0xFFFFFFFFu || !target.reserve(static_cast<uint32_t>(wanted))) return 0;
    if (target.free_space() < n) return 0;
  }
  uint8_t* at = target.write_pointer();
  if (at == nullptr) return 0;
  uint32_t got = read(at, n);
  target.advance(got);
  return got;
}

uint32_t file_io::read(void* destination, uint32_t n) {
  uint32_t got = 0;
  // A short count tells the caller all it looks at.
  read_all(destination, n, &got).IgnoreError();
  return got;
}

Status file_io::read_all(void* destination, uint32_t n, uint32_t* got) {
  *got = 0;
  if (countOnly_) {
    *got = n;
    return Status::Ok();
  }
  if (!file_) return Status::Error(ERROR_INVALID_HANDLE);
  if (destination == nullptr) return Status::Error(ERROR_INVALID_PARAMETER);
  auto* at = static_cast<uint8_t*>(destination);
  if (n == 0) return Status::Ok();
  if (buffered_ && blockLength_ - blockPos_ >= n) {
    // The common case while reading a directory: the bytes are in the block.
    std::memcpy(at, block_.get() + blockPos_, n);
    blockPos_ += n;
    *got = n;
    return Status::Ok();
  }
  if (!buffered_) return RawRead(at, n, got);
  uint32_t& total = *got;
  while (total < n) {
    uint32_t available = blockLength_ - blockPos_;
    if (available != 0) {
      uint32_t take = available < n - total ? available : n - total;
      std::memcpy(at + total, block_.get() + blockPos_, take);
      blockPos_ += take;
      total += take;
      continue;
    }
    if (n - total >= kReadBlock) {
      // Large reads go straight to the caller's memory.
      blockLength_ = blockPos_ = 0;
      uint32_t direct = 0;
      Status read = RawRead(at + total, n - total, &direct);
      total += direct;
      return read;
    }
    if (!block_) block_.reset(new uint8_t[kReadBlock]);
    uint32_t filled = 0;
    Status read = RawRead(block_.get(), kReadBlock, &filled);
    blockLength_ = filled;
    blockPos_ = 0;
    if (filled == 0) return read;
  }
  return Status::Ok();
}

uint32_t file_io::write(const void* source, uint32_t n) {
  uint32_t before = bytes_written_;
  // A short count tells the caller all it looks at.
  write_all(source, n).IgnoreError();
  return bytes_written_ - before;
}

Status file_io::write_all(const void* source, uint32_t n) {
  if (countOnly_) {
    bytes_written_ += n;
    return Status::Ok();
  }
  if (!file_ || buffered_) return n == 0 ? Status::Ok() : Status::Error(ERROR_INVALID_HANDLE);
  DWORD done = 0;
  Status written = file_->Write(source, n, &done);
  filePos_ += done;
  bytes_written_ += done;
  if (written.ok() && done < n) return Status::Error(ERROR_WRITE_FAULT);
  if (written.ok() && observer_) return observer_(bytes_written_);
  return written;
}

uint32_t file_io::size() {
  if (countOnly_) return bytes_written_;
  return static_cast<uint32_t>(size64());
}

dynamic_buffer::dynamic_buffer(uint32_t initialCapacity) { allocate(initialCapacity); }

dynamic_buffer::~dynamic_buffer() { std::free(data_); }

bool dynamic_buffer::allocate(uint32_t n) {
  if (data_ == nullptr || capacity_ < n) {
    std::free(data_);
    capacity_ = 0;
    data_ = static_cast<uint8_t*>(std::malloc(n == 0 ? 1 : n));
    if (data_ != nullptr) capacity_ = n;
  }
  writePos_ = 0;
  readPos_ = 0;
  return data_ != nullptr;
}

bool dynamic_buffer::reserve(uint32_t n) {
  if (data_ == nullptr) return allocate(n);
  if (capacity_ >= n) return true;
  auto* grown = static_cast<uint8_t*>(std::malloc(n));
  if (grown == nullptr) return false;
  std::memcpy(grown, data_, capacity_);
  std::free(data_);
  data_ = grown;
  capacity_ = n;
  return true;
}

uint32_t dynamic_buffer::read_into(simple_io& target, uint32_t n) {
  if (target.free_space() < n) {
    uint64_t wanted = uint64_t{target.size()} + n;
    if (wanted > 0xFFFFFFFFu || !target.reserve(static_cast<uint32_t>(wanted))) return 0;
  }
  uint32_t count = std::min(n, capacity_ - readPos_);
  if (count == 0) return 0;
  uint32_t accepted = target.write(data_ + readPos_, count);
  readPos_ += accepted;
  return accepted;
}

uint32_t dynamic_buffer::read(void* destination, uint32_t n) {
  if (destination == nullptr) return 0;
  uint32_t count = std::min(n, capacity_ - readPos_);
  if (count != 0) std::memcpy(destination, data_ + readPos_, count);
  readPos_ += count;
  return count;
}

uint32_t dynamic_buffer::write(const void* source, uint32_t n) {
  if (free_space() < n) {
    uint64_t wanted = uint64_t{size()} + n;
    if (wanted > 0xFFFFFFFFu || !reserve(static_cast<uint32_t>(wanted))) return 0;
  }
  if (n != 0) std::memcpy(data_ + writePos_, source, n);
  writePos_ += n;
  return n;
}

}  // namespace tavirelle
