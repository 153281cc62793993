// The byte streams that carry every byte the package code reads or writes:
// the abstract stream simple_io, the file-backed file_io (over the platform
// file system) and the growable memory block dynamic_buffer.
//
// Positions and sizes are 32-bit byte counts: packages are limited to what
// 32-bit offsets address. The simple_io operations report what moved as
// counts; a file_io also tells why an open, read, write, seek or close
// failed, as a Status.
#ifndef TAVIRELLE_PACKAGE_STREAMS_H_
#define TAVIRELLE_PACKAGE_STREAMS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/status.h"

namespace tavirelle {

class File;
class FileSystem;

class simple_io {
 public:
  virtual ~simple_io() = default;
  // Moves up to n bytes from this stream into `target`.
  virtual uint32_t read_into(simple_io& target, uint32_t n) = 0;
  virtual uint32_t read(void* destination, uint32_t n) = 0;
  virtual uint32_t write(const void* source, uint32_t n) = 0;
  virtual uint32_t size() = 0;
  // Room left for writing without growing.
  virtual uint32_t free_space() = 0;
  // Declares that n bytes were placed at write_pointer().
  virtual void advance(uint32_t n) = 0;
  // Where the next written bytes may be placed directly, or null.
  virtual uint8_t* write_pointer() = 0;
  // Makes size() at least n.
  virtual bool reserve(uint32_t n) = 0;
};

// What a file_io does with its path.
enum class StreamMode {
  kRead,   // reads an existing file
  kWrite,  // reads and writes; created when missing, never truncated
  kCount,  // opens nothing and only counts what is transferred
};

class file_io final : public simple_io {
 public:
  // A stream of the file `path` as `mode` says; open() opens it.
  file_io(FileSystem& fs, const std::string& path, StreamMode mode);
  ~file_io() override;
  file_io(const file_io&) = delete;
  file_io& operator=(const file_io&) = delete;

  // Opens the file (nothing in count-only mode); a stream that is not open
  // reads and writes nothing.
  Status open();
  bool is_open() const { return countOnly_ || file_ != nullptr; }
  bool count_only() const { return countOnly_; }
  const std::string& path() const { return path_; }
  // The file system the stream's file lives in.
  FileSystem& file_system() const { return fs_; }
  uint32_t bytes_written() const { return bytes_written_; }
  // Closes the file; a failure means the written data may not have reached
  // the medium. The stream is closed either way.
  Status close();
  // Moves to the absolute position `pos` (count-only mode: does nothing).
  Status seek(uint32_t pos);
  // Moves to the end of the file; tell() then gives its size.
  Status seek_end();
  // The position from the start, of an open file.
  uint32_t tell();
  // The position without 32-bit truncation (the bytes counted in count-only
  // mode), so that a writer can refuse what 32-bit offsets cannot address.
  uint64_t tell64();
  // The file's full size and the bytes from the current position to its
  // end, without 32-bit truncation (for checking stated lengths).
  uint64_t size64();
  uint64_t remaining();
  // Ends the file at the current position.
  Status truncate();

  // Reads up to n bytes; *got tells how many arrived, fewer only where the
  // file ends or when the read failed.
  Status read_all(void* destination, uint32_t n, uint32_t* got);
  // Writes all n bytes (counts them in count-only mode), or tells why not;
  // the bytes that did land count in bytes_written().
  Status write_all(const void* source, uint32_t n);
  // Told the bytes written so far after every write that landed whole; a
  // Status it returns that is not ok fails that write (a writer stopped
  // half-way by its caller).
  void set_write_observer(std::function<Status(uint64_t written)> observer) {
    observer_ = std::move(observer);
  }

  uint32_t read_into(simple_io& target, uint32_t n) override;
  uint32_t read(void* destination, uint32_t n) override;
  uint32_t write(const void* source, uint32_t n) override;
  uint32_t size() override;
  uint32_t free_space() override { return 0x0FFFFFFF; }
  void advance(uint32_t) override {}
  uint8_t* write_pointer() override { return nullptr; }
  bool reserve(uint32_t) override { return true; }

 private:
  // Reading a directory or a stored file's headers takes many small reads;
  // a file opened for reading serves them from one block.
  static constexpr uint32_t kReadBlock = 64 * 1024;
  Status RawRead(uint8_t* at, uint32_t n, uint32_t* total);
  uint64_t BlockStart() const { return filePos_ - blockLength_; }

  FileSystem& fs_;
  std::string path_;
  std::unique_ptr<File> file_;
  bool countOnly_;
  uint32_t bytes_written_ = 0;
  std::function<Status(uint64_t)> observer_;
  bool forWriting_;
  bool buffered_ = false;
  std::unique_ptr<uint8_t[]> block_;
  uint32_t blockLength_ = 0;
  uint32_t blockPos_ = 0;
  uint64_t filePos_ = 0;      // where the platform's file pointer stands
  uint64_t knownSize_ = 0;    // size of a file opened for reading
};

class dynamic_buffer final : public simple_io {
 public:
  explicit dynamic_buffer(uint32_t initialCapacity);
  ~dynamic_buffer() override;
  dynamic_buffer(const dynamic_buffer&) = delete;
  dynamic_buffer& operator=(const dynamic_buffer&) = delete;

  // Makes sure a block of at least n bytes exists (keeping a large enough
  // one) and resets both positions; false when no block exists.
  bool allocate(uint32_t n);
  uint8_t* data() { return data_; }
  const char* text() const { return reinterpret_cast<const char*>(data_); }
  uint32_t capacity() const { return capacity_; }
  uint32_t write_position() const { return writePos_; }
  uint32_t read_position() const { return readPos_; }

  uint32_t read_into(simple_io& target, uint32_t n) override;
  uint32_t read(void* destination, uint32_t n) override;
  uint32_t write(const void* source, uint32_t n) override;
  uint32_t size() override { return capacity_; }
  uint32_t free_space() override { return capacity_ - writePos_; }
  void advance(uint32_t n) override { writePos_ += n; }
  uint8_t* write_pointer() override { return data_ ? data_ + writePos_ : nullptr; }
  bool reserve(uint32_t n) override;

 private:
  uint8_t* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t writePos_ = 0;
  uint32_t readPos_ = 0;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_PACKAGE_STREAMS_H_
