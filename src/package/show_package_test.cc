#include "package/show_package.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/file_system.h"
#include "testing/package_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

struct StoredItem {
  std::string name;
  std::string data;
};

// A well-formed package holding `items` in order, each entry's data being
// what is stored.
PackageBuilder BuildPackage(const std::vector<StoredItem>& items) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  std::vector<uint32_t> offsets;
  for (const StoredItem& item : items) {
    uint32_t at = 0;
    b.StoredFile(item.name, item.data, &at);
    offsets.push_back(at);
  }
  b.DirectoryHead(static_cast<uint32_t>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    b.Entry(items[i].name, offsets[i], static_cast<uint32_t>(items[i].data.size()),
            Md5BufferHex(items[i].data.data(), items[i].data.size()));
  }
  return b.PointAtDirectory();
}

std::string Meta(const std::string& firstImage, bool complete = true) {
  std::string text = "<qx><show><title>T</title></show><images><image onlineFilename=\"" +
                     firstImage + "\"/></images>";
  return complete ? text + "</qx>" : text;
}

struct Normalisation {
  const char* requested;
  std::vector<const char*> present;
  const char* read;  // the entry expected to be read, or null
};

class ReadEntryNames : public testing::TestWithParam<Normalisation> {};

TEST_P(ReadEntryNames, FindTheEntryTheShowMeans) {
  const Normalisation& c = GetParam();
  std::vector<StoredItem> items = {{"other.jpg", "other.jpg"}};
  for (const char* name : c.present) items.push_back({name, name});
  TempDir dir;
  ASSERT_TRUE(BuildPackage(items).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  std::string data;
  if (c.read == nullptr) {
    EXPECT_FALSE(package.ReadEntry(c.requested, &data)) << c.requested;
  } else {
    ASSERT_TRUE(package.ReadEntry(c.requested, &data)) << c.requested;
    EXPECT_EQ(data, c.read);
    EXPECT_EQ(data.c_str()[data.size()], '\0');
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadEntryNames,
    testing::Values(
        Normalisation{"a.jpg", {"a.jpg"}, "a.jpg"},
        Normalisation{"A.JPG", {"a.jpg"}, nullptr},
        Normalisation{"file:///C:/show/w133/h100/x.jpg",
                      {"C:\\show\\w133\\h100\\x.jpg", "w133\\h100\\x.jpg"},
                      "C:\\show\\w133\\h100\\x.jpg"},
        Normalisation{"file:///c:/show/a.jpg", {"show\\a.jpg"}, "show\\a.jpg"},
        Normalisation{"c|/x/a.jpg", {"x\\a.jpg"}, "x\\a.jpg"},
        Normalisation{"C|\\a.jpg", {"a.jpg"}, "a.jpg"},
        Normalisation{"c:\\\\a.jpg", {"a.jpg"}, "a.jpg"},
        Normalisation{"C:\\a.jpg", {"a.jpg"}, nullptr},
        Normalisation{"music\\song.mp3", {"song.mp3"}, "song.mp3"},
        Normalisation{"music/SONG.MP3", {"SONG.MP3"}, "SONG.MP3"},
        Normalisation{"x\\SHOWCODE\\w133\\h100\\x.jpg",
                      {"w133\\h100\\x.jpg", "w120\\h90\\x.jpg", "x.jpg"},
                      "w133\\h100\\x.jpg"},
        Normalisation{"x\\SHOWCODE\\w133\\h100\\x.jpg", {"w120\\h90\\x.jpg", "x.jpg"},
                      "w120\\h90\\x.jpg"},
        Normalisation{"x/SHOWCODE/w133/h100/x.jpg", {"x.jpg"}, "x.jpg"},
        Normalisation{"x\\SHOWCODE\\w120\\h90\\x.jpg", {"x.jpg"}, "x.jpg"},
        Normalisation{"x\\SHOWCODE\\photos\\p.jpg", {"p.jpg"}, "p.jpg"},
        Normalisation{"w133\\h100\\x.jpg", {"x.jpg"}, nullptr}));

TEST(ReadEntry, OnlyTheFirstOfTwoEqualNamesIsTried) {
  TempDir dir;
  PackageBuilder b = BuildPackage({{"a.jpg", "first"}, {"a.jpg", "second"}});
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  std::string data;
  ASSERT_TRUE(package.ReadEntry("a.jpg", &data));
  EXPECT_EQ(data, "first");
}

TEST(ReadEntry, NeverDeletesTheFileANameDenotes) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.jpg", "a"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  std::string victim = dir.Join("victim.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), victim, "").ok());
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  std::string data;
  EXPECT_FALSE(package.ReadEntry(victim, &data));
  EXPECT_TRUE(PathExists(DefaultFileSystem(), victim));
}

