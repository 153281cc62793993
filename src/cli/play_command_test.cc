// tavirelle play: the player folder it writes, and the page played in a real
// browser (Chromium, headless) driven by key presses.
#include <unistd.h>

#include <cstdlib>

#include "cli/show_command_fixture.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

std::string SamplePhoto(const std::string& name) {
  std::string program = TAVIRELLE_COMMAND_PATH;
  return program.substr(0, program.rfind('/') + 1) + "sample-photos/" + name;
}

std::string Chromium() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

class PlayCommandTest : public ShowCommandTest {
 protected:
  // A show of the sample photos: a name that needs encoding in a URL, turned
  // pictures, a clip-art picture and one that is not, a missing photo, a
  // video item, music, and show texts with markup characters and accents.
  std::string MakeSampleShow() {
    std::string folder = dir_.Join("show/");
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(folder));
    const std::pair<const char*, const char*> copies[] = {
        {"hills.jpg", "H\xFCgel & Meer #1.jpg"},  // the file system takes code-page names
        {"hills.jpg", "__w133_h100_H\xFCgel & Meer #1.jpg"},
        {"sunset.jpg", "sunset.jpg"},
        {"sunset.jpg", "__w133_h100_sunset.jpg"},
        {"lighthouse.jpg", "lighthouse.jpg"},
        {"meadow.jpg", "meadow.jpg"},
    };
    for (const auto& [from, to] : copies) {
      EXPECT_TRUE(DefaultFileSystem().CopyFile(SamplePhoto(from), folder + to, IfExists::kFail))
          << from;
    }
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "song.mp3", "not really music"));
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "movie.swf", "FWS"));
    EXPECT_TRUE(WriteWholeFile(
        DefaultFileSystem(), folder + "meta.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx version=\"1\">\n<show>"
        "<title><![CDATA[\xC3\x89t\xC3\xA9 \xC3\xA0 C\xC3\xA1"
        "diz: sea & sky <2026>]]></title>"
        "<createdby><![CDATA[Ana+%26+Tom]]></createdby>"
        "<starring><![CDATA[Hills, the sun & a "
        "lighthouse]]></starring><icon></icon></show>\n<images>\n"
        "<image transition=\"crossfade\" duration=\"5\" exif_date=\"2026:06:22 10:15:00\" "
        "rotation=\"0\" onlineFilename=\"H\xC3\xBCgel &amp; Meer #1.jpg\" "
        "display_date=\"&lt;/script&gt;&lt;b&gt;Summer&lt;/b&gt; 2026\"><music file=\"song.mp3\" "
        "volume=\"60\"/></image>\n"
        "<image transition=\"crossfade\" duration=\"5\" exif_date=\"2026:06:21 20:45:10\" "
        "rotation=\"90\" onlineFilename=\"sunset.jpg\" display_date=\"\"><clips>"
        "<clip file=\"lighthouse.jpg\" locX=\"0.780000\" locY=\"0.250000\" scale=\"0.300000\"/>"
        "</clips></image>\n"
        "<image transition=\"crossfade\" duration=\"5\" onlineFilename=\"gone.jpg\"/>\n"
        "<image duration=\"5\" onlineFilename=\"movie.swf\" isVideo=\"1\" videoLength=\"12\"/>\n"
        "<image transition=\"crossfade\" duration=\"5\" rotation=\"45\" "
        "onlineFilename=\"meadow.jpg\" display_date=\"Late summer\"><clips>"
        "<clip file=\"spin.swf\" locX=\"0.5\" locY=\"0.5\" scale=\"1\"/></clips></image>\n"
        "</images>\n</qx>\n"));
    return folder;
  }

  // Writes the player of the sample show folder (a package cannot lack a
  // photo); returns the player folder.
  std::string WriteSamplePlayer() {
    std::string player = dir_.Join("player");
    CommandRun run = Tavirelle("play " + Quoted(MakeSampleShow()) + " --out " + Quoted(player));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "missing: gone.jpg\nimages: 5\nplayer: " + player + "/index.html\n");
    return player + "/";
  }

  // Runs headless Chromium on the page with `keys` pressed at load; returns
  // what it printed (the DOM with --dump-dom).
  std::string Browse(const std::string& page, const std::string& keys, const std::string& mode) {
    std::string out = dir_.Join("browser.txt");
    std::string command =
        "timeout 120 " + chromium_ +
        " --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run"
        " --disable-extensions"
        " --disable-background-networking --disable-component-update --disable-default-apps"
        " --disable-sync --mute-audio --hide-scrollbars --force-prefers-reduced-motion"
        " --window-size=1280,720 --virtual-time-budget=1500 --user-data-dir=" +
        Quoted(dir_.Join("profile")) + " " + mode + " " +
        Quoted("file://" + page + (keys.empty() ? "" : "#keys=" + keys)) + " >" + Quoted(out) +
        " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Read(out);
  }

  // The markup of the slide on show, from a dumped DOM.
  static std::string CurrentLayer(const std::string& dom) {
    size_t start = dom.find("<div class=\"layer current");
    if (start == std::string::npos) return "<no current slide>";
    size_t end = std::min(dom.find("<div class=\"layer", start + 1), dom.find("id=\"controls\""));
    return dom.substr(start, end - start);
  }

  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  void RequireChromium() {
    chromium_ = Chromium();
    if (chromium_.empty()) {
      GTEST_SKIP() << "chromium is not installed (scripts/install-deps installs it): "
                      "the player was not tested in a browser";
    }
  }

  std::string chromium_;
};

