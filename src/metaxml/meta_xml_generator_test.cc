#include "metaxml/meta_xml_generator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "metaxml/template_selector.h"
#include "com/bstr.h"
#include "platform/file_system.h"
#include "show/clip.h"
#include "show/photo_desc.h"
#include "show/qx_helper.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"
#include "xml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

// Runs a test in a scratch current folder (where "config.xml" is looked for)
// with style templates written beside the test program (where templates are
// looked for), all removed afterwards.
class MetaXmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    ASSERT_EQ(::chdir(work_.path().c_str()), 0);
    out_ = work_.Join("out/");
    show_ = new CQXHelper();
    ScopedBstr out(BstrFromAnsi(out_));
    show_->put_OutputPath(out.get());
  }
  void TearDown() override {
    show_->Release();
    for (const auto& name : templates_) GetFileSystem()->DeleteFile(HostFolder() + name);
    ASSERT_EQ(::chdir(old_cwd_.c_str()), 0);
  }

  // Installs `text` as the template of style "test".
  void UseTemplate(const std::string& text) {
    std::string name = "metaxml_test_" + NewGuidText(false) + ".xml";
    templates_.push_back(name);
    ASSERT_TRUE(SaveTextToFile(HostFolder() + name, text));
    ASSERT_TRUE(SaveTextToFile(work_.Join("config.xml"),
                               "<config><templates><test>" + name +
                                   "</test></templates></config>"));
    SetText(&CQXHelper::put_StyleId, "test");
  }

  void SetText(HRESULT (CQXHelper::*setter)(BSTR), const std::string& ansi) {
    ScopedBstr value(BstrFromAnsi(ansi));
    ASSERT_EQ((show_->*setter)(value.get()), S_OK);
  }

  CPhotoDesc* AddPhoto(const std::string& online, const std::string& date,
                       LONG orientation = 0) {
    auto* photo = new CPhotoDesc();
    ScopedBstr a(BstrFromAnsi(online)), b(BstrFromAnsi("orig_" + online)),
        c(BstrFromAnsi(date));
    photo->put__OnlineName(a.get());
    photo->put__OriginalName(b.get());
    photo->put__PhotoDateTaken(c.get());
    photo->put_Orientation(static_cast<PhotoOrientation>(orientation));
    photo->put__IsVideo(0);
    show_->AppendPhoto(photo);
    photo->Release();
    return photo;
  }

  std::string Generate() {
    EXPECT_EQ(show_->GenerateMetaXML(), S_OK);
    std::string text;
    if (!ReadWholeFile(out_ + "meta.xml", &text)) return "<none>";
    return text;
  }

  TempDir work_;
  std::string old_cwd_;
  std::string out_;
  std::vector<std::string> templates_;
  CQXHelper* show_ = nullptr;
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
  SetText(&CQXHelper::put_Title, "T");
  SetText(&CQXHelper::put_CreatBy, "C");
  SetText(&CQXHelper::put_MusicPath, "default_music");
  AddPhoto("A.jpg", "2024:01:02 03:04:05", 1);
  AddPhoto("B.jpg", "", 4);  // no rotation for values outside 0..3
  AddPhoto("C.jpg", "x", 3);
  const std::string music = "\n\t\t\t<music file=\"m.mp3\" />";
  EXPECT_EQ(Generate(),
            Expected(Image(Attrs("A.jpg", "2024:01:02 03:04:05", "90"), music) +
                     Image(Attrs("B.jpg", "", nullptr), music) +
                     Image(Attrs("C.jpg", "x", "270"), music)));
  EXPECT_FALSE(show_->show_changed());
  for (IPhotoDesc* photo : show_->photos()) {
    LONG changed = -1;
    photo->get__Changed(&changed);
    EXPECT_EQ(changed, 0);
  }
}

