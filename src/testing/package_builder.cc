#include "testing/package_builder.h"

#include "platform/file_system.h"

namespace tavirelle {

void PackageBuilder::PutU16(uint16_t value) {
  bytes_.push_back(static_cast<char>(value & 0xFF));
  bytes_.push_back(static_cast<char>(value >> 8));
}

void PackageBuilder::PutU32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes_.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

PackageBuilder& PackageBuilder::Magic(const std::string& text) { return Text(0x4B, text); }

PackageBuilder& PackageBuilder::DirectoryOffset(uint32_t value) {
  if (offset_record_ == std::string::npos) offset_record_ = bytes_.size();
  return Int32(0x4C, value);
}

PackageBuilder& PackageBuilder::Text(uint8_t tag, const std::string& text) {
  return TextWithLength(tag, static_cast<uint16_t>(text.size()), text);
}

PackageBuilder& PackageBuilder::TextWithLength(uint8_t tag, uint16_t length,
                                               const std::string& text) {
  bytes_.push_back(static_cast<char>(tag));
  bytes_.push_back(1);
  PutU16(length);
  bytes_ += text;
  return *this;
}

PackageBuilder& PackageBuilder::Int32(uint8_t tag, uint32_t value) {
  bytes_.push_back(static_cast<char>(tag));
  bytes_.push_back(2);
  PutU32(value);
  return *this;
}

PackageBuilder& PackageBuilder::Block(uint8_t tag, uint32_t length,
                                      const std::string& payload) {
  bytes_.push_back(static_cast<char>(tag));
  bytes_.push_back(0);
  PutU32(length);
  bytes_ += payload;
  return *this;
}

PackageBuilder& PackageBuilder::StoredFile(const std::string& name, const std::string& data,
                                           uint32_t* offset) {
  if (offset != nullptr) *offset = size();
  uint32_t outer = static_cast<uint32_t>(4 + name.size() + 6 + data.size());
  bytes_.push_back(static_cast<char>(0xCE));
  bytes_.push_back(0);
  PutU32(outer);
  Text(0xCD, name);
  return Block(0xCE, static_cast<uint32_t>(data.size()), data);
}

PackageBuilder& PackageBuilder::DirectoryHead(uint32_t count) {
  directory_ = size();
  Text(0x4E, "qx_dir");
  return Int32(0x4F, count);
}

PackageBuilder& PackageBuilder::Entry(const std::string& name, uint32_t offset,
                                      uint32_t size, const std::string& md5) {
  Text(0x50, name);
  Int32(0x51, offset);
  Int32(0x52, size);
  return Text(0x53, md5);
}

PackageBuilder& PackageBuilder::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

PackageBuilder& PackageBuilder::PointAtDirectory() { return SetDirectoryOffset(directory_); }

PackageBuilder& PackageBuilder::SetDirectoryOffset(uint32_t value) {
  if (offset_record_ == std::string::npos) return *this;
  for (int i = 0; i < 4; ++i) {
    bytes_[offset_record_ + 2 + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return *this;
}

PackageBuilder& PackageBuilder::Truncate(size_t size) {
  if (size < bytes_.size()) bytes_.resize(size);
  return *this;
}

bool PackageBuilder::WriteTo(FileSystem& fs, const std::string& path) const {
  return WriteWholeFile(fs, path, bytes_).ok();
}

}  // namespace tavirelle
