#include "package/record_format.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/last_error.h"
#include "util/md5.h"
#include "util/md5_lanes.h"

namespace tavirelle {

namespace {

void PutU32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetU32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 |
         uint32_t{at[3]} << 24;
}

// The smallest directory entry: four records with empty texts.
constexpr uint64_t kSmallestEntry = 4 + 6 + 6 + 4;

bool IsText(const uint8_t header[10], uint32_t got, uint8_t tag) {
  return header[0] == tag && header[1] == kRecordText && got >= 4;
}

bool IsInt32(const uint8_t header[10], uint32_t got, uint8_t tag) {
  return header[0] == tag && header[1] == kRecordInt32 && got == 6;
}

}  // namespace

const char* DescribeOpenError(PackageOpenError error) {
  switch (error) {
    case PackageOpenError::kNone: return "open";
    case PackageOpenError::kMissing: return "no such file";
    case PackageOpenError::kUnreadable: return "cannot read the file";
    case PackageOpenError::kNotPackage: return "not a package";
    case PackageOpenError::kUnfinished: return "unfinished write";
    case PackageOpenError::kEmptyDirectory: return "empty directory";
    case PackageOpenError::kDamagedDirectory: return "damaged directory";
    case PackageOpenError::kRepairFailed: return "show description repair failed";
  }
  return "unknown";
}

uint32_t RecordInt32(const uint8_t header[10]) { return GetU32(header + 2); }

bool IsMagicRecord(const uint8_t header[10], uint32_t got, const dynamic_buffer& payload) {
  constexpr uint32_t kLength = sizeof(kPackageMagic) - 1;
  return IsText(header, got, kTagMagic) && got == 4 + kLength &&
         std::memcmp(payload.text(), kPackageMagic, kLength) == 0;
}

uint64_t StoredFileRecordSize(const std::string& storedName, uint64_t dataSize) {
  return 6 + 4 + (storedName.size() & 0xFFFF) + 6 + dataSize;
}

uint64_t DirectoryRecordsSize(const std::vector<PackageEntry>& entries) {
  uint64_t total = 4 + sizeof(kDirectoryMarker) - 1 + 6;
  for (const PackageEntry& entry : entries) {
    total += 4 + (entry.name.size() & 0xFFFF) + 6 + 6 + 4 + (entry.md5.size() & 0xFFFF);
  }
  return total;
}

uint32_t ReadRecord(file_io& stream, uint8_t header[10], dynamic_buffer& payload) {
  if (stream.read(header, 2) < 2) return 0;
  switch (header[1]) {
    case kRecordBlock: {
      if (stream.read(header + 2, 4) < 4) return 2;
      uint32_t length = GetU32(header + 2);
      // A stated length past the end of the file is a damaged record: fail
      // before the buffer grows to it.
      if (length > stream.remaining() || length > 0xFFFFFFFFu - 6) return 0;
      if (stream.read_into(payload, length) != length) return 0;
      return 6 + length;
    }
    case kRecordText: {
      if (stream.read(header + 2, 2) < 2) return 2;
      uint32_t length = uint32_t{header[2]} | uint32_t{header[3]} << 8;
      if (length > stream.remaining()) return 0;
      if (stream.read_into(payload, length) != length) return 0;
      static const uint8_t kZeros[3] = {0, 0, 0};
      if (payload.write(kZeros, 3) != 3) return 0;
      return 4 + length;
    }
    case kRecordInt32:
      return stream.read(header + 2, 4) == 4 ? 6 : 2;
    case kRecordInt64:
      return stream.read(header + 2, 8) == 8 ? 10 : 2;
    default:
      return 2;
  }
}

Status WriteTextRecord(file_io& stream, uint8_t tag, const std::string& text) {
  uint32_t length = static_cast<uint32_t>(text.size()) & 0xFFFF;
  uint8_t head[4] = {tag, kRecordText, static_cast<uint8_t>(length),
                     static_cast<uint8_t>(length >> 8)};
  Status written = stream.write_all(head, 4);
  if (written.ok()) written = stream.write_all(text.data(), length);
  return written;
}

