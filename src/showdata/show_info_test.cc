// Tests of the quick show queries. They live with the show data tests since
// they need the XML reader as well as the package.
#include "package/show_info.h"

#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"
#include "xml/encoding.h"
#include "metaxml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

struct IconCase {
  const char* what;
  std::string icon;  // the icon element's text
  std::string head;
  std::set<std::string> entries;
  std::string full;  // what a reload gives
  std::string expected;
  int expected_loads;
};

std::ostream& operator<<(std::ostream& os, const IconCase& c) { return os << c.what; }

class IconSearchTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconSearchTest, FindsTheIcon) {
  const IconCase& c = GetParam();
  int loads = 0;
  std::string icon = SearchShowIcon(
      c.icon, c.head, [&](const std::string& name) { return c.entries.count(name) > 0; },
      [&]() {
        ++loads;
        return c.full;
      });
  EXPECT_EQ(icon, c.expected);
  EXPECT_EQ(loads, c.expected_loads);
}

const std::string kImages =
    "<qx><images><image onlineFilename=\"a.jpg\" /><image onlineFilename=\"b.jpg\" />"
    "</images></qx>";

INSTANTIATE_TEST_SUITE_P(
    Cases, IconSearchTest,
    ::testing::Values(
        IconCase{
            "icon element naming an entry", "i.jpg", kImages, {"i.jpg", "a.jpg"}, "", "i.jpg", 0},
        IconCase{"video icon shown by its still",
                 "intro.swf",
                 kImages,
                 {"intro.jpg"},
                 "",
                 "intro.jpg",
                 0},
        IconCase{"show_icon.jpg before any image",
                 "missing.jpg",
                 kImages,
                 {"show_icon.jpg", "a.jpg"},
                 "",
                 "show_icon.jpg",
                 0},
        IconCase{"first image that is an entry", "", kImages, {"b.jpg"}, "", "b.jpg", 0},
        IconCase{"video item through its still",
                 "",
                 "<images><image onlineFilename=\"clip.swf\"/>",
                 {"clip.jpg"},
                 "",
                 "clip.jpg",
                 0},
        IconCase{"video item through its thumbnail",
                 "",
                 "<images><image onlineFilename=\"clip.swf\"/>",
                 {"w133\\h100\\clip.jpg"},
                 "",
                 "w133\\h100\\clip.jpg",
                 0},
        IconCase{"extension rules are case-sensitive",
                 "",
                 "<images><image onlineFilename=\"c.SWF\"/>",
                 {"c.jpg"},
                 "",
                 "c.SWF",
                 0},
        IconCase{"no candidate: the last one tried", "", kImages, {}, kImages, "b.jpg", 0},
        IconCase{"images before <images> are not looked at",
                 "",
                 "<image onlineFilename=\"x.jpg\"/><images><image onlineFilename=\"y.jpg\"/>",
                 {"x.jpg"},
                 "",
                 "y.jpg",
                 0},
        IconCase{"without <images> the search starts at the top",
                 "",
                 "<image onlineFilename=\"x.jpg\"/>",
                 {"x.jpg"},
                 "",
                 "x.jpg",
                 0},
        IconCase{"head cut inside the images: reloaded once",
                 "",
                 "<images><image onlineFilename=\"a.jpg\"/><image onl",
                 {"b.jpg"},
                 kImages,
                 "b.jpg",
                 1},
        IconCase{"closing quote that never comes ends the search",
                 "",
                 "<images><image onlineFilename=\"a.jpg",
                 {"a.jpg"},
                 "<images><image onlineFilename=\"a.jpg",
                 "show_icon.jpg",
                 1},
        IconCase{
            "no image tag at all", "", "<qx><images></images></qx>", {}, "", "show_icon.jpg", 0}));

TEST(DescriptionInCodePageTest, ConvertsExactlyWhatTheXmlReaderTakesAsUtf8) {
  const std::string utf8 = "Caf\xC3\xA9";
  struct Case {
    std::string prefix;
    bool converted;
  } cases[] = {
      {"", true},
      {"<?xml version=\"1.0\"?>", true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", true},
      {"  <?xml encoding='UTF-8' ?>", true},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", false},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", false},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>", true},
  };
  for (const Case& c : cases) {
    std::string text = DescriptionInCodePage(c.prefix + "<t>" + utf8 + "</t>");
    bool has_latin1 = text.find("Caf\xE9</t>") != std::string::npos;
    EXPECT_EQ(has_latin1, c.converted) << c.prefix;
  }
}

class ShowPackageQueryTest : public ::testing::Test {
 protected:
  void Open(const std::vector<TestEntry>& entries) {
    std::string path = dir_.Join("show.pkg");
    ASSERT_TRUE(WriteTestPackage(path, entries));
    ASSERT_TRUE(package_.OpenPackage(path, false).ok());
  }
  static std::string Online(const std::string& code, const std::string& time) {
    return "<?xml version=\"1.0\"?><onlineInfo><showCode>" + code +
           "</showCode><modTime>" + time + "</modTime></onlineInfo>";
  }
  static std::string Local(const std::string& value) {
    return "<localInfo><localModified>" + value + "</localModified></localInfo>";
  }
  TempDir dir_;
  ShowPackage package_{DefaultFileSystem()};
};