TEST(ReadEntry, SizesAndHeadersThatLieFailOnlyThatEntry) {
  TempDir dir;
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t good = 0;
  b.StoredFile("good.jpg", "good", &good);
  b.DirectoryHead(4)
      .Entry("good.jpg", good, 4, "")
      .Entry("huge.jpg", good, 0xFFFFFFFF, "")
      .Entry("misplaced.jpg", good + 1, 4, "")
      .Entry("outside.jpg", 0xFFFFFF00u, 4, "");
  b.PointAtDirectory();
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  std::string data;
  for (const char* name : {"huge.jpg", "misplaced.jpg", "outside.jpg"}) {
    EXPECT_FALSE(package.ReadEntry(name, &data)) << name;
    EXPECT_TRUE(data.empty());
  }
  EXPECT_TRUE(package.ReadEntry("good.jpg", &data));
  EXPECT_EQ(data, "good");
}

TEST(ReadEntry, EntryStatedPastTheEndOfTheFileFails) {
  TempDir dir;
  PackageBuilder b;
  b.Magic().DirectoryOffset().DirectoryHead(1);
  uint32_t at = b.size() + 4 + 5 + 6 + 6 + 4;  // right after the directory
  b.Entry("a.jpg", at, 1000, "").PointAtDirectory();
  b.StoredFile("a.jpg", "short");
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  std::string data;
  EXPECT_FALSE(package.ReadEntry("a.jpg", &data));
  std::string head;
  ASSERT_TRUE(package.ReadEntryHead(package.entries()[0], 4000, &head));
  EXPECT_EQ(head, "short");
}

TEST(ReadEntry, ClosedPackageReadsNothing) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.jpg", "a"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  std::string data;
  EXPECT_FALSE(package.ReadEntry("a.jpg", &data));
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  package.ClosePackage();
  EXPECT_FALSE(package.IsOpen());
  EXPECT_FALSE(package.ReadEntry("a.jpg", &data));
  EXPECT_EQ(package.GetMetaText(), "");
  EXPECT_FALSE(package.SaveEntryToFile("a.jpg", dir.Join("out")));
}

TEST(ReadEntry, PendingEntriesComeFirst) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.jpg", "old"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  package.StorePending("a.jpg", "new", 3);
  package.StorePending("a.jpg", "newer", 5);
  ASSERT_EQ(package.pending().size(), 1u);
  EXPECT_EQ(package.pending()[0].md5, Md5BufferHex("newer", 5));
  EXPECT_EQ(package.ReadEntryText("a.jpg"), "newer");
}

TEST(ReadEntryText, StopsAtTheFirstZeroByte) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.xml", std::string("ab\0cd", 5)}})
                  .WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  EXPECT_EQ(package.ReadEntryText("a.xml"), "ab");
  std::string data;
  ASSERT_TRUE(package.ReadEntry("a.xml", &data));
  EXPECT_EQ(data.size(), 5u);
}

TEST(SaveEntryToFile, WritesTheBytesAndCreatesNoFolder) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.jpg", "bytes"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  EXPECT_TRUE(package.SaveEntryToFile("a.jpg", dir.Join("out.jpg")));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("out.jpg"), &contents).ok());
  EXPECT_EQ(contents, "bytes");
  EXPECT_FALSE(package.SaveEntryToFile("a.jpg", dir.Join("missing/out.jpg")));
  EXPECT_FALSE(package.SaveEntryToFile("b.jpg", dir.Join("b.jpg")));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("b.jpg")));
}

TEST(SaveEntryToFile, CopiesLargeEntriesInBlocksAndFollowsTheNameRules) {
  TempDir dir;
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4099);
  ASSERT_TRUE(BuildPackage({{"big.jpg", big}, {"w120\\h90\\t.jpg", "old thumb"},
                            {"song.mp3", "music"}})
                  .WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  ASSERT_TRUE(
      SaveTextToFile(DefaultFileSystem(), dir.Join("out.jpg"), std::string(5 * 1024 * 1024, 'x'))
          .ok());
  EXPECT_TRUE(package.SaveEntryToFile("file:///big.jpg", dir.Join("out.jpg")));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("out.jpg"), &contents).ok());
  EXPECT_TRUE(contents == big);  // the longer earlier content is cut off
  // A thumbnail name falls back to the older thumbnail size, as reads do.
  EXPECT_TRUE(package.SaveEntryToFile("x\\SHOWCODE\\w133\\h100\\t.jpg", dir.Join("t.jpg")));
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("t.jpg"), &contents).ok());
  EXPECT_EQ(contents, "old thumb");
  EXPECT_TRUE(package.SaveEntryToFile("music\\song.mp3", dir.Join("s.mp3")));
}

