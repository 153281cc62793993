#include "api/package_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/fault_injecting_file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

class PackageApiTest : public testing::Test {
 protected:
  // A show folder: a description naming a photo and music the folder lacks.
  std::string ShowFolder(const std::string& photo = std::string(300000, 'p')) {
    const std::string folder = dir_.Join("show/");
    EXPECT_TRUE(CreateFolderPath(fs_, folder).ok());
    Write(folder + "meta.xml",
          "<qx><show><title>T</title></show><images>"
          "<image onlineFilename=\"photo.jpg\"><music file=\"tune.mp3\"/></image>"
          "</images></qx>");
    Write(folder + "photo.jpg", photo);
    return folder;
  }
  void Write(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(fs_, path, text).ok()) << path;
  }
  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<FindData> found;
    fs_.Find(folder + "*", &found).IgnoreError();
    std::vector<std::string> names;
    for (const FindData& file : found) {
      if (file.name != "." && file.name != "..") names.push_back(file.name);
    }
    return names;
  }
  std::string Pack() {
    PackResult packed = PackShow(fs_, ShowFolder(), dir_.Join("show.pkg"), {});
    EXPECT_TRUE(packed.status.ok()) << packed.status.words();
    return packed.written;
  }

  TempDir dir_;
  FaultInjectingFileSystem fs_;
};

