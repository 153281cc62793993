// The data the player page is built from, read from crafted show descriptions.
#include "api/player_show.h"

#include <set>

#include "gtest/gtest.h"

namespace tavirelle {

namespace {

std::string Meta(const std::string& show, const std::string& images) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx version=\"1\">\n<show>" + show +
         "</show>\n<images>" + images + "</images>\n</qx>\n";
}

PlayerShow Read(const std::string& images, const std::string& show = "") {
  PlayerShow result;
  EXPECT_TRUE(ReadPlayerShow(Meta(show, images), &result));
  return result;
}

TEST(PlayerDataTest, ShowTextsAreDecodedAsStored) {
  PlayerShow show = Read("", "<title><![CDATA[Caf\xC3\xA9 &amp; Co %2B+friends]]></title>"
                             "<createdby>Ana &amp; Tom</createdby><starring/>");
  EXPECT_EQ(show.title, "Caf\xC3\xA9 & Co + friends");
  EXPECT_EQ(show.created_by, "Ana & Tom");
  EXPECT_EQ(show.starring, "");
}

TEST(PlayerDataTest, DescriptionsThatAreNoShowAreRefused) {
  PlayerShow show;
  EXPECT_FALSE(ReadPlayerShow("", &show));
  EXPECT_FALSE(ReadPlayerShow("<other><images/></other>", &show));
  EXPECT_FALSE(ReadPlayerShow("<qx><images>", &show));
  EXPECT_TRUE(ReadPlayerShow("<qx/>", &show));
  EXPECT_TRUE(show.slides.empty());
}

TEST(PlayerDataTest, MissingAttributesTakeDefaults) {
  PlayerShow show = Read("<image onlineFilename=\"a.jpg\"/><image/><note/>");
  ASSERT_EQ(show.slides.size(), 2u);
  const PlayerSlide& slide = show.slides[0];
  EXPECT_EQ(slide.local, "a.jpg");
  EXPECT_FALSE(slide.video);
  EXPECT_EQ(slide.rotation, 0);
  EXPECT_EQ(slide.duration, 5);
  EXPECT_FALSE(slide.crossfade);
  EXPECT_EQ(slide.caption, "");
  EXPECT_EQ(slide.width, 800);
  EXPECT_EQ(slide.height, 600);
  EXPECT_FALSE(slide.music.has_value());
  // An image without a file still gets its slide, which says it is missing.
  EXPECT_EQ(show.slides[1].local, "");
}

TEST(PlayerDataTest, TemplateValuesAreRead) {
  PlayerShow show = Read(
      "<image onlineFilename=\"a.jpg\" transition=\"crossfade\" duration=\"2.5\" "
      "exif_date=\"2026:06:21 20:45:10\" display_date=\"\" playback_width=\"1024\">"
      "<music file=\"song.mp3\" volume=\"80\"/></image>"
      "<image onlineFilename=\"b.jpg\" transition=\"cut\" duration=\"-3\" "
      "exif_date=\"2026:06:21 20:45:10\" display_date=\"Summer\"><music file=\"x.mp3\" "
      "volume=\"250\"/></image>"
      "<image duration=\"0.01\"><onlineFilename>c.jpg</onlineFilename><music volume=\"5\"/>"
      "</image>");
  ASSERT_EQ(show.slides.size(), 3u);
  EXPECT_TRUE(show.slides[0].crossfade);
  EXPECT_EQ(show.slides[0].duration, 2.5);
  EXPECT_EQ(show.slides[0].caption, "2026-06-21 20:45");
  EXPECT_EQ(show.slides[0].width, 1024);
  ASSERT_TRUE(show.slides[0].music.has_value());
  EXPECT_EQ(show.slides[0].music->local, "song.mp3");
  EXPECT_EQ(show.slides[0].music->volume, 80);
  EXPECT_FALSE(show.slides[1].crossfade);
  EXPECT_EQ(show.slides[1].duration, 5);
  EXPECT_EQ(show.slides[1].caption, "Summer");
  EXPECT_EQ(show.slides[1].music->volume, 100);
  EXPECT_EQ(show.slides[2].local, "c.jpg");
  EXPECT_EQ(show.slides[2].duration, 0.5);
  // A music element without a file starts no music.
  EXPECT_FALSE(show.slides[2].music.has_value());
}

// Music and clip art are read in either form, as every reader of a
// description reads them; the player once took music only as attributes.
TEST(PlayerDataTest, MusicAndClipsGivenAsElementsAreRead) {
  PlayerShow show = Read(
      "<image onlineFilename=\"a.jpg\"><music><file>song.mp3</file><volume>30</volume></music>"
      "<clips><clip><file>star.png</file><scale>2</scale></clip></clips></image>");
  ASSERT_EQ(show.slides.size(), 1u);
  ASSERT_TRUE(show.slides[0].music.has_value());
  EXPECT_EQ(show.slides[0].music->local, "song.mp3");
  EXPECT_EQ(show.slides[0].music->volume, 30);
  ASSERT_EQ(show.slides[0].clips.size(), 1u);
  EXPECT_EQ(show.slides[0].clips[0].local, "star.png");
  EXPECT_EQ(show.slides[0].clips[0].scale, 2);
}

TEST(PlayerDataTest, RotationsAreQuarterTurns) {
  const std::pair<const char*, int> cases[] = {
      {"0", 0},    {"90", 90},   {"180", 180}, {"270", 270}, {"-90", 270}, {"450", 90},
      {"45", 0},   {"abc", 0},   {"", 0},      {"90.5", 0},  {"1e300", 0}, {"nan", 0},
      {" 90", 90}, {"90deg", 0},
  };
  for (const auto& [text, degrees] : cases) {
    PlayerShow show =
        Read("<image onlineFilename=\"a.jpg\" rotation=\"" + std::string(text) + "\"/>");
    EXPECT_EQ(show.slides[0].rotation, degrees) << text;
  }
}

TEST(PlayerDataTest, LocalNamesStayInsideThePlayerFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.jpg", "a.jpg"},
      {"\\sub\\a.jpg", "sub/a.jpg"},
      {"file:///C:/music/song.mp3", "song.mp3"},
      {"C:\\music\\song.mp3", "song.mp3"},
      {"/etc/passwd", "etc/passwd"},
      {"..\\..\\evil.jpg", "evil.jpg"},
      {"sub/../../evil.jpg", "evil.jpg"},
      {"..", ""},
      {"sub/", ""},
      {"a//b.jpg", ""},
      {"", ""},
  };
  for (const auto& [stored, local] : cases) EXPECT_EQ(PlayerLocalName(stored), local) << stored;
}