// Whether `path` is itself a symbolic link (the platform layer has no such
// question; tests ask the system directly).
bool IsLink(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(path, ignored));
}

// Makes a symbolic link at `link` to `target`, as another program could;
// the error when the system or its C++ library cannot.
std::error_code MakeLink(const std::string& target, const std::string& link) {
  std::error_code made;
  std::filesystem::create_symlink(target, link, made);
  return made;
}

TEST(SaveEntry, ReplacesALinkAtTheTargetAndNeverWritesThroughIt) {
  TempDir dir;
  ASSERT_TRUE(
      BuildPackage({{"a.jpg", "package bytes"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir.Join("precious"), "the user's own file").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("out")).ok());
  const std::error_code made = MakeLink(dir.Join("precious"), dir.Join("out/a.jpg"));
  if (made == std::errc::function_not_supported || made == std::errc::operation_not_supported) {
    GTEST_SKIP() << "this system's C++ library makes no symbolic links: " << made.message();
  }
  ASSERT_FALSE(made) << made.message();
  ASSERT_FALSE(MakeLink(dir.Join("nowhere"), dir.Join("out/b.jpg")));

  EXPECT_TRUE(package.SaveEntry("a.jpg", dir.Join("out/a.jpg")).saved());
  EXPECT_TRUE(package.SaveEntry("a.jpg", dir.Join("out/b.jpg")).saved());
  for (const char* name : {"out/a.jpg", "out/b.jpg"}) {
    EXPECT_FALSE(IsLink(dir.Join(name))) << name;
    std::string contents;
    EXPECT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join(name), &contents).ok());
    EXPECT_EQ(contents, "package bytes") << name;
  }
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("precious"), &contents).ok());
  EXPECT_EQ(contents, "the user's own file");
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("nowhere")));
}

TEST(SaveEntry, ChecksTheBytesAsItCopiesAndKeepsTheOldFileOnAnyFailure) {
  TempDir dir;
  // Larger than one copy block, damaged after the first one, so that a
  // check of the first block alone would pass it.
  std::string big(2 * 1024 * 1024 + 3, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 977);
  PackageBuilder builder = BuildPackage({{"big.jpg", big}, {"small.jpg", "fine"}});
  std::string bytes = builder.bytes();
  size_t at = bytes.find(big);
  ASSERT_NE(at, std::string::npos);
  bytes[at + big.size() - 2] ^= 0x01;
  PackageBuilder damaged;
  damaged.Raw(bytes);
  ASSERT_TRUE(damaged.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());

  const struct {
    const char* name;
    const char* target;
    EntrySaveResult result;
  } cases[] = {
      {"big.jpg", "big.jpg", EntrySaveResult::kMismatch},
      {"none.jpg", "none.jpg", EntrySaveResult::kMissing},
      {"small.jpg", "readonly.jpg", EntrySaveResult::kWriteFailed},
      {"small.jpg", "folder", EntrySaveResult::kWriteFailed},
      {"small.jpg", "missing/x.jpg", EntrySaveResult::kWriteFailed},
  };
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("big.jpg"), "older").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("readonly.jpg"), "older").ok());
  ASSERT_TRUE(SetReadOnly(DefaultFileSystem(), dir.Join("readonly.jpg"), true).ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("folder")).ok());
  for (const auto& c : cases) {
    EntrySave save = package.SaveEntry(c.name, dir.Join(c.target));
    EXPECT_EQ(save.result, c.result) << c.target;
    EXPECT_EQ(save.error != 0, c.result == EntrySaveResult::kWriteFailed) << c.target;
  }
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("big.jpg"), &contents).ok());
  EXPECT_EQ(contents, "older");
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("readonly.jpg"), &contents).ok());
  EXPECT_EQ(contents, "older");
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("none.jpg")));
  // No temporary file is left beside the targets.
  std::vector<std::string> left = FindFiles(DefaultFileSystem(), dir.Join("*"));
  EXPECT_EQ(left.size(), 3u);  // p, big.jpg, readonly.jpg
  SetReadOnly(DefaultFileSystem(), dir.Join("readonly.jpg"), false).IgnoreError();
}

