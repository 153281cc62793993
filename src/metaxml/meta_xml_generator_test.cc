#include "metaxml/meta_xml_generator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metaxml/template_selector.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"
#include "metaxml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

// A show written into a scratch folder, with its style configuration and
// templates in that folder too, all removed afterwards.
class MetaXmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = work_.Join("out/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out_).ok());
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(work_.Join("templates")).ok());
    show_.output_path = out_;
  }

  // Installs `text` as the template of style "test".
  void UseTemplate(const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), work_.Join("templates/test.xml"), text).ok());
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), work_.Join("config.xml"),
                               "<config><templates><test>test.xml</test></templates></config>")
                    .ok());
    show_.style_id = "test";
  }

  PhotoDescription& AddPhoto(const std::string& online, const std::string& date,
                             int orientation = 0) {
    PhotoDescription& photo = show_.photos.emplace_back();
    photo.online_name = online;
    photo.original_name = "orig_" + online;
    photo.date_taken = date;
    photo.orientation = orientation;
    return photo;
  }

  // The file as the generation left it; status_ says what it reported.
  std::string Generate(FileSystem& fs = DefaultFileSystem()) {
    CTemplateSelector templates(fs, {work_.Join("config.xml"), {work_.Join("templates/")}});
    status_ = WriteMetaXml(show_, templates, fs);
    std::string text;
    if (!ReadWholeFile(DefaultFileSystem(), out_ + "meta.xml", &text).ok()) return "<none>";
    return text;
  }

  TempDir work_;
  std::string out_;
  ShowDescription show_;
  Status status_ = Status::Ok();
};

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
constexpr char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><qx><show><title><![CDATA[%SHOW_TITLE%]]>"
    "</title><by>%CREATED_BY%</by></show><images><keep/><image old=\"1\">"
    "<music file=\"m.mp3\"/><titles/></image></images></qx>";

std::string Expected(const std::string& images) {
  return std::string(kDeclaration) +
         "\n<qx>\n\t<show>\n\t\t<title><![CDATA[T]]></title>\n\t\t<by>C</by>\n\t</show>"
         "\n\t<images>\n\t\t<keep/>" +
         images + "\n\t</images>\n</qx>";
}

std::string Image(const std::string& attrs, const std::string& children) {
  if (children.empty()) return "\n\t\t<image old=\"1\" " + attrs + "/>";
  return "\n\t\t<image old=\"1\" " + attrs + ">" + children + "\n\t\t</image>";
}

std::string Attrs(const std::string& name, const std::string& date, const char* rotation) {
  std::string a = "playback_width=\"800\" playback_height=\"600\" exif_date=\"" + date + "\" ";
  if (rotation != nullptr) a += std::string("rotation=\"") + rotation + "\" ";
  return a + "file=\"" + name + "\" original_filename=\"orig_" + name +
         "\" onlineFilename=\"" + name + "\" display_date=\"\" ";
}

TEST_F(MetaXmlTest, FillsOneImagePerPhotoInOrderAndDropsTheTemplate) {
  UseTemplate(kTemplate);
  show_.title = "T";
  show_.created_by = "C";
  show_.music_path = "default_music";
  AddPhoto("A.jpg", "2024:01:02 03:04:05", 1);
  AddPhoto("B.jpg", "", 4);  // no rotation for values outside 0..3
  AddPhoto("C.jpg", "x", 3);
  const std::string music = "\n\t\t\t<music file=\"m.mp3\" />";
  EXPECT_EQ(Generate(),
            Expected(Image(Attrs("A.jpg", "2024:01:02 03:04:05", "90"), music) +
                     Image(Attrs("B.jpg", "", nullptr), music) +
                     Image(Attrs("C.jpg", "x", "270"), music)));
}

TEST_F(MetaXmlTest, MusicRuleHasThreeCases) {
  UseTemplate(kTemplate);
  show_.title = "T";
  show_.created_by = "C";
  AddPhoto("A.jpg", "d", 0);
  struct Case {
    const char* music;
    std::string children;
  } cases[] = {
      {"none_music", ""},
      {"", ""},
      {"default_music", "\n\t\t\t<music file=\"m.mp3\" />"},
      {"C:\\songs\\x.mp3", "\n\t\t\t<music file=\"C:\\songs\\x.mp3\" />"},
  };
  for (const auto& c : cases) {
    show_.music_path = c.music;
    EXPECT_EQ(Generate(), Expected(Image(Attrs("A.jpg", "d", "0"), c.children))) << c.music;
  }
}