TEST_F(ShowPackageQueryTest, OnlineInfoIsTrimmedAndPassedOnUntouched) {
  Open({{"onlineInfo.xml", Online(" ABC12 \r\n", "\t2024-01-02T03:04:05Z ")}});
  EXPECT_EQ(ReadShowCode(package_), "ABC12");
  EXPECT_EQ(ReadServerModTime(package_), "2024-01-02T03:04:05Z");
}

TEST_F(ShowPackageQueryTest, MissingOrForeignOnlineInfoGivesEmptyTexts) {
  Open({{"meta.xml", "<qx/>"}, {"other.xml", Online("X", "Y")}});
  EXPECT_EQ(ReadShowCode(package_), "");
  package_.ClosePackage();
  Open({{"onlineInfo.xml", "<info><showCode>X</showCode></info>"}});
  EXPECT_EQ(ReadShowCode(package_), "");
  EXPECT_EQ(ReadServerModTime(package_), "");
}

TEST_F(ShowPackageQueryTest, LocalModifiedIsTrueOnlyForTrueInAnyCase) {
  struct Case {
    std::string value;
    bool modified;
  } cases[] = {{"true", true}, {"TRUE", true}, {"tRuE", true}, {" true", false},
               {"yes", false}, {"1", false},   {"", false}};
  for (const Case& c : cases) {
    package_.ClosePackage();
    Open({{"localInfo.xml", Local(c.value)}});
    EXPECT_EQ(ReadLocalModified(package_), c.modified) << "'" << c.value << "'";
  }
  package_.ClosePackage();
  Open({{"meta.xml", "<qx/>"}});
  EXPECT_FALSE(ReadLocalModified(package_));
}

TEST_F(ShowPackageQueryTest, ClosedPackageAnswersNothing) {
  Open({{"onlineInfo.xml", Online("A", "B")}, {"localInfo.xml", Local("true")}});
  package_.ClosePackage();
  EXPECT_EQ(ReadShowCode(package_), "");
  EXPECT_FALSE(ReadLocalModified(package_));
  EXPECT_EQ(QuickShowInfo(package_).title, "");
}

std::string Meta(const std::string& show, const std::string& images = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qx><show>" + show +
         "</show><images>" + images + "</images></qx>";
}

TEST_F(ShowPackageQueryTest, QuickInfoReadsTheShowTexts) {
  Open({{"meta.xml",
         Meta("<title>My+Show%21</title><createdby>Ann &amp; Bob</createdby>"
              "<starring>&lt;cast&gt;</starring><icon>i.jpg</icon>")},
        {"i.jpg", "x"}});
  ShowInfo info = QuickShowInfo(package_);
  EXPECT_EQ(info.title, "My Show!");
  EXPECT_EQ(info.createdBy, "Ann & Bob");
  EXPECT_EQ(info.starring, "<cast>");
  EXPECT_EQ(info.icon, "i.jpg");
}

// A title stored form-encoded, as hosts store it, comes back as the title
// that was typed, whether our XML writer put it in CDATA or wrote character
// references outside it.
TEST_F(ShowPackageQueryTest, TitleRoundTripsThroughTheXmlWriter) {
  const std::string title = "Caf\xE9 \xFC" "ber! 1+1=2 100% Tom & Jerry";
  const std::string stored = QuoteShowTextMarkup(EncodeTypedShowText(title));
  for (bool as_cdata : {false, true}) {
    XmlDocument document;
    XmlNode* qx = document.AddChild("qx");
    XmlNode* show = qx->AddChild("show");
    show->AddChild("title", stored.c_str(), as_cdata);
    qx->AddChild("images");
    package_.ClosePackage();
    Open({{"meta.xml", document.DocumentText()}});
    EXPECT_EQ(QuickShowInfo(package_).title, title) << document.DocumentText();
  }
}

TEST_F(ShowPackageQueryTest, LegacyCodePageDescriptionIsReadByteForByte) {
  Open({{"meta.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><qx><show><title>Caf\xE9"
                     "</title></show></qx>"}});
  EXPECT_EQ(QuickShowInfo(package_).title, "Caf\xE9");
}

TEST_F(ShowPackageQueryTest, HeadStopsBeforeTheLastByteAndAt3999Bytes) {
  struct Case {
    std::string meta;
    std::string title;
  } cases[] = {
      {"<qx><show><title>T</title></show>\n", "T"},
      // The last byte is never part of the head, so "</show>" is cut.
      {"<qx><show><title>T</title></show>", ""},
      // "</show>" ends at byte 3999, inside the head, or at 4000, outside.
      {"<qx><show><title>T</title>" + std::string(3999 - 33, ' ') + "</show>" +
           std::string(5000, ' '),
       "T"},
      {"<qx><show><title>T</title>" + std::string(4000 - 33, ' ') + "</show>" +
           std::string(5000, ' '),
       ""},
  };
  for (const Case& c : cases) {
    package_.ClosePackage();
    Open({{"meta.xml", c.meta}});
    EXPECT_EQ(QuickShowInfo(package_).title, c.title) << c.meta.size();
  }
  package_.ClosePackage();
  Open({{"meta.xml", ""}});
  EXPECT_EQ(QuickShowInfo(package_).title, "");
}