// Many entries at once settle every target as SaveEntry settles it alone:
// the same outcomes, the same bytes, nothing else left behind.
TEST(SaveEntries, SettlesEveryTargetAsSaveEntryDoes) {
  TempDir dir;
  std::vector<StoredItem> items;
  for (size_t size : {0, 1, 64, 262144, 262145, 700001, 5, 3000000}) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 13 + size);
    items.push_back({"f" + std::to_string(size) + ".jpg", data});
  }
  std::string big(600000, 'b');
  items.push_back({"big.jpg", big});
  std::string bytes = BuildPackage(items).bytes();
  bytes[bytes.find(big) + 1000] ^= 0x01;  // big.jpg fails its MD5
  PackageBuilder damaged;
  damaged.Raw(bytes);
  ASSERT_TRUE(damaged.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());

  std::vector<std::pair<std::string, std::string>> names;  // entry, target file
  for (const StoredItem& item : items) names.emplace_back(item.name, item.name);
  names.insert(names.begin() + 3, {"none.jpg", "none.jpg"});
  names.insert(names.begin() + 5, {"f5.jpg", "readonly.jpg"});
  names.insert(names.begin() + 7, {"f1.jpg", "missing/x.jpg"});
  auto run = [&](const std::string& folder, unsigned jobs) {
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join(folder)).ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join(folder + "/readonly.jpg"), "x").ok());
    EXPECT_TRUE(SetReadOnly(DefaultFileSystem(), dir.Join(folder + "/readonly.jpg"), true).ok());
    std::vector<std::pair<std::string, std::string>> targets;
    for (const auto& [name, file] : names)
      targets.emplace_back(name, dir.Join(folder + "/" + file));
    std::vector<EntrySave> saves;
    if (jobs == 0) {
      for (const auto& [name, path] : targets) saves.push_back(package.SaveEntry(name, path));
    } else {
      std::vector<size_t> order;
      saves = package.SaveEntries(targets, jobs,
                                  [&](size_t i, const EntrySave&) { order.push_back(i); });
      EXPECT_EQ(order.size(), targets.size());
      for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    }
    SetReadOnly(DefaultFileSystem(), dir.Join(folder + "/readonly.jpg"), false).IgnoreError();
    return saves;
  };
  const std::vector<EntrySave> one_by_one = run("one", 0);
  EXPECT_EQ(one_by_one[names.size() - 1].result, EntrySaveResult::kMismatch);
  for (unsigned jobs : {1u, 3u}) {
    const std::string folder = "jobs" + std::to_string(jobs);
    const std::vector<EntrySave> together = run(folder, jobs);
    ASSERT_EQ(together.size(), one_by_one.size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(together[i].result, one_by_one[i].result) << names[i].second << " " << jobs;
      EXPECT_EQ(together[i].error, one_by_one[i].error) << names[i].second << " " << jobs;
    }
    auto names_in = [&](const std::string& name) {
      std::vector<std::string> found;
      for (const std::string& path : FindFiles(DefaultFileSystem(), dir.Join(name + "/*"))) {
        found.push_back(FileNameOf(path));
      }
      return found;
    };
    EXPECT_EQ(names_in(folder), names_in("one"));
    for (const StoredItem& item : items) {
      std::string a, b;
      ReadWholeFile(DefaultFileSystem(), dir.Join("one/" + item.name), &a).IgnoreError();
      ReadWholeFile(DefaultFileSystem(), dir.Join(folder + "/" + item.name), &b).IgnoreError();
      EXPECT_TRUE(a == b) << item.name;
    }
  }
}