TEST_F(MetaXmlTest, MusicRuleHasThreeCases) {
  UseTemplate(kTemplate);
  SetText(&CQXHelper::put_Title, "T");
  SetText(&CQXHelper::put_CreatBy, "C");
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
    SetText(&CQXHelper::put_MusicPath, c.music);
    EXPECT_EQ(Generate(), Expected(Image(Attrs("A.jpg", "d", "0"), c.children))) << c.music;
  }
}

TEST_F(MetaXmlTest, VideosKeepTheirTemplateAttributesAndClipsAreAppended) {
  UseTemplate(
      "<qx><images><image videoLength=\"9\" isVideo=\"1\" exif_date=\"t\">"
      "<clips><clip file=\"old\"/></clips></image></images></qx>");
  CPhotoDesc* video = AddPhoto("V.swf", "d", 0);
  video->put__IsVideo(1);
  CPhotoDesc* photo = AddPhoto("P.jpg", "d", 0);
  CClip* clip = new CClip();
  ScopedBstr path(u"art\\star.swf");
  clip->put_Path(path.get());
  clip->put_xPos(0.5f);
  clip->put_yPos(-1.25f);
  clip->put_scale(2.0f);
  photo->AddClip(clip);
  photo->AddClip(clip);  // the same clip twice is written twice
  clip->Release();
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
  SetText(&CQXHelper::put_Title, "A %STARRING% B");
  SetText(&CQXHelper::put_CreatBy, "C");
  SetText(&CQXHelper::put_Starring, "Star");
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
  SetText(&CQXHelper::put_Title, hostile);
  SetText(&CQXHelper::put_CreatBy, hostile);
  // A host that stores its texts form-encoded passes nothing to quote.
  SetText(&CQXHelper::put_Starring, "Summer+Trip+%26+Friends");
  AddPhoto("A.jpg", "d");
  std::string text = Generate();
  EXPECT_EQ(text.find("<evil"), std::string::npos) << text;
  EXPECT_NE(text.find("<s><![CDATA[Summer+Trip+%26+Friends]]></s>"), std::string::npos) << text;
  _tagXMLDocument document;
  ASSERT_TRUE(document.LoadText(text));
  _tagXMLNode* show = document.FindChild("qx")->FindChild("show");
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
  SetText(&CQXHelper::put_Title, "Caf\xE9 \x80");
  AddPhoto("A.jpg", "d");
  UseTemplate(body);  // no declared encoding: read as UTF-8
  std::string utf8 = Generate();
  EXPECT_NE(utf8.find("<title><![CDATA[Caf\xC3\xA9 \xE2\x82\xAC]]></title>"), std::string::npos)
      << utf8;
  UseTemplate("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>" + body);
  SetText(&CQXHelper::put_Title, "Caf\xE9 \x80");
  std::string latin = Generate();
  EXPECT_NE(latin.find("<title><![CDATA[Caf\xE9 \x80]]></title>"), std::string::npos) << latin;
  EXPECT_EQ(latin.find("encoding=\"ISO-8859-1\""), 20u);
}

TEST_F(MetaXmlTest, WritesNothingWithoutATemplateOrItsElements) {
  AddPhoto("A.jpg", "d");
  for (const char* text : {"", "<other/>", "<qx><show/></qx>", "<qx><images></images></qx>"}) {
    UseTemplate(text);
    SetText(&CQXHelper::put_Title, "T");  // marks the show changed
    EXPECT_EQ(Generate(), "<none>") << text;
    EXPECT_FALSE(show_->show_changed());
  }
  // A style the configuration does not name has no second fall-back when
  // base_meta.xml is missing beside the program.
  SetText(&CQXHelper::put_StyleId, "unknown");
  if (!PathExists(HostFolder() + "base_meta.xml")) {
    EXPECT_EQ(Generate(), "<none>");
  }
}