TEST_F(ShowPackageQueryTest, FirstMetaWithSoundHeadersCountsAndNumberedOnesDoNot) {
  Open({{"meta.xml.3", Meta("<title>Three</title>")},
        {"meta.xml", Meta("<title>Damaged</title>"), true},
        {"meta.xml", Meta("<title>Good</title>")},
        {"meta.xml", Meta("<title>Later</title>")}});
  EXPECT_EQ(QuickShowInfo(package_).title, "Good");
  package_.ClosePackage();
  Open({{"meta.xml.3", Meta("<title>Three</title>")}});
  ShowInfo none = QuickShowInfo(package_);
  EXPECT_EQ(none.title, "");
  EXPECT_EQ(none.icon, "");
}

TEST_F(ShowPackageQueryTest, DescriptionStatedPastTheEndOfTheFileIsUnreadableForEveryReader) {
  // The directory claims more bytes than the whole file holds: the quick
  // look and the full read agree that there is no description.
  Open({{"meta.xml", Meta("<title>Short</title>"), false, 3000}});
  EXPECT_EQ(QuickShowInfo(package_).title, "");
  EXPECT_EQ(package_.GetMetaText(), "");
  // The same description stated truly is read.
  package_.ClosePackage();
  Open({{"meta.xml", Meta("<title>Short</title>")}});
  EXPECT_EQ(QuickShowInfo(package_).title, "Short");
}

TEST_F(ShowPackageQueryTest, HeadCutInsideAnImageIsReloadedButCutBetweenImagesIsNot) {
  // The first image's attributes run past the head, so its online name is
  // only found in the full description.
  std::string long_image =
      "<image caption=\"" + std::string(5000, 'c') + "\" onlineFilename=\"p.jpg\"/>";
  Open({{"meta.xml", Meta("<title>Long</title>", long_image)}, {"p.jpg", "x"}});
  ShowInfo info = QuickShowInfo(package_);
  EXPECT_EQ(info.icon, "p.jpg");
  EXPECT_EQ(info.title, "Long");

  // When the head ends between two images the search ends with the last
  // name it saw.
  std::string images;
  for (int i = 0; i < 200; ++i) {
    images += "<image onlineFilename=\"p" + std::to_string(i) + ".jpg\" />";
  }
  package_.ClosePackage();
  Open({{"meta.xml", Meta("<title>Many</title>", images)}, {"p150.jpg", "x"}});
  std::string icon = QuickShowInfo(package_).icon;
  EXPECT_NE(icon, "p150.jpg");
  EXPECT_EQ(icon.substr(0, 1), "p");
}

TEST_F(ShowPackageQueryTest, ReloadReadsTheSameVersionAndNeverRepairs) {
  // The current description is unusable (no "</qx>") and long enough to be
  // reloaded; an older usable version exists. The quick look reads the
  // current one to its end and leaves the package as it was.
  std::string long_image =
      "<image caption=\"" + std::string(5000, 'c') + "\" onlineFilename=\"cur.jpg\"/>";
  std::string current = "<qx><show><title>Now</title></show><images>" + long_image;
  std::string older = Meta("<title>Old</title>", "<image onlineFilename=\"old.jpg\"/>");
  std::string path = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(path, {{"meta.xml", current},
                                      {"meta.xml.0", older},
                                      {"cur.jpg", "c"},
                                      {"old.jpg", "o"}}));
  std::string before;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &before).ok());
  ASSERT_TRUE(package_.OpenPackage(path, false).ok());
  ShowInfo info = QuickShowInfo(package_);
  EXPECT_EQ(info.title, "Now");
  EXPECT_EQ(info.icon, "cur.jpg");
  package_.ClosePackage();
  std::string after;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &after).ok());
  EXPECT_EQ(after, before);
}

TEST_F(ShowPackageQueryTest, EveryShowTextIsDecodedInsideCDataOrNot) {
  Open({{"meta.xml", Meta("<title><![CDATA[Summer+Trip+%26+Friends]]></title>"
                          "<createdby>Summer&#x2B;Trip</createdby>"
                          "<starring><![CDATA[&lt;b&gt;+%2B]]></starring>")}});
  ShowInfo info = QuickShowInfo(package_);
  EXPECT_EQ(info.title, "Summer Trip & Friends");
  EXPECT_EQ(info.createdBy, "Summer Trip");
  EXPECT_EQ(info.starring, "<b> +");
}

}  // namespace

}  // namespace tavirelle
