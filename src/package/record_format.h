// The package container: tagged little-endian records holding a magic text,
// the offset of the directory, one record per stored file and the directory
// itself. Readers and writers of single records, of stored files and of the
// directory.
#ifndef TAVIRELLE_PACKAGE_RECORD_FORMAT_H_
#define TAVIRELLE_PACKAGE_RECORD_FORMAT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/streams.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

enum PackageRecordTag : uint8_t {
  kTagMagic = 0x4B,           // 'K' Text "Tavirelle File"
  kTagDirectoryOffset = 0x4C, // 'L' Int32, 0xFFFFFFFF while being written
  kTagDirectory = 0x4E,       // 'N' Text "qx_dir"
  kTagEntryCount = 0x4F,      // 'O' Int32
  kTagEntryName = 0x50,       // 'P' Text
  kTagEntryOffset = 0x51,     // 'Q' Int32
  kTagEntrySize = 0x52,       // 'R' Int32
  kTagEntryChecksum = 0x53,   // 'S' Text, MD5 as 32 lower-case hex digits
  kTagStoredFile = 0xCE,      // Block: a stored file, and its data inside
  kTagStoredName = 0xCD,      // Text: the stored file's name
  kTagExportMagic = 0xC9,     // Text "Tavirelle Export File"
};

enum PackageRecordType : uint8_t {
  kRecordBlock = 0,
  kRecordText = 1,
  kRecordInt32 = 2,
  kRecordInt64 = 3,
};

inline constexpr char kPackageMagic[] = "Tavirelle File";
inline constexpr char kDirectoryMarker[] = "qx_dir";
inline constexpr uint32_t kDirectoryOffsetPosition = 18;  // of the 'L' record
inline constexpr uint32_t kUnfinishedOffset = 0xFFFFFFFF;
// Offsets and sizes are 32-bit, so every byte of a package lies below this.
inline constexpr uint64_t kMaxPackageSize = 0xFFFFFFFF;
// Files are copied in chunks small enough to stay in the processor's cache
// between being read, digested and written.
inline constexpr uint32_t kCopyChunk = 1 << 20;

struct PackageEntry {
  std::string name;
  uint32_t offset = 0;  // of the stored file's outer record
  uint32_t size = 0;    // data bytes
  std::string md5;
  std::string data;     // only entries waiting to be appended carry data
};

// Why a package did not open.
enum class PackageOpenError {
  kNone,
  kMissing,           // no file at that path
  kUnreadable,        // the file cannot be opened for reading
  kNotPackage,        // no package magic at the start
  kUnfinished,        // its writing never finished
  kEmptyDirectory,    // the directory lists no entries
  kDamagedDirectory,  // the directory is missing, cut off or malformed
  kRepairFailed,      // the show description's repair could not write
};
// A short description such as "not a package".
const char* DescribeOpenError(PackageOpenError error);

// Reads one record: tag and type into header[0..1], an integer value into
// header[2..], a Block or Text payload appended to `payload` (a Text is
// followed by three zero bytes so that payload.text() reads as text).
// Returns the record's size, 2 when only the header arrived or the type is
// unknown, 0 when nothing or not all of the payload arrived. A length that
// runs past the end of the file fails at once without allocating.
uint32_t ReadRecord(file_io& stream, uint8_t header[10], dynamic_buffer& payload);
uint32_t RecordInt32(const uint8_t header[10]);
// Whether a record read by ReadRecord is the 'K' record with exactly the
// package magic: a longer text that merely starts with it is another file,
// whose bytes after the magic a directory update would overwrite.
bool IsMagicRecord(const uint8_t header[10], uint32_t got, const dynamic_buffer& payload);

// The bytes the writer needs for a stored file of `dataSize` bytes named
// `storedName`, and for a directory listing `entries`.
uint64_t StoredFileRecordSize(const std::string& storedName, uint64_t dataSize);
uint64_t DirectoryRecordsSize(const std::vector<PackageEntry>& entries);