TEST(PlayerDataTest, ClipsAndVideosNeverShowABrokenPicture) {
  PlayerShow show = Read(
      "<image onlineFilename=\"a.jpg\"><clips>"
      "<clip file=\"star.png\" locX=\"0.250000\" locY=\"0.750000\" scale=\"0.500000\"/>"
      "<clip file=\"spin.swf\" locX=\"400\"/>"
      "<clip file=\"gone.gif\" scale=\"-1\"/><other/></clips></image>"
      "<image onlineFilename=\"movie.swf\" isVideo=\"1\"/>"
      "<image onlineFilename=\"film.jpg\" isVideo=\"1\"/>"
      "<image onlineFilename=\"gone.jpg\"/>");
  ASSERT_EQ(show.slides.size(), 4u);
  ASSERT_EQ(show.slides[0].clips.size(), 3u);
  const PlayerClip& star = show.slides[0].clips[0];
  EXPECT_TRUE(star.picture);
  EXPECT_EQ(star.x, 0.25);
  EXPECT_EQ(star.y, 0.75);
  EXPECT_EQ(star.scale, 0.5);
  EXPECT_FALSE(show.slides[0].clips[1].picture);
  EXPECT_EQ(show.slides[0].clips[1].x, 400);
  EXPECT_EQ(show.slides[0].clips[1].y, 0.5);
  EXPECT_EQ(show.slides[0].clips[2].scale, 1.0);
  EXPECT_TRUE(show.slides[1].video);
  EXPECT_TRUE(show.slides[2].video);

  std::set<std::string> present = {"a.jpg", "star.png", "spin.jpg", "__w133_h100_movie.jpg",
                                    "__w133_h100_a.jpg", "__w133_h100_gone.jpg"};
  std::set<std::string> wanted;
  for (const PlayerSourceFile& file : PlayerSourceFiles(show)) wanted.insert(file.local);
  for (const std::string& name : present) EXPECT_TRUE(wanted.count(name)) << name;
  EXPECT_FALSE(wanted.count("movie.swf"));  // nothing in the page can use it

  ResolvePlayerFiles(&show, [&](const std::string& local) { return present.count(local) > 0; });
  EXPECT_EQ(show.slides[0].shown, "a.jpg");
  EXPECT_EQ(show.slides[0].thumbnail, "__w133_h100_a.jpg");
  EXPECT_EQ(show.slides[0].clips[0].shown, "star.png");
  EXPECT_EQ(show.slides[0].clips[1].shown, "spin.jpg");  // the clip's still
  EXPECT_EQ(show.slides[0].clips[2].shown, "");          // a placeholder frame
  EXPECT_EQ(show.slides[1].shown, "__w133_h100_movie.jpg");
  EXPECT_FALSE(show.slides[1].missing);
  EXPECT_EQ(show.slides[2].shown, "");  // a neutral frame
  EXPECT_TRUE(show.slides[3].missing);
  EXPECT_EQ(show.slides[3].thumbnail, "");
}

TEST(PlayerDataTest, PackageNamesOfThumbnails) {
  PlayerShow show = Read("<image onlineFilename=\"sub/a.jpg\"/><image onlineFilename=\"m.swf\"/>");
  std::vector<PlayerSourceFile> files = PlayerSourceFiles(show);
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0].in_package, "sub\\a.jpg");
  EXPECT_EQ(files[1].local, "__w133_h100_a.jpg");
  EXPECT_EQ(files[1].in_folder, "__w133_h100_a.jpg");
  EXPECT_EQ(files[1].in_package, "w133\\h100\\a.jpg");
  EXPECT_EQ(files[2].local, "m.jpg");
  EXPECT_EQ(files[3].in_package, "w133\\h100\\m.jpg");
}

// No text of a show may end the data's script element or become markup.
TEST(PlayerDataTest, HostileTextsStayData) {
  const std::string hostile = "</script><script>alert(1)</script><!-- & \"q\" \\ \x01";
  PlayerShow show = Read("<image onlineFilename=\"x&lt;/script&gt;.jpg\" display_date=\"" +
                             std::string("&lt;/SCRIPT&gt;") + "\"/>",
                         "<title><![CDATA[" + hostile + "]]></title>"
                         "<createdby>@PLAYER_SCRIPT@</createdby>");
  EXPECT_EQ(show.title, hostile);
  std::string json = PlayerDataJson(show);
  EXPECT_EQ(json.find_first_of("<>&"), std::string::npos) << json;
  EXPECT_NE(json.find("\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"), std::string::npos);
  EXPECT_NE(json.find("\\\"q\\\" \\\\ \\u0001"), std::string::npos);
}

}  // namespace

}  // namespace tavirelle