TEST_F(MetaXmlTest, VideosKeepTheirTemplateAttributesAndClipsAreAppended) {
  UseTemplate(
      "<qx><images><image videoLength=\"9\" isVideo=\"1\" exif_date=\"t\">"
      "<clips><clip file=\"old\"/></clips></image></images></qx>");
  AddPhoto("V.swf", "d", 0).is_video = true;
  const ClipDescription clip{"art\\star.swf", 0.5f, -1.25f, 2.0f};
  AddPhoto("P.jpg", "d", 0).clips = {clip, clip};  // the same clip twice is written twice
  std::string clip_text =
      "<clip file=\"art\\star.swf\" locX=\"0.500000\" locY=\"-1.250000\" scale=\"2.000000\" />";
  std::string expected =
      std::string(kDeclaration) + "\n<qx>\n\t<images>" +
      "\n\t\t<image videoLength=\"9\" isVideo=\"1\" exif_date=\"t\" playback_width=\"800\" "
      "playback_height=\"600\" rotation=\"0\" file=\"V.swf\" original_filename=\"orig_V.swf\" "
      "onlineFilename=\"V.swf\" display_date=\"\" >\n\t\t\t<clips>\n\t\t\t\t<clip "
      "file=\"old\" />\n\t\t\t</clips>\n\t\t</image>"
      "\n\t\t<image exif_date=\"d\" playback_width=\"800\" playback_height=\"600\" "
      "rotation=\"0\" file=\"P.jpg\" original_filename=\"orig_P.jpg\" onlineFilename=\"P.jpg\" "
      "display_date=\"\" >\n\t\t\t<clips>\n\t\t\t\t<clip file=\"old\" />\n\t\t\t\t" +
      clip_text + "\n\t\t\t\t" + clip_text + "\n\t\t\t</clips>\n\t\t</image>\n\t</images>\n</qx>";
  EXPECT_EQ(Generate(), expected);
}

TEST_F(MetaXmlTest, PlaceholdersAreReplacedInOrder) {
  UseTemplate(
      "<qx><show><t>%SHOW_TITLE%</t><c>%CREATED_BY%</c><s>%STARRING%</s>"
      "<y>%ONE_CLICK_STYLE%</y></show><images><image/></images></qx>");
  show_.title = "A %STARRING% B";
  show_.created_by = "C";
  show_.starring = "Star";
  AddPhoto("A.jpg", "d");
  std::string text = Generate();
  // The title took the later placeholder's text.
  EXPECT_NE(text.find("<t>A Star B</t>"), std::string::npos) << text;
  EXPECT_NE(text.find("<y>test</y>"), std::string::npos) << text;
}

TEST_F(MetaXmlTest, AShowTextNeverChangesTheDocumentsStructure) {
  UseTemplate(
      "<qx><show><title><![CDATA[%SHOW_TITLE%]]></title><by>%CREATED_BY%</by>"
      "<s><![CDATA[%STARRING%]]></s></show><images><image/></images></qx>");
  const std::string hostile = "Tom & Jerry ]]> <evil/> <![CDATA[ x<y";
  show_.title = hostile;
  show_.created_by = hostile;
  // A host that stores its texts form-encoded passes nothing to quote.
  show_.starring = "Summer+Trip+%26+Friends";
  AddPhoto("A.jpg", "d");
  std::string text = Generate();
  EXPECT_EQ(text.find("<evil"), std::string::npos) << text;
  EXPECT_NE(text.find("<s><![CDATA[Summer+Trip+%26+Friends]]></s>"), std::string::npos) << text;
  XmlDocument document;
  ASSERT_TRUE(document.LoadText(text).ok());
  XmlNode* show = document.FindChild("qx")->FindChild("show");
  ASSERT_EQ(show->ChildCount(), 3);
  // Read back from the raw text and from the tree, each text is what was set.
  for (const char* name : {"title", "by"}) {
    EXPECT_EQ(DecodeShowText(ExtractElementText(text, name)), hostile) << name;
    EXPECT_EQ(DecodeShowText(show->ChildText(name)), hostile) << name;
  }
}

TEST_F(MetaXmlTest, NonAsciiTextsSurviveUtf8AndOtherTemplates) {
  const std::string body =
      "<qx><show><title><![CDATA[%SHOW_TITLE%]]></title></show><images><image/></images></qx>";
  show_.title = "Caf\xE9 \x80";
  AddPhoto("A.jpg", "d");
  UseTemplate(body);  // no declared encoding: read as UTF-8
  std::string utf8 = Generate();
  EXPECT_NE(utf8.find("<title><![CDATA[Caf\xC3\xA9 \xE2\x82\xAC]]></title>"), std::string::npos)
      << utf8;
  UseTemplate("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>" + body);
  std::string latin = Generate();
  EXPECT_NE(latin.find("<title><![CDATA[Caf\xE9 \x80]]></title>"), std::string::npos) << latin;
  EXPECT_EQ(latin.find("encoding=\"ISO-8859-1\""), 20u);
}

