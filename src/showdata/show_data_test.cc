#include "showdata/show_data.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

using Names = std::vector<std::string>;

TEST(ShowDataTextTest, StripLeadingSeparators) {
  struct Case {
    std::string in, out;
  } cases[] = {{"\\/a\\b", "a\\b"}, {"//", "/"}, {"\\", "\\"}, {"", ""}, {"a/", "a/"}};
  for (auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(StripLeadingSeparators(text), c.out) << c.in;
  }
}

TEST(ShowDataTextTest, SplitTextKeepsInnerEmptyPiecesAndDropsTrailingOne) {
  EXPECT_EQ(SplitText("a//b", "/"), (Names{"a", "", "b"}));
  EXPECT_EQ(SplitText("/a/", "/"), (Names{"", "a"}));
  EXPECT_EQ(SplitText("a\\b/c", "\\/"), (Names{"a", "b", "c"}));
  EXPECT_EQ(SplitText("", "/"), Names{});
}

TEST(ShowDataTextTest, ReplaceCharCounts) {
  std::string text = "\\a\\b";
  EXPECT_EQ(ReplaceChar(text, '\\', '/'), 2u);
  EXPECT_EQ(text, "/a/b");
}

TEST(ShowDataTextTest, NamesThatLeaveTheFolderAreRecognised) {
  struct Case {
    const char* name;
    bool inside;
  } cases[] = {
      {"a.jpg", true},          {"sub/a.jpg", true},       {"w133\\h100\\a.jpg", true},
      {"..a.jpg", true},        {"a..b/c.jpg", true},      {"../a.jpg", false},
      {"sub\\..\\..\\a", false}, {"x/..", false},           {"/etc/passwd", false},
      {"\\a.jpg", false},       {"C:a.jpg", false},        {"c:\\a.jpg", false},
  };
  for (auto& c : cases) EXPECT_EQ(IsNameInsideFolder(c.name), c.inside) << c.name;
}

const char kTwoImageShow[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qx><show><icon>show_icon.jpg</icon></show><images>"
    "<image onlineFilename=\"a.jpg\"/>"
    "<image onlineFilename=\"b.jpg\"><audioCaption file=\"note.wav\"/>"
    "<music file=\"song.mp3\"/></image>"
    "</images></qx>";

TEST(ShowDataTest, CollectsIconThenOnlineFilesThenCaptionsThenMusic) {
  ShowData show(kTwoImageShow);
  EXPECT_EQ(show.CollectReferencedFiles(),
            (Names{"show_icon.jpg", "a.jpg", "b.jpg", "note.wav", "song.mp3"}));
  // Collecting again rebuilds the list instead of appending to it.
  EXPECT_EQ(show.CollectReferencedFiles().size(), 5u);
}

TEST(ShowDataTest, CollectionRules) {
  struct Case {
    const char* what;
    const char* images;  // children of <images>
    Names expected;
  } cases[] = {
      {"duplicates are kept once, first place wins",
       "<image onlineFilename=\"a.jpg\"/><image onlineFilename=\"b.jpg\"/>"
       "<image onlineFilename=\"a.jpg\"><audioCaption file=\"b.jpg\"/></image>",
       {"a.jpg", "b.jpg"}},
      {"comparison is case-sensitive",
       "<image onlineFilename=\"a.jpg\"/><image onlineFilename=\"A.jpg\"/>",
       {"a.jpg", "A.jpg"}},
      {"leading separators go, backslashes become slashes",
       "<image onlineFilename=\"\\sub\\a.jpg\"/><image onlineFilename=\"//b.jpg\"/>",
       {"sub/a.jpg", "b.jpg"}},
      {"an online file given as a child element counts",
       "<image><onlineFilename>c.jpg</onlineFilename></image>", {"c.jpg"}},
      {"only image children contribute",
       "<video onlineFilename=\"v.jpg\"/><image onlineFilename=\"i.jpg\"/>", {"i.jpg"}},
      {"music needs an mp3 extension in any case",
       "<image onlineFilename=\"i.jpg\"><music file=\"track.WMA\"/></image>"
       "<image onlineFilename=\"j.jpg\"><music file=\"track.MP3\"/></image>"
       "<image onlineFilename=\"k.jpg\"><music file=\"mp3\"/></image>",
       {"i.jpg", "j.jpg", "k.jpg", "track.MP3"}},
      {"music without a file attribute contributes nothing",
       "<image onlineFilename=\"i.jpg\"><music name=\"x.mp3\"/></image>", {"i.jpg"}},
      {"empty values contribute nothing",
       "<image onlineFilename=\"\"><audioCaption file=\"\"/></image>", {}},
  };
  for (auto& c : cases) {
    ShowData show(std::string("<qx><show/><images>") + c.images + "</images></qx>");
    EXPECT_EQ(show.CollectReferencedFiles(), c.expected) << c.what;
  }
}

TEST(ShowDataTest, TextThatIsNotAShowGivesNothing) {
  for (const char* text : {"", "not xml at all", "<qx><images>", "<other><icon>x</icon></other>"}) {
    ShowData show(text);
    EXPECT_EQ(show.CollectReferencedFiles(), Names{}) << text;
  }
}

class GenerateShowDataTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& path) {
    std::string text;
    return ReadWholeFile(DefaultFileSystem(), path, &text).ok() ? text : "<missing>";
  }
  TempDir dir_;
};