TEST_F(PlayCommandTest, BrowserPlaysTheShowWithKeys) {
  RequireChromium();
  if (IsSkipped()) return;
  std::string player = WriteSamplePlayer();
  for (const char* name : {"H\xFCgel & Meer #1.jpg", "__w133_h100_sunset.jpg",
                           "lighthouse.jpg", "song.mp3", "meta.xml"}) {
    EXPECT_TRUE(Exists(player + name)) << name;
  }
  std::string page = player + "index.html";

  // The title screen and the first photo, whose name needs encoding in its
  // URL, loaded; Space starts the show and its music.
  std::string dom = Browse(page, "ArrowRight,Space", "--dump-dom");
  EXPECT_TRUE(Has(dom, "<h1 id=\"show-title\">\xC3\x89t\xC3\xA9 \xC3\xA0 C\xC3\xA1"
                       "diz: sea &amp; sky &lt;2026&gt;</h1>")) << dom;
  EXPECT_TRUE(Has(dom, "<span class=\"value\">Ana &amp; Tom</span>"));
  EXPECT_TRUE(Has(dom, "<span class=\"value\">Hills, the sun &amp; a lighthouse</span>"));
  EXPECT_TRUE(Has(dom, "data-position=\"1\" data-playing=\"true\" data-music=\"song.mp3\""));
  EXPECT_TRUE(Has(dom, "<audio id=\"music\" preload=\"auto\" src=\"song.mp3\">"));
  std::string slide = CurrentLayer(dom);
  EXPECT_TRUE(Has(slide, "data-state=\"shown\"")) << slide;
  EXPECT_TRUE(Has(slide, "src=\"H%C3%BCgel%20%26%20Meer%20%231.jpg\"")) << slide;
  EXPECT_TRUE(Has(slide, "<span>&lt;/script&gt;&lt;b&gt;Summer&lt;/b&gt; 2026</span>")) << slide;
  EXPECT_FALSE(Has(dom, "<b>Summer"));
  EXPECT_TRUE(Has(dom, "src=\"__w133_h100_H%C3%BCgel%20%26%20Meer%20%231.jpg\""));

  // The second photo turned a quarter, with its clip and its camera date; the
  // music goes on.
  dom = Browse(page, "ArrowRight,ArrowRight", "--dump-dom");
  EXPECT_TRUE(Has(dom, "data-position=\"2\" data-playing=\"false\" data-music=\"song.mp3\""));
  slide = CurrentLayer(dom);
  EXPECT_TRUE(Has(slide, "<div class=\"layer current fading shown\"")) << slide;  // crossfade
  EXPECT_TRUE(Has(slide, "data-file=\"sunset.jpg\" data-state=\"shown\"")) << slide;
  EXPECT_TRUE(Has(slide, "data-rotation=\"90\" src=\"sunset.jpg\"")) << slide;
  EXPECT_TRUE(Has(slide, "rotate(90deg)")) << slide;
  EXPECT_TRUE(Has(slide, "class=\"clip\"")) << slide;
  EXPECT_TRUE(Has(slide, "src=\"lighthouse.jpg\"")) << slide;
  EXPECT_TRUE(Has(slide, "<span>2026-06-21 20:45</span>")) << slide;

  // Past the end and back: the missing photo's slide says so.
  dom = Browse(page, "ArrowRight,ArrowRight,ArrowRight,ArrowRight,ArrowRight,ArrowRight,"
                     "ArrowLeft,ArrowLeft", "--dump-dom");
  EXPECT_TRUE(Has(dom, "data-position=\"3\""));
  slide = CurrentLayer(dom);
  EXPECT_TRUE(Has(slide, "data-state=\"missing\"")) << slide;
  EXPECT_TRUE(Has(slide, "gone.jpg is missing")) << slide;
}

