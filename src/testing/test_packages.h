// Test helper: a package with chosen entries, in the given order, including
// names the folder packer never produces ("..\x.jpg", the same name twice),
// stored files with damaged headers and sizes that claim too much.
#ifndef TAVIRELLE_TESTING_TEST_PACKAGES_H_
#define TAVIRELLE_TESTING_TEST_PACKAGES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "testing/package_builder.h"
#include "util/md5.h"

namespace tavirelle {

struct TestEntry {
  std::string name;
  std::string data;
  bool damaged_headers = false;  // the stored name record is not tag 0xCD
  uint32_t claimed_size = 0xFFFFFFFF;  // the directory's size, when not the real one
};

inline bool WriteTestPackage(const std::string& path,
                             const std::vector<TestEntry>& entries) {
  PackageBuilder builder;
  builder.Magic().DirectoryOffset();
  std::vector<uint32_t> offsets;
  for (const TestEntry& e : entries) {
    offsets.push_back(builder.size());
    if (e.damaged_headers) {
      uint32_t outer = static_cast<uint32_t>(4 + e.name.size() + 6 + e.data.size());
      builder.Block(0xCE, outer, "").Text(0xCC, e.name).Block(0xCE, e.data.size(), e.data);
    } else {
      builder.StoredFile(e.name, e.data);
    }
  }
  builder.DirectoryHead(static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    uint32_t size = e.claimed_size != 0xFFFFFFFF ? e.claimed_size
                                                 : static_cast<uint32_t>(e.data.size());
    builder.Entry(e.name, offsets[i], size, Md5BufferHex(e.data.data(), e.data.size()));
  }
  return builder.PointAtDirectory().WriteTo(DefaultFileSystem(), path);
}

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_TEST_PACKAGES_H_