// The record writers write at the stream's position and tell why a write
// failed; a failed one may leave part of its record behind.
Status WriteTextRecord(file_io& stream, uint8_t tag, const std::string& text);
Status WriteInt32Record(file_io& stream, uint8_t tag, uint32_t value);

// Why a stored file's record could not be completed when the platform gave
// no reason: its source ended before the size it had when the record began.
inline constexpr char kSourceShrank[] = "the file shrank while it was read";

// What precedes a stored file's bytes in its record: the record's head, the
// stored name and the data block's head.
Status WriteStoredFileHead(file_io& stream, uint8_t tag, const std::string& storedName,
                           uint32_t dataSize);
// Copies the file `sourcePath` into a stored-file record named
// `storedName`, in one pass that also yields the digest and size of the bytes
// copied. Fails when the source cannot be opened or read in full (the
// stream then holds a partial record; a source that shrank is a failure
// without a platform reason), when writing fails, or with
// ERROR_FILE_TOO_LARGE, nothing written, when the record would end past
// kMaxPackageSize.
// `scratch` (optional) is reused across calls so that packing many files
// allocates the chunk once.
Status WriteFileRecord(file_io& stream, uint8_t tag, const std::string& sourcePath,
                       const std::string& storedName, std::string* md5, uint32_t* size,
                       std::unique_ptr<uint8_t[]>* scratch = nullptr);
Status WriteMemoryRecord(file_io& stream, uint8_t tag, const std::string& storedName,
                         const void* data, uint32_t size);

// Writes the directory records (N, O, then P Q R S per entry) at the current
// position; ERROR_FILE_TOO_LARGE, nothing written, when they would end past
// kMaxPackageSize.
Status WriteDirectoryRecords(file_io& stream, const std::vector<PackageEntry>& entries);
// Writes the directory at the current position and then, when the file
// starts with the package magic and every directory byte was written, points
// the 'L' record at it (ERROR_FILE_TOO_LARGE, nothing written, when it would
// end past kMaxPackageSize).
Status WriteDirectory(file_io& stream, const std::vector<PackageEntry>& entries);
// Writes the 'L' record with `directoryOffset` at `position`.
Status WriteDirectoryOffset(file_io& stream, uint32_t position, uint32_t directoryOffset);

// Why a package does not open: DescribeOpenError(why) in words, with the
// platform's `code` when there is one (ERROR_FILE_NOT_FOUND for a missing
// file, ERROR_INVALID_DATA for a file that is not a usable package, when not
// given).
Status OpenFailure(PackageOpenError why, DWORD code = ERROR_SUCCESS);

// Reads the directory of the package at `path` into `entries`; fails with
// the OpenFailure that tells why the file is not a usable package.
Status ReadDirectory(FileSystem& fs, const std::string& path,
                     std::vector<PackageEntry>& entries);

// Positions `stream` at the data of the stored file whose outer record starts
// at `offset`, checking both record headers. False when they are damaged.
bool SeekStoredData(file_io& stream, uint32_t offset);

// How the bytes a package holds for an entry compare with its directory
// entry.
enum class StoredEntryCheck { kWhole, kDamagedRecord, kCutOff, kChecksumMismatch };
// Checks the headers, length and MD5 of up to Md5Lanes::kLanes entries of
// the package at `path`, digesting them side by side, each read in blocks
// through a stream of its own: checks[i] for entries[i].
void CheckStoredEntries(FileSystem& fs, const std::string& path, const PackageEntry* entries,
                        size_t count, StoredEntryCheck* checks);

// The name under which a file of a show folder is stored: "__w133_h100_x.jpg"
// becomes "w133\h100\x.jpg"; other names are kept.
std::string StoredEntryName(const std::string& relativePath);

}  // namespace tavirelle

#endif  // TAVIRELLE_PACKAGE_RECORD_FORMAT_H_