TEST_F(PackageApiTest, FailuresComeWithTheirWords) {
  Write(dir_.Join("not.pkg"), "no package at all");
  PackageOpening opened = OpenShowPackage(fs_, dir_.Join("not.pkg"));
  EXPECT_FALSE(opened.status.ok());
  EXPECT_FALSE(opened.status.words().empty());
  EXPECT_EQ(opened.package, nullptr);

  // A package without a description.
  ASSERT_TRUE(WriteTestPackage(dir_.Join("bare.pkg"), {{"photo.jpg", "p"}}));
  opened = OpenShowPackage(fs_, dir_.Join("bare.pkg"));
  ASSERT_TRUE(opened.status.ok());
  DescriptionReading description = ReadShowDescription(*opened.package);
  EXPECT_EQ(description.status.words(), "the package holds no meta.xml");

  // Packing: the show file at fault, by name.
  const std::string folder = ShowFolder();
  ASSERT_TRUE(fs_.DeleteFile(folder + "photo.jpg").ok());
  PackResult packed = PackShow(fs_, folder, dir_.Join("show.pkg"), {});
  EXPECT_EQ(packed.failure, PackFailure::kShowFile);
  EXPECT_EQ(packed.show_file, "photo.jpg");
  EXPECT_EQ(packed.status.code(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(packed.status.words(), "no such file (a photo the show names)");
}

TEST_F(PackageApiTest, PackTellsBytesAndLeavesNothingWhenItFails) {
  const std::string folder = ShowFolder();
  uint64_t last = 0, total = 0;
  PackOptions options;
  options.progress = [&](uint64_t done, uint64_t of) {
    EXPECT_GE(done, last);
    last = done;
    total = of;
  };
  PackResult packed = PackShow(fs_, folder, dir_.Join("a.pkg"), options);
  ASSERT_TRUE(packed.status.ok()) << packed.status.words();
  EXPECT_EQ(packed.written, dir_.Join("a.pkg"));
  EXPECT_EQ(total, packed.size);
  EXPECT_EQ(last, packed.size);

  // A full disk and a cancellation both leave no package and no temporary
  // file beside the target.
  const std::string out = dir_.Join("out/");
  ASSERT_TRUE(fs_.CreateDirectory(out).ok());
  fs_.SetDiskFullAfter(100000);
  packed = PackShow(fs_, folder, out + "b.pkg", {});
  EXPECT_EQ(packed.failure, PackFailure::kPackage);
  EXPECT_EQ(packed.status.code(), ERROR_DISK_FULL);
  EXPECT_TRUE(FilesIn(out).empty());
  fs_.Reset();

  options.progress = [&](uint64_t done, uint64_t) { last = done; };
  options.cancel = [&]() { return last > 0; };
  packed = PackShow(fs_, folder, out + "c.pkg", options);
  EXPECT_EQ(packed.failure, PackFailure::kCancelled);
  EXPECT_EQ(packed.status.code(), ERROR_CANCELLED);
  EXPECT_TRUE(packed.written.empty());
  EXPECT_TRUE(FilesIn(out).empty());
}

TEST_F(PackageApiTest, VerifyTellsEveryEntry) {
  ASSERT_TRUE(WriteTestPackage(dir_.Join("v.pkg"), {{"a.jpg", std::string(5000, 'a')},
                                                    {"b.jpg", "bb", /*damaged_headers=*/true},
                                                    {"c.jpg", "c"}}));
  std::vector<std::string> told;
  uint64_t read = 0;
  VerifyOptions options;
  options.checked = [&](const PackageEntry& entry, StoredEntryCheck) { told.push_back(entry.name); };
  options.progress = [&](uint64_t done, uint64_t) { read = done; };
  VerifyResult result = VerifyPackage(fs_, dir_.Join("v.pkg"), options);
  ASSERT_TRUE(result.status.ok());
  EXPECT_EQ(told, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_EQ(read, 5003u);
  EXPECT_EQ(result.damaged, 1u);
  EXPECT_EQ(result.checks[1], StoredEntryCheck::kDamagedRecord);
  EXPECT_STREQ(EntryCheckInWords(result.checks[1]), "damaged record");

  options.cancel = [] { return true; };
  EXPECT_EQ(VerifyPackage(fs_, dir_.Join("v.pkg"), options).status.code(), ERROR_CANCELLED);
}

TEST_F(PackageApiTest, ExtractTellsEachFileAndTakesBackACancelledRun) {
  const std::string package = Pack();
  PackageOpening opened = OpenShowPackage(fs_, package);
  ASSERT_TRUE(opened.status.ok());
  std::vector<std::string> settled;
  ExtractPackageOptions options;
  options.settled = [&](const ExtractedShowFile& file) { settled.push_back(file.name); };
  ExtractResult result = ExtractPackage(*opened.package, dir_.Join("x/"), options);
  EXPECT_EQ(result.failure, ExtractFailure::kNone) << result.status.words();
  ASSERT_EQ(result.files.size(), 2u);
  EXPECT_EQ(settled.size(), 2u);
  for (const ExtractedShowFile& file : result.files) {
    if (file.name == "photo.jpg") {
      EXPECT_TRUE(file.problem.empty());
    } else {
      EXPECT_EQ(file.name, "tune.mp3");
      EXPECT_EQ(file.problem, "not in the package");
      EXPECT_TRUE(file.shared_asset);
    }
  }
  std::string photo;
  ASSERT_TRUE(ReadWholeFile(fs_, dir_.Join("x/photo.jpg"), &photo).ok());
  EXPECT_EQ(photo, std::string(300000, 'p'));

  // Cancelled: the folders it made and the files it wrote go.
  options.cancel = [] { return true; };
  result = ExtractPackage(*opened.package, dir_.Join("y/z/"), options);
  EXPECT_EQ(result.failure, ExtractFailure::kCancelled);
  EXPECT_FALSE(PathExists(fs_, dir_.Join("y")));
}

TEST_F(PackageApiTest, QuerySavesTheIconOnlyWhereAsked) {
  const std::string folder = ShowFolder();
  Write(folder + "meta.xml",
        "<qx><show><title>T</title><icon>photo.jpg</icon></show><images>"
        "<image onlineFilename=\"photo.jpg\"/></images></qx>");
  PackResult packed = PackShow(fs_, folder, dir_.Join("q.pkg"), {});
  ASSERT_TRUE(packed.status.ok());
  PackageOpening opened = OpenShowPackage(fs_, packed.written);
  ASSERT_TRUE(opened.status.ok());
  ShowQuery query = QueryShow(*opened.package);
  EXPECT_EQ(query.icon, "photo.jpg");
  EXPECT_EQ(query.title, "T");
  EXPECT_FALSE(query.icon_save.saved());

  ASSERT_TRUE(fs_.CreateDirectory(dir_.Join("icons/")).ok());
  fs_.SetDiskFullAfter(10);
  query = QueryShow(*opened.package, IconSaving{dir_.Join("icons/")});
  EXPECT_FALSE(query.status.ok());
  EXPECT_EQ(query.status.words(), "disk full");
  EXPECT_TRUE(query.show_code.empty());
  fs_.Reset();
  query = QueryShow(*opened.package, IconSaving{dir_.Join("icons/")});
  EXPECT_TRUE(query.status.ok()) << query.status.words();
  EXPECT_TRUE(PathExists(fs_, dir_.Join("icons/photo.jpg")));
}

}  // namespace

}  // namespace tavirelle