TEST_F(PlayCommandTest, BrowserScreenshotsOfTitleAndSecondPhoto) {
  RequireChromium();
  if (IsSkipped()) return;
  std::string page = WriteSamplePlayer() + "index.html";
  std::string shots = TAVIRELLE_SCREENSHOT_DIR;
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), shots));
  for (const auto& [keys, name] : {std::pair<std::string, std::string>{"", "title.png"},
                                   {"ArrowRight,ArrowRight", "second-photo.png"}}) {
    std::string file = shots + name;
    DefaultFileSystem().DeleteFile(file);
    Browse(page, keys, "--screenshot=" + Quoted(file));
    std::string png = Read(file);
    EXPECT_EQ(png.substr(0, 4), "\x89PNG") << name;
    EXPECT_GT(png.size(), 20000u) << name;  // a picture, not a blank page
  }
}

TEST_F(PlayCommandTest, FolderPlayerHoldsWhatThePageUses) {
  std::string folder = MakeShowFolder();
  std::string default_player = dir_.Join("My Show-player");
  CommandRun run = Tavirelle("play " + Quoted(folder));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "images: 2\nplayer: " + default_player + "/index.html\n");
  for (const char* name : {"photo.jpg", "__w133_h100_photo.jpg", "meta.xml", "index.html"}) {
    EXPECT_TRUE(Exists(default_player + "/" + name)) << name;
  }
  // Files the page cannot use are not copied.
  EXPECT_FALSE(Exists(default_player + "/clip.swf"));
  EXPECT_FALSE(Exists(default_player + "/notes.txt"));
  std::string page = Read(default_player + "/index.html");
  EXPECT_TRUE(Has(page, "\"title\":\"Caf\xC3\xA9 \\u0026 Co!\"")) << page.substr(0, 200);
  // A second player goes into a new folder beside the first.
  run = Tavirelle("play " + Quoted(folder));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "player: " + default_player + " (2)/index.html"));
  // "." is the folder the command runs in; its player goes beside it, by its name.
  run = Tavirelle("play .", In(folder));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "player: " + default_player + " (3)/index.html")) << run.out;
  // Without a desktop browser, --open says so once the page is written.
  run = Tavirelle("play " + Quoted(folder) + " --open", Env({"PATH=/nonexistent"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "cannot open " + default_player + " (4)/index.html: no desktop browser"))
      << run.err;
  EXPECT_TRUE(Exists(default_player + " (4)/index.html"));
}

TEST_F(PlayCommandTest, DamagedPackageEntryIsLeftOut) {
  std::string package = PackShow();
  std::string bytes = Read(package);
  size_t thumb = bytes.find("thumb");
  ASSERT_NE(thumb, std::string::npos);
  bytes[thumb] = 'T';
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), package, bytes));
  std::string player = dir_.Join("out");
  CommandRun run = Tavirelle("play " + Quoted(package) + " --out " + Quoted(player));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "damaged: w133\\h100\\photo.jpg (left out: damaged in the "
                           "package (checksum mismatch))")) << run.out;
  EXPECT_FALSE(Exists(player + "/__w133_h100_photo.jpg"));
  EXPECT_TRUE(Exists(player + "/photo.jpg"));
}

TEST_F(PlayCommandTest, BadSourcesAndFoldersAreRefused) {
  std::string folder = MakeShowFolder();
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("not-a-package.tavirelle"), "hello"));
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("empty-show")));
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("busy")));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("busy/keep.txt"), "mine"));
  const std::pair<std::string, std::string> cases[] = {
      {"play " + Quoted(dir_.Join("nothing")), "no such file or folder"},
      {"play " + Quoted(dir_.Join("not-a-package.tavirelle")) + " --out " +
           Quoted(dir_.Join("out1")), "not-a-package.tavirelle: "},
      {"play " + Quoted(dir_.Join("empty-show")) + " --out " + Quoted(dir_.Join("out2")),
       "no meta.xml in the show folder"},
      {"play " + Quoted(folder) + " --out " + Quoted(dir_.Join("busy")),
       "is not an empty folder"},
      {"play " + Quoted(folder) + " --speed 2", "unknown option --speed"},
  };
  for (const auto& [arguments, reason] : cases) {
    CommandRun run = Tavirelle(arguments);
    EXPECT_EQ(run.status, 1) << arguments;
    EXPECT_TRUE(Has(run.err, reason)) << arguments << "\n" << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(Exists(dir_.Join("out1")));
  EXPECT_FALSE(Exists(dir_.Join("out2")));
  EXPECT_EQ(Read(dir_.Join("busy/keep.txt")), "mine");
  EXPECT_EQ(Tavirelle("play").status, 2);
}

}  // namespace

}  // namespace tavirelle