Status WriteInt32Record(file_io& stream, uint8_t tag, uint32_t value) {
  uint8_t record[6] = {tag, kRecordInt32};
  PutU32(record + 2, value);
  return stream.write_all(record, 6);
}

Status WriteStoredFileHead(file_io& stream, uint8_t tag, const std::string& storedName,
                           uint32_t dataSize) {
  uint64_t outer = StoredFileRecordSize(storedName, dataSize) - 6;
  uint8_t head[6] = {tag, kRecordBlock};
  PutU32(head + 2, static_cast<uint32_t>(outer));
  Status written = stream.write_all(head, 6);
  if (written.ok()) written = WriteTextRecord(stream, kTagStoredName, storedName);
  uint8_t dataHead[6] = {kTagStoredFile, kRecordBlock};
  PutU32(dataHead + 2, dataSize);
  if (written.ok()) written = stream.write_all(dataHead, 6);
  return written;
}

Status WriteFileRecord(file_io& stream, uint8_t tag, const std::string& sourcePath,
                       const std::string& storedName, std::string* md5, uint32_t* size,
                       std::unique_ptr<uint8_t[]>* scratch) {
  file_io source(stream.file_system(), sourcePath, StreamMode::kRead);
  Status status = source.open();
  if (!status.ok()) return status;
  uint64_t size64 = source.size64();
  uint64_t record = StoredFileRecordSize(storedName, size64);
  // Offsets and sizes beyond 32 bits would be stored truncated, leaving a
  // package that looks complete and cannot be read.
  if (stream.tell64() + record > kMaxPackageSize) return Status::Error(ERROR_FILE_TOO_LARGE);
  uint32_t dataSize = static_cast<uint32_t>(size64);
  // The whole length is known before the first byte is copied, so the
  // record is written front to back with no patching.
  status = WriteStoredFileHead(stream, tag, storedName, dataSize);
  if (!status.ok()) return status;

  Md5Digest digest;
  uint32_t copied = 0;
  if (stream.count_only()) {
    status = stream.write_all(nullptr, dataSize);
    copied = dataSize;
  } else if (dataSize != 0) {
    uint32_t chunk = kCopyChunk;
    std::unique_ptr<uint8_t[]> local;
    std::unique_ptr<uint8_t[]>& buffer = scratch != nullptr ? *scratch : local;
    if (!buffer) buffer.reset(new (std::nothrow) uint8_t[kCopyChunk]);
    if (!buffer) return Status::Error(ERROR_NOT_ENOUGH_MEMORY);
    while (copied < dataSize) {
      uint32_t want = dataSize - copied < chunk ? dataSize - copied : chunk;
      uint32_t got = 0;
      Status read = source.read_all(buffer.get(), want, &got);
      if (got != 0) {
        digest.Update(buffer.get(), got);
        status = stream.write_all(buffer.get(), got);
        if (!status.ok()) return status;
      }
      copied += got;
      if (!read.ok()) return read;
      if (got < want) break;
    }
  }
  if (!status.ok()) return status;
  // A source that shrank leaves a record whose header announces more than
  // follows; the caller must not keep it.
  if (copied != dataSize) return Status::Error(ERROR_SUCCESS, kSourceShrank);
  // A record without its checksum could never be verified.
  if (md5 != nullptr && (*md5 = digest.FinishHex()).empty()) {
    return Status::Error(ERROR_SUCCESS, "no checksum");
  }
  if (size != nullptr) *size = dataSize;
  return Status::Ok();
}

Status WriteMemoryRecord(file_io& stream, uint8_t tag, const std::string& storedName,
                         const void* data, uint32_t size) {
  uint32_t nameLength = static_cast<uint32_t>(storedName.size()) & 0xFFFF;
  uint64_t outer = uint64_t{4} + nameLength + 6 + size;
  if (outer > 0xFFFFFFFFu - 6) return Status::Error(ERROR_FILE_TOO_LARGE);
  Status written = WriteStoredFileHead(stream, tag, storedName, size);
  if (written.ok() && size != 0) written = stream.write_all(data, size);
  return written;
}