TEST_F(MetaXmlTest, RunsOnlyAfterAChange) {
  UseTemplate(kTemplate);
  CPhotoDesc* photo = AddPhoto("A.jpg", "d");
  // Each step starts without a meta.xml, so what it finds is what it wrote.
  auto generate_afresh = [&] {
    GetFileSystem()->DeleteFile(out_ + "meta.xml");
    EXPECT_FALSE(PathExists(out_ + "meta.xml"));
    return Generate();
  };
  ASSERT_NE(generate_afresh(), "<none>");
  EXPECT_EQ(generate_afresh(), "<none>");  // nothing changed: nothing written
  ScopedBstr date(u"Monday");
  photo->put__DisplayDate(date.get());
  EXPECT_NE(generate_afresh().find("display_date=\"Monday\""), std::string::npos);
  // Any value other than 0 counts as a change of the photo.
  photo->put__Changed(7);
  EXPECT_NE(generate_afresh(), "<none>");
  EXPECT_EQ(generate_afresh(), "<none>");
  SetText(&CQXHelper::put_Starring, "Ann");
  EXPECT_NE(generate_afresh(), "<none>");
}

TEST_F(MetaXmlTest, AShowWithoutPhotosWritesNothingButClearsItsFlag) {
  UseTemplate(kTemplate);
  ASSERT_TRUE(SaveTextToFile(out_ + "meta.xml", "old"));
  EXPECT_EQ(Generate(), "old");
  EXPECT_FALSE(show_->show_changed());
}

TEST_F(MetaXmlTest, TheDefaultStyleReadsBackThroughItsOwnVocabulary) {
  std::string base;
  ASSERT_TRUE(ReadWholeFile(std::string(TAVIRELLE_SOURCE_DIR) + "/templates/base_meta.xml", &base));
  UseTemplate(base);
  SetText(&CQXHelper::put_Title, "Summer");
  SetText(&CQXHelper::put_MusicPath, "song.mp3");
  AddPhoto("A.jpg", "d");
  std::string text = Generate();
  EXPECT_NE(text.find("<title><![CDATA[Summer]]></title>"), std::string::npos) << text;
  EXPECT_NE(text.find("<music file=\"song.mp3\" />"), std::string::npos) << text;
  EXPECT_EQ(text.find("<titles"), std::string::npos) << text;
  EXPECT_EQ(text.find("%"), std::string::npos) << text;
}

TEST(TemplateSelector, MapsStylesThroughTheConfiguration) {
  TempDir dir;
  ASSERT_TRUE(SaveTextToFile(dir.Join("config.xml"),
                             "<config><templates><mystyle>mystyle.xml</mystyle>"
                             "<empty/></templates></config>"));
  CTemplateSelector selector(dir.Join("config.xml"));
  EXPECT_EQ(selector.TemplateFileFor("mystyle"), "mystyle.xml");
  EXPECT_EQ(selector.TemplateFileFor("MyStyle"), "base_meta.xml");
  EXPECT_EQ(selector.TemplateFileFor("other"), "base_meta.xml");
  EXPECT_EQ(selector.TemplateFileFor("empty"), "");
  CTemplateSelector missing(dir.Join("none.xml"));
  EXPECT_EQ(missing.TemplateFileFor(""), "base_meta.xml");
}

TEST(ReadTextFile, StopsAtNulHonoursLimitsAndFileUrls) {
  TempDir dir;
  ASSERT_TRUE(SaveTextToFile(dir.Join("a.xml"), std::string("abc\0def", 7)));
  ASSERT_TRUE(SaveTextToFile(dir.Join("b.xml"), "0123456789"));
  EXPECT_EQ(ReadTextFile(dir.Join("a.xml"), -1), "abc");
  EXPECT_EQ(ReadTextFile(dir.Join("b.xml"), 4), "0123");
  EXPECT_EQ(ReadTextFile(dir.Join("b.xml"), 40), "0123456789");
  EXPECT_EQ(ReadTextFile("file:///C:" + dir.Join("b.xml"), -1), "0123456789");
  EXPECT_EQ(ReadTextFile(dir.Join("missing.xml"), -1), "");
}

}  // namespace

}  // namespace tavirelle
