// Set-ups the package writer's tests share: a show folder on disk with an
// empty output folder beside it, and a package whose description is broken
// but whose older one still serves, for the repair.
#ifndef TAVIRELLE_TESTING_PACKAGE_TEST_SUPPORT_H_
#define TAVIRELLE_TESTING_PACKAGE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "testing/package_builder.h"
#include "testing/temp_dir.h"
#include "util/md5.h"

namespace tavirelle {

// A show folder `show_` holding the given files, and the folder "out" where
// the package goes.
class ShowFolderTest : public testing::Test {
 protected:
  void MakeShow(const std::map<std::string, std::string>& files) {
    show_ = dir_.Join("show/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show_).ok());
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("out")).ok());
    for (const auto& [name, bytes] : files) {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show_ + name, bytes).ok()) << name;
    }
  }
  std::string Target() const { return dir_.Join("out/show.pkg"); }
  // The files (not folders) in the out folder.
  std::vector<std::string> OutFiles() const {
    std::vector<FindData> found;
    DefaultFileSystem().Find(dir_.Join("out/*"), &found).IgnoreError();
    std::vector<std::string> names;
    for (const FindData& f : found) {
      if (!f.IsFolder()) names.push_back(f.name);
    }
    return names;
  }

  TempDir dir_;
  std::string show_;
};

inline constexpr char kUsableMeta[] =
    "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";

// A package with "a.jpg", a broken "meta.xml" and a usable older
// "meta.xml.1" (kUsableMeta), every digest right: opening it with validation
// repairs it.
inline std::string PackageWithBrokenMeta() {
  const std::string usable = kUsableMeta;
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, m = 0, m1 = 0;
  b.StoredFile("a.jpg", "A", &a).StoredFile("meta.xml", "broken", &m);
  b.StoredFile("meta.xml.1", usable, &m1);
  b.DirectoryHead(3)
      .Entry("a.jpg", a, 1, Md5BufferHex("A", 1))
      .Entry("meta.xml", m, 6, Md5BufferHex("broken", 6))
      .Entry("meta.xml.1", m1, static_cast<uint32_t>(usable.size()),
             Md5BufferHex(usable.data(), usable.size()));
  return b.PointAtDirectory().bytes();
}

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_PACKAGE_TEST_SUPPORT_H_
