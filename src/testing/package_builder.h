// Writes package files record by record, so that tests can build well-formed
// packages and hostile ones (wrong tags, cut-off records, lying lengths).
#ifndef TAVIRELLE_TESTING_PACKAGE_BUILDER_H_
#define TAVIRELLE_TESTING_PACKAGE_BUILDER_H_

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tavirelle {

class PackageBuilder {
 public:
  // 'K' Text record with the package magic (or another text).
  PackageBuilder& Magic(const std::string& text = "Tavirelle File");
  // 'L' Int32 record; its value can be patched later with SetDirectoryOffset.
  PackageBuilder& DirectoryOffset(uint32_t value = 0xFFFFFFFF);
  PackageBuilder& Text(uint8_t tag, const std::string& text);
  // A Text record whose stated length differs from the bytes that follow.
  PackageBuilder& TextWithLength(uint8_t tag, uint16_t length, const std::string& text);
  PackageBuilder& Int32(uint8_t tag, uint32_t value);
  PackageBuilder& Block(uint8_t tag, uint32_t length, const std::string& payload);
  // A stored file as the writer lays it out; `data_length` overrides the
  // inner length field. Returns its offset through `offset` when given.
  PackageBuilder& StoredFile(const std::string& name, const std::string& data,
                             uint32_t* offset = nullptr);
  // 'N' "qx_dir" and 'O' count; remembers the directory's offset.
  PackageBuilder& DirectoryHead(uint32_t count);
  // One directory entry: 'P', 'Q', 'R', 'S'.
  PackageBuilder& Entry(const std::string& name, uint32_t offset, uint32_t size,
                        const std::string& md5);
  PackageBuilder& Raw(const std::string& bytes);
  // Points the first 'L' record at the last DirectoryHead.
  PackageBuilder& PointAtDirectory();
  PackageBuilder& SetDirectoryOffset(uint32_t value);
  // Cuts the bytes to their first `size`.
  PackageBuilder& Truncate(size_t size);

  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  const std::string& bytes() const { return bytes_; }
  bool WriteTo(FileSystem& fs, const std::string& path) const;

 private:
  void PutU16(uint16_t value);
  void PutU32(uint32_t value);

  std::string bytes_;
  size_t offset_record_ = std::string::npos;
  uint32_t directory_ = 0;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_PACKAGE_BUILDER_H_