// What keeps meta.xml from being written is reported, and the previous file
// stays as it was; a show without photos has nothing to write.
TEST_F(MetaXmlTest, SaysWhyNothingWasWrittenAndKeepsTheOldFile) {
  UseTemplate(kTemplate);
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), out_ + "meta.xml", "old").ok());
  EXPECT_EQ(Generate(), "old");  // no photos
  EXPECT_TRUE(status_.ok());
  AddPhoto("A.jpg", "d");
  for (const char* text : {"", "<other/>", "<qx><show/></qx>", "<qx><images></images></qx>"}) {
    UseTemplate(text);
    EXPECT_EQ(Generate(), "old") << text;
    EXPECT_EQ(status_.code(), ERROR_INVALID_DATA) << text;
  }
  // A style the configuration does not name has no second fall-back when
  // base_meta.xml is missing from the template folders.
  UseTemplate(kTemplate);
  show_.style_id = "unknown";
  EXPECT_EQ(Generate(), "old");
  EXPECT_EQ(status_.code(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(work_.Join("templates/base_meta.xml")).ok());
  EXPECT_EQ(Generate(), "old");  // a folder is not a template
  EXPECT_EQ(status_.code(), ERROR_FILE_NOT_FOUND);
  show_.style_id = "test";
  FaultInjectingFileSystem denied;
  denied.DenyAccess("test.xml");
  EXPECT_EQ(Generate(denied), "old");
  EXPECT_EQ(status_.code(), ERROR_ACCESS_DENIED);
  show_.output_path = work_.Join("missing/");
  EXPECT_EQ(Generate(), "old");
  EXPECT_EQ(status_.code(), ERROR_PATH_NOT_FOUND);
  show_.output_path = out_;
  EXPECT_NE(Generate(), "old");
  EXPECT_TRUE(status_.ok());
}

TEST_F(MetaXmlTest, TheDefaultStyleReadsBackThroughItsOwnVocabulary) {
  std::string base;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(),
                            std::string(TAVIRELLE_SOURCE_DIR) + "/templates/base_meta.xml", &base)
                  .ok());
  UseTemplate(base);
  show_.title = "Summer";
  show_.music_path = "song.mp3";
  AddPhoto("A.jpg", "d");
  std::string text = Generate();
  EXPECT_NE(text.find("<title><![CDATA[Summer]]></title>"), std::string::npos) << text;
  EXPECT_NE(text.find("<music file=\"song.mp3\" />"), std::string::npos) << text;
  EXPECT_EQ(text.find("<titles"), std::string::npos) << text;
  EXPECT_EQ(text.find("%"), std::string::npos) << text;
}

// meta.xml is a file other programs read and that holds the user's last
// saved show. It is written to a new file that then replaces the old one,
// so with every file operation failing in turn it holds the previous text
// or the complete new one, never a cut one, and no scratch file is left.
TEST_F(MetaXmlTest, EveryOperationFailingInTurnKeepsOldOrNewText) {
  UseTemplate(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><qx><show><title>"
      "%SHOW_TITLE%</title></show><images><image/></images></qx>");
  AddPhoto("a.jpg", "");
  show_.title = "Old title";
  const std::string old_text = Generate();
  ASSERT_NE(old_text.find("Old title"), std::string::npos) << old_text;

  FaultInjectingFileSystem faulty;
  show_.title = "New title";
  const std::string new_text = Generate(faulty);
  const uint64_t total = faulty.operations();
  ASSERT_NE(new_text.find("New title"), std::string::npos);
  ASSERT_GT(total, 3u);

  for (uint64_t n = 1; n <= total + 1; ++n) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), out_ + "meta.xml", old_text).ok());
    faulty.Reset();
    faulty.FailOperation(n, ERROR_DISK_FULL);
    std::string now = Generate(faulty);
    EXPECT_TRUE(now == old_text || now == new_text)
        << "operation " << n << " of " << total << " left " << now.size() << " bytes";
    // Success is reported exactly when the new text arrived.
    EXPECT_EQ(status_.ok(), now == new_text) << "operation " << n;
    std::vector<FindData> scratch;
    EXPECT_FALSE(DefaultFileSystem().Find(out_ + "meta.xml.~*", &scratch).ok())
        << "operation " << n;
  }
}