Status WriteDirectoryRecords(file_io& stream, const std::vector<PackageEntry>& entries) {
  uint64_t total = DirectoryRecordsSize(entries);
  if (stream.tell64() + total > kMaxPackageSize) return Status::Error(ERROR_FILE_TOO_LARGE);
  Status written = WriteTextRecord(stream, kTagDirectory, kDirectoryMarker);
  if (written.ok()) {
    written = WriteInt32Record(stream, kTagEntryCount, static_cast<uint32_t>(entries.size()));
  }
  for (const PackageEntry& entry : entries) {
    if (!written.ok()) break;
    written = WriteTextRecord(stream, kTagEntryName, entry.name);
    if (written.ok()) written = WriteInt32Record(stream, kTagEntryOffset, entry.offset);
    if (written.ok()) written = WriteInt32Record(stream, kTagEntrySize, entry.size);
    if (written.ok()) written = WriteTextRecord(stream, kTagEntryChecksum, entry.md5);
  }
  return written;
}

Status WriteDirectory(file_io& stream, const std::vector<PackageEntry>& entries) {
  if (!stream.is_open()) return Status::Error(ERROR_INVALID_HANDLE);
  uint64_t position = stream.tell64();
  if (position >= kMaxPackageSize) return Status::Error(ERROR_FILE_TOO_LARGE);
  uint32_t directoryOffset = static_cast<uint32_t>(position);
  // The 'L' record moves only once the whole new directory is in place, so
  // a write that fails before leaves the previous directory in charge.
  Status status = WriteDirectoryRecords(stream, entries);
  if (status.ok()) status = stream.seek(0);
  if (!status.ok()) return status;
  uint8_t header[10] = {};
  dynamic_buffer buffer(1024);
  uint32_t got = ReadRecord(stream, header, buffer);
  // A first record that cannot be read is a failed read, not a file of
  // another kind: the directory just written would never be named.
  if (got < 2 || (header[1] == kRecordText && got < 4)) return Status::Error(ERROR_READ_FAULT);
  if (!IsMagicRecord(header, got, buffer)) return Status::Ok();
  return WriteDirectoryOffset(stream, kDirectoryOffsetPosition, directoryOffset);
}

Status WriteDirectoryOffset(file_io& stream, uint32_t position, uint32_t directoryOffset) {
  Status moved = stream.seek(position);
  if (!moved.ok()) return moved;
  // One write, so that the record is never left half old and half new by a
  // failure between two writes.
  uint8_t record[6] = {kTagDirectoryOffset, kRecordInt32};
  PutU32(record + 2, directoryOffset);
  return stream.write_all(record, 6);
}

Status OpenFailure(PackageOpenError why, DWORD code) {
  if (code == ERROR_SUCCESS) {
    switch (why) {
      case PackageOpenError::kMissing: code = ERROR_FILE_NOT_FOUND; break;
      case PackageOpenError::kNotPackage:
      case PackageOpenError::kUnfinished:
      case PackageOpenError::kEmptyDirectory:
      case PackageOpenError::kDamagedDirectory: code = ERROR_INVALID_DATA; break;
      default: break;
    }
  }
  return Status::Error(code, DescribeOpenError(why));
}

