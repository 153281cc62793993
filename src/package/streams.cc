#include "package/streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"

namespace tavirelle {

file_io::file_io(FileSystem& fs, const std::string& path, StreamMode mode, OnError onError)
    : fs_(fs),
      path_(path),
      countOnly_(mode == StreamMode::kCount),
      throwOnError_(onError == OnError::kThrow) {
  if (countOnly_) return;
  const bool forWriting = mode == StreamMode::kWrite;
  DWORD access = forWriting ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  fs_.Open(path, access, forWriting ? Disposition::kOpenAlways : Disposition::kOpenExisting, &file_)
      .IgnoreError();
  if (!file_) {
    if (throwOnError_) throw StreamError{StreamError::kOpenFailed};
    return;
  }
  if (!forWriting) {
    if (!file_->Size(&knownSize_).ok()) {
      file_.reset();
      return;
    }
    buffered_ = true;
  }
}

file_io::~file_io() {
  // The outcome of a close nobody asked for cannot be reported.
  if (file_) file_->Close().IgnoreError();
}

bool file_io::close() {
  if (countOnly_) {
    countOnly_ = false;
    return true;
  }
  if (!file_) return false;
  bool ok = file_->Close().ok();
  file_.reset();
  block_.reset();
  blockLength_ = blockPos_ = 0;
  return ok;
}

uint32_t file_io::seek(uint32_t pos) {
  if (countOnly_) return pos;
  if (!file_) return 0xFFFFFFFF;
  if (buffered_ && pos >= BlockStart() && pos <= filePos_) {
    blockPos_ = static_cast<uint32_t>(pos - BlockStart());
    return pos;
  }
  uint64_t now = 0;
  blockLength_ = blockPos_ = 0;
  if (!file_->Seek(pos, SeekOrigin::kBegin, &now).ok()) {
    // The platform pointer is unknown now; ask again on the next use.
    file_->Seek(0, SeekOrigin::kCurrent, &filePos_).IgnoreError();
    return 0xFFFFFFFF;
  }
  filePos_ = now;
  return static_cast<uint32_t>(now);
}

uint32_t file_io::seek_end() {
  if (!file_) return 0xFFFFFFFF;
  uint64_t now = 0;
  blockLength_ = blockPos_ = 0;
  if (!file_->Seek(0, SeekOrigin::kEnd, &now).ok()) return 0xFFFFFFFF;
  filePos_ = now;
  return static_cast<uint32_t>(now);
}

uint32_t file_io::tell() {
  if (!file_) return 0xFFFFFFFF;
  return static_cast<uint32_t>(filePos_ - (blockLength_ - blockPos_));
}

uint64_t file_io::tell64() {
  if (countOnly_) return bytes_written_;
  if (!file_) return 0xFFFFFFFF;
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

bool file_io::truncate() {
  if (!file_ || buffered_) return false;
  return file_->Truncate().ok();
}

bool file_io::RawRead(uint8_t* at, uint32_t n, uint32_t* total) {
  DWORD done = 0;
  *total = 0;
  // The platform may return fewer bytes than asked before the end of file.
  while (*total < n) {
    bool ok = file_->Read(at + *total, n - *total, &done).ok();
    *total += done;
    filePos_ += done;
    if (!ok) return false;
    if (done == 0) break;
  }
  return true;
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
  if (countOnly_) return n;
  if (!file_ || destination == nullptr) return 0;
  auto* at = static_cast<uint8_t*>(destination);
  if (n == 0) return 0;
  if (buffered_ && blockLength_ - blockPos_ >= n) {
    // The common case while reading a directory: the bytes are in the block.
    std::memcpy(at, block_.get() + blockPos_, n);
    blockPos_ += n;
    return n;
  }
  uint32_t total = 0;
  if (!buffered_) {
    RawRead(at, n, &total);
    return total;
  }
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
      uint32_t got = 0;
      RawRead(at + total, n - total, &got);
      total += got;
      break;
    }
    if (!block_) block_.reset(new uint8_t[kReadBlock]);
    uint32_t got = 0;
    RawRead(block_.get(), kReadBlock, &got);
    blockLength_ = got;
    blockPos_ = 0;
    if (got == 0) break;
  }
  return total;
}

uint32_t file_io::write(const void* source, uint32_t n) {
  uint32_t count = 0;
  if (countOnly_) {
    count = n;
  } else if (file_ && !buffered_) {
    DWORD done = 0;
    file_->Write(source, n, &done).IgnoreError();
    count = done;
    filePos_ += done;
    if (count < n && throwOnError_) throw StreamError{StreamError::kShortWrite};
  } else if (throwOnError_ && n != 0) {
    throw StreamError{StreamError::kShortWrite};
  }
  bytes_written_ += count;
  return count;
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