TEST_F(GenerateShowDataTest, ExtractsReferencedEntriesAndTheDescription) {
  std::string meta = kTwoImageShow;
  std::string package_path = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(package_path, {{"meta.xml", meta},
                                              {"show_icon.jpg", "icon"},
                                              {"a.jpg", "AAA"},
                                              {"b.jpg", "BBB"},
                                              {"note.wav", "wave"},
                                              {"song.mp3", "music"},
                                              {"unused.jpg", "never"}}));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(package_path, false).ok());
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  ASSERT_TRUE(GenerateShowData(package, out).ok());
  EXPECT_EQ(Read(out + "show_icon.jpg"), "icon");
  EXPECT_EQ(Read(out + "a.jpg"), "AAA");
  EXPECT_EQ(Read(out + "b.jpg"), "BBB");
  EXPECT_EQ(Read(out + "note.wav"), "wave");
  EXPECT_EQ(Read(out + "song.mp3"), "music");
  EXPECT_EQ(Read(out + "meta.xml"), meta);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out + "unused.jpg"));
  EXPECT_TRUE(package.IsOpen());
}

TEST_F(GenerateShowDataTest, NamesLeavingTheFolderAreSkippedAndTheRestExtracted) {
  std::string meta =
      "<qx><show><icon>../icon.jpg</icon></show><images>"
      "<image onlineFilename=\"a.jpg\"/>"
      "<image onlineFilename=\"sub\\..\\..\\b.jpg\"/>"
      "<image onlineFilename=\"C:c.jpg\"/>"
      "<image onlineFilename=\"d.jpg\"/>"
      "</images></qx>";
  std::string package_path = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(package_path, {{"meta.xml", meta},
                                              {"..\\icon.jpg", "escaped"},
                                              {"a.jpg", "A"},
                                              {"sub\\..\\..\\b.jpg", "escaped"},
                                              {"C:c.jpg", "escaped"},
                                              {"d.jpg", "D"}}));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(package_path, false).ok());
  std::string out = dir_.Join("deep/out/");
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), out).ok());
  // Never written, and no failure: the folder's files are all there.
  ASSERT_TRUE(GenerateShowData(package, out).ok());
  EXPECT_EQ(Read(out + "a.jpg"), "A");
  EXPECT_EQ(Read(out + "d.jpg"), "D");
  EXPECT_EQ(Read(out + "meta.xml"), meta);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("deep/icon.jpg")));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("b.jpg")));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out + "C:c.jpg"));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out + "c.jpg"));
}

TEST_F(GenerateShowDataTest, DamagedOrOverlongEntriesLeaveNoFile) {
  std::string meta =
      "<qx><show/><images><image onlineFilename=\"bad.jpg\"/><image onlineFilename=\"long.jpg\"/>"
      "<image onlineFilename=\"sub/ok.jpg\"/><image onlineFilename=\"music\\tune.mp3\"/>"
      "</images></qx>";
  std::string package_path = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(package_path, {{"meta.xml", meta},
                                              {"bad.jpg", "damaged", true},
                                              {"long.jpg", "short", false, 1u << 30},
                                              {"sub\\ok.jpg", std::string(3 << 20, 'k')},
                                              {"tune.mp3", "la"}}));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(package_path, false).ok());
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), out + "sub\\").ok());
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), out + "music\\").ok());
  EXPECT_EQ(GenerateShowData(package, out).code(), ERROR_CRC);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out + "bad.jpg"));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out + "long.jpg"));
  EXPECT_EQ(Read(out + "sub/ok.jpg"), std::string(3 << 20, 'k'));
  // Music is looked up by its file name alone.
  EXPECT_EQ(Read(out + "music/tune.mp3"), "la");
}

TEST_F(GenerateShowDataTest, ExtractionReplacesOlderFilesWhole) {
  std::string meta = "<qx><show/><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  std::string package_path = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(package_path, {{"meta.xml", meta}, {"a.jpg", "new"}}));
  ShowPackage package(DefaultFileSystem());
  ASSERT_TRUE(package.OpenPackage(package_path, false).ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("a.jpg"), "an older and longer file").ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("meta.xml"), std::string(1000, 'm')).ok());
  ASSERT_TRUE(GenerateShowData(package, dir_.path()).ok());
  EXPECT_EQ(Read(dir_.Join("a.jpg")), "new");
  EXPECT_EQ(Read(dir_.Join("meta.xml")), meta);
}

TEST_F(GenerateShowDataTest, ClosedPackageWritesNothing) {
  ShowPackage package(DefaultFileSystem());
  EXPECT_FALSE(GenerateShowData(package, dir_.path()).ok());
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("meta.xml")));
}

}  // namespace

}  // namespace tavirelle