Status ReadDirectory(FileSystem& fs, const std::string& path,
                     std::vector<PackageEntry>& entries) {
  entries.clear();
  file_io stream(fs, path, StreamMode::kRead);
  Status opened = stream.open();
  if (!opened.ok()) return OpenFailure(PackageOpenError::kUnreadable, opened.code());
  const Status damaged = OpenFailure(PackageOpenError::kDamagedDirectory);

  dynamic_buffer buffer(1024);
  uint8_t header[10] = {};
  uint32_t got = ReadRecord(stream, header, buffer);
  if (!IsMagicRecord(header, got, buffer)) return OpenFailure(PackageOpenError::kNotPackage);
  got = ReadRecord(stream, header, buffer);
  if (!IsInt32(header, got, kTagDirectoryOffset)) return damaged;
  uint32_t directoryOffset = RecordInt32(header);
  if (directoryOffset == kUnfinishedOffset) return OpenFailure(PackageOpenError::kUnfinished);
  if (!stream.seek(directoryOffset).ok()) return damaged;
  buffer.allocate(1024);
  got = ReadRecord(stream, header, buffer);
  if (!IsText(header, got, kTagDirectory) || std::strcmp(buffer.text(), kDirectoryMarker) != 0) {
    return damaged;
  }
  got = ReadRecord(stream, header, buffer);
  if (!IsInt32(header, got, kTagEntryCount)) return damaged;
  int32_t count = static_cast<int32_t>(RecordInt32(header));
  if (count <= 0) return OpenFailure(PackageOpenError::kEmptyDirectory);
  // A count that cannot fit in the rest of the file is refused before the
  // loop, so a hostile count costs nothing.
  if (uint64_t(count) * kSmallestEntry > stream.remaining()) return damaged;

  entries.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    PackageEntry entry;
    buffer.allocate(1024);
    got = ReadRecord(stream, header, buffer);
    if (!IsText(header, got, kTagEntryName)) return damaged;
    entry.name = buffer.text();
    got = ReadRecord(stream, header, buffer);
    if (!IsInt32(header, got, kTagEntryOffset)) return damaged;
    entry.offset = RecordInt32(header);
    got = ReadRecord(stream, header, buffer);
    if (!IsInt32(header, got, kTagEntrySize)) return damaged;
    entry.size = RecordInt32(header);
    buffer.allocate(1024);
    got = ReadRecord(stream, header, buffer);
    if (!IsText(header, got, kTagEntryChecksum)) return damaged;
    entry.md5 = buffer.text();
    entries.push_back(std::move(entry));
  }
  return Status::Ok();
}

bool SeekStoredData(file_io& stream, uint32_t offset) {
  if (!stream.seek(offset).ok()) return false;
  uint8_t head[6];
  if (stream.read(head, 6) != 6 || head[0] != kTagStoredFile || head[1] != kRecordBlock) {
    return false;
  }
  uint8_t header[10] = {};
  dynamic_buffer name(1024);
  uint32_t got = ReadRecord(stream, header, name);
  if (!IsText(header, got, kTagStoredName)) return false;
  if (stream.read(head, 6) != 6 || head[0] != kTagStoredFile || head[1] != kRecordBlock) {
    return false;
  }
  return true;
}

void CheckStoredEntries(FileSystem& fs, const std::string& path, const PackageEntry* entries,
                        size_t count, StoredEntryCheck* checks) {
  count = std::min(count, Md5Lanes::kLanes);
  std::vector<std::unique_ptr<file_io>> files;
  std::vector<Md5Stream> streams;
  std::vector<size_t> streamed;  // the entry each stream reads
  for (size_t i = 0; i < count; ++i) {
    const PackageEntry& entry = entries[i];
    auto file = std::make_unique<file_io>(fs, path, StreamMode::kRead);
    if (!file->open().ok() || !SeekStoredData(*file, entry.offset)) {
      checks[i] = StoredEntryCheck::kDamagedRecord;
      continue;
    }
    if (entry.size > file->remaining()) {
      checks[i] = StoredEntryCheck::kCutOff;
      continue;
    }
    Md5Stream stream;
    stream.size = entry.size;
    file_io* at = file.get();
    stream.read = [at](void* buffer, size_t size) {
      return at->read(buffer, static_cast<uint32_t>(size));
    };
    streams.push_back(std::move(stream));
    streamed.push_back(i);
    files.push_back(std::move(file));
  }
  Md5Streams(streams);
  for (size_t s = 0; s < streams.size(); ++s) {
    const PackageEntry& entry = entries[streamed[s]];
    StoredEntryCheck& check = checks[streamed[s]];
    if (!streams[s].whole) {
      check = StoredEntryCheck::kCutOff;
    } else if (streams[s].md5 != entry.md5) {
      check = StoredEntryCheck::kChecksumMismatch;
    } else {
      check = StoredEntryCheck::kWhole;
    }
  }
}

std::string StoredEntryName(const std::string& relativePath) {
  if (relativePath.compare(0, 2, "__") != 0) return relativePath;
  std::string name = relativePath.substr(2);
  for (char& c : name) {
    if (c == '_') c = '\\';
  }
  return name;
}

}  // namespace tavirelle