TEST(MetaXmlIsOutOfDate, TheShowOrTheLastPhotoAskedDecides) {
  struct Case {
    bool show_changed;
    std::vector<int32_t> photos;
    bool out_of_date;
    size_t asked;  // how many photos are read, first to last
  } cases[] = {
      {true, {}, true, 0},
      {false, {}, false, 0},
      {false, {0, 0}, false, 2},
      {false, {0, 1}, true, 2},
      {false, {7}, true, 1},         // any value other than 0 is a change
      {false, {1, 0, 0}, true, 1},   // the first 1 ends the search
      {false, {0, 1, 7}, true, 2},
      {false, {7, 0}, false, 2},     // only the last photo asked counts
      {true, {0, 1}, true, 0},       // a changed show reads no photo
  };
  for (const auto& c : cases) {
    std::vector<size_t> asked;
    bool out_of_date = MetaXmlIsOutOfDate(c.show_changed, c.photos.size(), [&](size_t i) {
      asked.push_back(i);
      return c.photos[i];
    });
    EXPECT_EQ(out_of_date, c.out_of_date) << c.show_changed << " with " << c.photos.size();
    std::vector<size_t> in_order(c.asked);
    for (size_t i = 0; i < c.asked; ++i) in_order[i] = i;
    EXPECT_EQ(asked, in_order) << c.show_changed << " with " << c.photos.size();
  }
}

TEST(TemplateSelector, MapsStylesThroughTheConfiguration) {
  TempDir dir;
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join("config.xml"),
                             "<config><templates><mystyle>mystyle.xml</mystyle>"
                             "<empty/></templates></config>")
                  .ok());
  CTemplateSelector selector(DefaultFileSystem(), {dir.Join("config.xml"), {}});
  EXPECT_EQ(selector.TemplateFileFor("mystyle"), "mystyle.xml");
  EXPECT_EQ(selector.TemplateFileFor("MyStyle"), "base_meta.xml");
  EXPECT_EQ(selector.TemplateFileFor("other"), "base_meta.xml");
  EXPECT_EQ(selector.TemplateFileFor("empty"), "");
  CTemplateSelector missing(DefaultFileSystem(), {dir.Join("none.xml"), {}});
  EXPECT_EQ(missing.TemplateFileFor(""), "base_meta.xml");
}

TEST(TemplateSelector, TakesEachTemplateFromTheFirstFolderHoldingIt) {
  TempDir dir;
  for (const char* folder : {"first", "second"}) {
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join(folder)).ok());
  }
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("first/a.xml"), "first a").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("second/a.xml"), "second a").ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir.Join("second/base_meta.xml"), "second base").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("config.xml"),
                             "<config><templates><a>a.xml</a><gone>gone.xml</gone>"
                             "</templates></config>")
                  .ok());
  CTemplateSelector selector(DefaultFileSystem(),
                             {dir.Join("config.xml"), {dir.Join("first/"), dir.Join("second/")}});
  EXPECT_EQ(selector.TemplateTextFor("a"), "first a");
  EXPECT_EQ(selector.TemplateTextFor("other"), "second base");
  EXPECT_EQ(selector.TemplateTextFor("gone"), "");
  CTemplateSelector nowhere(DefaultFileSystem(), {dir.Join("config.xml"), {}});
  EXPECT_EQ(nowhere.TemplateTextFor("a"), "");
}

TEST(ReadTextFile, StopsAtNulHonoursLimitsAndFileUrls) {
  TempDir dir;
  FileSystem& fs = DefaultFileSystem();
  ASSERT_TRUE(
      SaveTextToFile(DefaultFileSystem(), dir.Join("a.xml"), std::string("abc\0def", 7)).ok());
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join("b.xml"), "0123456789").ok());
  auto read = [&fs](const std::string& path, int max_length) {
    std::string text = "stale";
    Status status = ReadTextFile(fs, path, max_length, &text);
    return status.ok() ? text : "failed: " + std::to_string(status.code()) + " " + text;
  };
  EXPECT_EQ(read(dir.Join("a.xml"), -1), "abc");
  EXPECT_EQ(read(dir.Join("b.xml"), 4), "0123");
  EXPECT_EQ(read(dir.Join("b.xml"), 40), "0123456789");
  // A file URL names a drive; the folder's path has one on Windows only.
  const std::string b = dir.Join("b.xml");
  EXPECT_EQ(read("file:///" + std::string(b.size() > 1 && b[1] == ':' ? "" : "C:") + b, -1),
            "0123456789");
  EXPECT_EQ(read(dir.Join("missing.xml"), -1), "failed: 2 ");
}

}  // namespace

}  // namespace tavirelle
