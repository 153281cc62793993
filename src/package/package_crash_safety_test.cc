// Crash safety of the writes that touch files the package code does not own
// alone, with every operation failing in turn on an in-memory medium: a
// package already at the export name, appending entries to an open package,
// and the repair's entries all still matching their digests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/package_builder.h"
#include "testing/package_test_support.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

// Every entry of the package at `path` reads back with the size and digest
// its directory gives. Returns the entry names, or {"<unopenable>"}.
std::vector<std::string> CheckedEntries(FileSystem& fs, const std::string& path,
                                        const std::string& context) {
  ShowPackage reader(fs);
  if (!reader.OpenPackage(path, false).ok()) return {"<unopenable>"};
  std::vector<std::string> names;
  for (const PackageEntry& entry : reader.entries()) {
    std::string data;
    EXPECT_TRUE(reader.ReadEntry(entry.name, &data)) << context << " " << entry.name;
    EXPECT_EQ(data.size(), entry.size) << context << " " << entry.name;
    EXPECT_EQ(Md5BufferHex(data.data(), data.size()), entry.md5) << context << " " << entry.name;
    names.push_back(entry.name);
  }
  return names;
}

class PackageCrashSafety : public testing::Test {
 protected:
  PackageCrashSafety() : faulty_(&memory_) {}

  MemoryFileSystem memory_;
  FaultInjectingFileSystem faulty_;
};

TEST_F(PackageCrashSafety, ExistingPackageAtTheExportNameIsNeverTouched) {
  memory_.SetFile("/show/meta.xml", "<qx>meta</qx>");
  memory_.SetFile("/show/a.jpg", std::string(5000, 'a'));
  memory_.SetFile("/show/tune.mp3", std::string(700, 'm'));
  const std::string existing = "somebody else's package";
  memory_.SetFile("/out/show.pkg", existing);

  std::string reference;
  uint64_t total = 0;
  {
    std::string target = "/out/show.pkg";
    ShowPackage package(faulty_);
    ASSERT_TRUE(package.WritePackage(target, "/show").ok());
    ASSERT_NE(target, "/out/show.pkg");
    total = faulty_.operations();
    ASSERT_TRUE(memory_.GetFile(target, &reference));
    ASSERT_TRUE(memory_.DeleteFile(target).ok());
  }
  for (uint64_t n = 1; n <= total + 1; ++n) {
    std::string context = "operation " + std::to_string(n);
    faulty_.Reset();
    faulty_.FailOperation(n, ERROR_NOT_READY);
    std::string target = "/out/show.pkg";
    bool written;
    {
      ShowPackage package(faulty_);
      written = package.WritePackage(target, "/show").ok();
    }
    std::string bytes;
    ASSERT_TRUE(memory_.GetFile("/out/show.pkg", &bytes)) << context;
    EXPECT_EQ(bytes, existing) << context;
    std::vector<FindData> found;
    memory_.Find("/out/*", &found).IgnoreError();
    if (written) {
      ASSERT_EQ(found.size(), 2u) << context;
      ASSERT_TRUE(memory_.GetFile(target, &bytes)) << context;
      EXPECT_TRUE(bytes == reference) << context;
      memory_.DeleteFile(target).IgnoreError();
    } else {
      EXPECT_EQ(found.size(), 1u) << context;
    }
  }
}

TEST_F(PackageCrashSafety, AppendingEntriesKeepsEitherDirectoryWithMatchingDigests) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, m = 0;
  const std::string meta =
      "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  b.StoredFile("a.jpg", "AAAA", &a).StoredFile("meta.xml", meta, &m);
  b.DirectoryHead(2)
      .Entry("a.jpg", a, 4, Md5BufferHex("AAAA", 4))
      .Entry("meta.xml", m, static_cast<uint32_t>(meta.size()),
             Md5BufferHex(meta.data(), meta.size()));
  b.PointAtDirectory();
  const std::string original = b.bytes();
  const std::vector<std::string> before = {"a.jpg", "meta.xml"};
  const std::vector<std::string> after = {"a.jpg.0", "meta.xml", "a.jpg", "new.txt"};

  for (uint64_t n = 1;; ++n) {
    std::string context = "operation " + std::to_string(n);
    memory_.SetFile("/p.pkg", original);
    // The package's own open file fails in turn too, as its writes do.
    ShowPackage package(faulty_);
    ASSERT_TRUE(package.OpenPackage("/p.pkg", false).ok());
    package.StorePending("a.jpg", "replaced", 8);
    package.StorePending("new.txt", "added text", 10);
    faulty_.Reset();
    faulty_.FailOperation(n, ERROR_NOT_READY);
    Status committed = package.CommitPending();
    uint64_t used = faulty_.operations();
    std::vector<std::string> names = CheckedEntries(memory_, "/p.pkg", context);
    EXPECT_TRUE(names == before || names == after) << context;
    if (committed.ok()) {
      EXPECT_EQ(names, after) << context;
    } else {
      // A failure is told as the fault that caused it, or as a failed read
      // where the package's first record could not be read back.
      EXPECT_TRUE(committed.code() == ERROR_NOT_READY || committed.code() == ERROR_READ_FAULT)
          << context << ": " << committed.code();
    }
    // What the object lists is what the file holds.
    std::vector<std::string> believed;
    for (const PackageEntry& entry : package.entries()) believed.push_back(entry.name);
    EXPECT_EQ(believed, names) << context;
    if (n > used) {
      EXPECT_TRUE(committed.ok()) << context;
      break;
    }
  }
}

TEST_F(PackageCrashSafety, RepairKeepsEveryEntryMatchingItsDigest) {
  const std::string usable = kUsableMeta;
  const std::string original = PackageWithBrokenMeta();

  for (uint64_t n = 1;; ++n) {
    std::string context = "operation " + std::to_string(n);
    memory_.SetFile("/p.pkg", original);
    ShowPackage package(faulty_);
    ASSERT_TRUE(package.OpenPackage("/p.pkg", false).ok());
    faulty_.Reset();
    faulty_.FailOperation(n, ERROR_NOT_READY);
    uint64_t used;
    EXPECT_EQ(package.GetMetaText(), usable) << context;
    used = faulty_.operations();
    std::vector<std::string> names = CheckedEntries(memory_, "/p.pkg", context);
    ASSERT_TRUE(names.size() == 3 || names.size() == 4) << context;
    ShowPackage reader(memory_);
    ASSERT_TRUE(reader.OpenPackage("/p.pkg", false).ok());
    std::string current = reader.ReadEntryText("meta.xml");
    EXPECT_TRUE(names.size() == 3 ? current == "broken" : current == usable) << context;
    if (n > used) break;
  }
}

}  // namespace

}  // namespace tavirelle