TEST(IsUsableMetaText, NeedsTheFrameAndAFirstImageThatIsAnEntry) {
  TempDir dir;
  ASSERT_TRUE(BuildPackage({{"a.jpg", "a"}}).WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  EXPECT_TRUE(package.IsUsableMetaText(Meta("a.jpg")));
  EXPECT_FALSE(package.IsUsableMetaText(""));
  EXPECT_FALSE(package.IsUsableMetaText(Meta("a.jpg", false)));
  EXPECT_FALSE(package.IsUsableMetaText(Meta("b.jpg")));
  EXPECT_FALSE(package.IsUsableMetaText(Meta("A.JPG")));
  EXPECT_FALSE(package.IsUsableMetaText(
      "<qx><show></show><images><image onlineFilename=\"a.jpg</images></qx>"));
  EXPECT_FALSE(package.IsUsableMetaText(
      "<qx><show></show><image onlineFilename=\"a.jpg\"/><images></images></qx>"));
  // The first image decides, even when a later one would do.
  EXPECT_FALSE(package.IsUsableMetaText(
      "<qx><show></show><images><image onlineFilename=\"x.jpg\"/>"
      "<image onlineFilename=\"a.jpg\"/></images></qx>"));
}

class MetaFallback : public testing::Test {
 protected:
  void SetUp() override {
    items_ = {{"a.jpg", "A"},
              {"meta.xml", Meta("a.jpg", false)},
              {"meta.xml.1", Meta("a.jpg") + "<!-- one -->"},
              {"meta.xml.2", Meta("a.jpg") + "<!-- two -->"}};
    original_ = BuildPackage(items_);
    ASSERT_TRUE(original_.WriteTo(DefaultFileSystem(), path()));
  }
  std::string path() const { return dir_.Join("show.pkg"); }
  std::string Contents() const {
    std::string contents;
    ReadWholeFile(DefaultFileSystem(), path(), &contents).IgnoreError();
    return contents;
  }

  TempDir dir_;
  std::vector<StoredItem> items_;
  PackageBuilder original_;
};

TEST_F(MetaFallback, RepairStoresTheNewestUsableVersionAsMetaXml) {
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(path(), false).ok());
  EXPECT_EQ(package.GetMetaText(), items_[3].data);

  // The old text keeps its bytes under the next number, the usable one is
  // appended as "meta.xml", a new directory follows and 'L' points at it.
  PackageBuilder expected = original_;
  uint32_t added = 0;
  expected.StoredFile("meta.xml", items_[3].data, &added);
  expected.DirectoryHead(5);
  uint32_t offset = 24;
  for (size_t i = 0; i < items_.size(); ++i) {
    std::string name = i == 1 ? "meta.xml.3" : items_[i].name;
    expected.Entry(name, offset, static_cast<uint32_t>(items_[i].data.size()),
                   Md5BufferHex(items_[i].data.data(), items_[i].data.size()));
    offset += static_cast<uint32_t>(6 + 4 + items_[i].name.size() + 6 + items_[i].data.size());
  }
  expected.Entry("meta.xml", added, static_cast<uint32_t>(items_[3].data.size()),
                 Md5BufferHex(items_[3].data.data(), items_[3].data.size()));
  expected.PointAtDirectory();
  EXPECT_EQ(Contents(), expected.bytes());

  // The package stays open and reads the repaired text; a second open finds
  // nothing to repair.
  EXPECT_TRUE(package.IsOpen());
  EXPECT_EQ(package.ReadEntryText("meta.xml"), items_[3].data);
  EXPECT_EQ(package.ReadEntryText("meta.xml.3"), items_[1].data);
  ShowPackage again(DefaultFileSystem());
  ASSERT_TRUE(again.OpenPackage(path(), true).ok());
  EXPECT_EQ(Contents(), expected.bytes());
  EXPECT_EQ(again.entries().size(), 5u);
}

TEST_F(MetaFallback, OpeningWithValidationRepairsAtOnce) {
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(path(), true).ok());
  EXPECT_EQ(package.entries().back().name, "meta.xml");
  EXPECT_EQ(package.entries()[1].name, "meta.xml.3");
  EXPECT_NE(Contents(), original_.bytes());
}

TEST(MetaFallbackEdges, UnusableTextWithoutVersionsIsReturnedUnchanged) {
  TempDir dir;
  PackageBuilder b = BuildPackage({{"a.jpg", "A"}, {"meta.xml", Meta("a.jpg", false)}});
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), true).ok());
  EXPECT_EQ(package.GetMetaText(), Meta("a.jpg", false));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("p"), &contents).ok());
  EXPECT_EQ(contents, b.bytes());
}

TEST(MetaFallbackEdges, OnlyListedVersionsAreTried) {
  TempDir dir;
  PackageBuilder b = BuildPackage({{"a.jpg", "A"},
                                   {"meta.xml", "broken"},
                                   {"meta.xml.2147483647", Meta("a.jpg")},
                                   {"meta.xml.5", "also broken"}});
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), false).ok());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(package.GetMetaText(), Meta("a.jpg"));
  // Counting down from two billion would take minutes, not this.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(MetaFallbackEdges, UnlistedNumbersAndOtherNamesAreNotVersions) {
  TempDir dir;
  PackageBuilder b = BuildPackage({{"a.jpg", "A"},
                                   {"meta.xml", "broken"},
                                   {"meta.xml.07", Meta("a.jpg")},
                                   {"meta.xml.bak", Meta("a.jpg")}});
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(dir.Join("p"), true).ok());
  EXPECT_EQ(package.GetMetaText(), "broken");
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("p"), &contents).ok());
  EXPECT_EQ(contents, b.bytes());
}

TEST(ReadMetaText, TellsWhichVersionWasReadAndWhetherItsDigestHolds) {
  TempDir dir;
  const std::string usable = Meta("a.jpg");
  // The stored description differs from what its digest states.
  PackageBuilder damaged = BuildPackage({{"a.jpg", "A"}, {"meta.xml", usable}});
  std::string bytes = damaged.bytes();
  bytes[bytes.find("<title>T") + 7] = 'X';
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("damaged"), bytes).ok());
  // A zero byte in the stored description, digest right: the text ends there.
  const std::string with_zero = usable + std::string(1, '\0') + "tail";
  PackageBuilder zero = BuildPackage({{"a.jpg", "A"}, {"meta.xml", with_zero}});
  ASSERT_TRUE(zero.WriteTo(DefaultFileSystem(), dir.Join("zero")));
  // A broken current version and a usable older one.
  PackageBuilder older = BuildPackage(
      {{"a.jpg", "A"}, {"meta.xml", "broken"}, {"meta.xml.4", usable}});
  ASSERT_TRUE(older.WriteTo(DefaultFileSystem(), dir.Join("older")));

  struct Case {
    const char* file;
    std::string text;
    const char* entry;
    bool intact;
  };
  std::string damaged_text = usable;
  damaged_text[damaged_text.find("<title>T") + 7] = 'X';
  for (const Case& c : {Case{"damaged", damaged_text, "meta.xml", false},
                        Case{"zero", usable, "meta.xml", true},
                        Case{"older", usable, "meta.xml.4", true}}) {
    ShowPackage package(DefaultFileSystem());
    ASSERT_TRUE(package.OpenPackage(dir.Join(c.file), false).ok()) << c.file;
    MetaText meta = package.ReadMetaText();
    EXPECT_EQ(meta.text, c.text) << c.file;
    EXPECT_EQ(meta.entry, c.entry) << c.file;
    EXPECT_EQ(meta.intact, c.intact) << c.file;
  }
  ShowPackage empty(DefaultFileSystem());
  EXPECT_EQ(empty.ReadMetaText().entry, "");
}

TEST(WritePackage, SameFolderTwiceGivesIdenticalBytesUnderAUniqueName) {
  TempDir dir;
  std::string show = dir.Join("show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show).ok());
  for (const char* name : {"b.jpg", "A.jpg", "__w133_h100_b.jpg", "meta.xml", "Song.MP3",
                           "clip.swf", "c.JPG"}) {
    ASSERT_TRUE(
        WriteWholeFile(DefaultFileSystem(), show + name, std::string("data of ") + name).ok());
  }
  ShowPackage package(DefaultFileSystem());
  std::string first = dir.Join("Show.TVP");
  std::string second = first;
  ASSERT_TRUE(package.WritePackage(first, show).ok());
  ASSERT_TRUE(package.WritePackage(second, show).ok());
  EXPECT_EQ(first, dir.Join("Show.TVP"));
  EXPECT_EQ(second, dir.Join("Show (2).tvp"));
  std::string a, b;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), first, &a).ok());
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), second, &b).ok());
  EXPECT_EQ(a, b);

  ASSERT_TRUE(package.OpenPackage(second, true).ok());
  std::vector<std::string> names;
  for (const PackageEntry& e : package.entries()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"clip.swf", "Song.MP3", "A.jpg", "b.jpg",
                                             "c.JPG", "w133\\h100\\b.jpg", "meta.xml"}));
  for (const PackageEntry& e : package.entries()) {
    std::string data;
    ASSERT_TRUE(package.ReadEntry(e.name, &data)) << e.name;
    EXPECT_EQ(e.md5, Md5BufferHex(data.data(), data.size()));
  }
}

TEST(WritePackage, EmptyFolderWritesAPackageThatDoesNotOpen) {
  TempDir dir;
  ShowPackage package(DefaultFileSystem());
  std::string target = dir.Join("empty.pkg");
  ASSERT_TRUE(package.WritePackage(target, dir.path()).ok());
  EXPECT_EQ(package.OpenPackage(target, false).words(),
            DescribeOpenError(PackageOpenError::kEmptyDirectory));
}

}  // namespace

}  // namespace tavirelle
