// tavirelle play: the player folder it writes, and the page played in a real
// browser (Chromium, headless) driven by key presses.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"

extern char** environ;

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
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
    const std::pair<const char*, const char*> copies[] = {
        {"hills.jpg", "H\xFCgel & Meer #1.jpg"},  // the file system takes code-page names
        {"hills.jpg", "__w133_h100_H\xFCgel & Meer #1.jpg"},
        {"sunset.jpg", "sunset.jpg"},
        {"sunset.jpg", "__w133_h100_sunset.jpg"},
        {"lighthouse.jpg", "lighthouse.jpg"},
        {"meadow.jpg", "meadow.jpg"},
    };
    for (const auto& [from, to] : copies) {
      EXPECT_TRUE(
          DefaultFileSystem().CopyFile(SamplePhoto(from), folder + to, IfExists::kFail).ok())
          << from;
    }
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "song.mp3", "not really music").ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "movie.swf", "FWS").ok());
    EXPECT_TRUE(
        WriteWholeFile(
            DefaultFileSystem(), folder + "meta.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx version=\"1\">\n<show>"
            "<title><![CDATA[\xC3\x89t\xC3\xA9 \xC3\xA0 C\xC3\xA1"
            "diz: sea & sky <2026>]]></title>"
            "<createdby><![CDATA[Ana+%26+Tom]]></createdby>"
            "<starring><![CDATA[Hills, the sun & a "
            "lighthouse]]></starring><icon></icon></show>\n<images>\n"
            "<image transition=\"crossfade\" duration=\"5\" exif_date=\"2026:06:22 10:15:00\" "
            "rotation=\"0\" onlineFilename=\"H\xC3\xBCgel &amp; Meer #1.jpg\" "
            "display_date=\"&lt;/script&gt;&lt;b&gt;Summer&lt;/b&gt; 2026\"><music "
            "file=\"song.mp3\" "
            "volume=\"60\"/></image>\n"
            "<image transition=\"crossfade\" duration=\"5\" exif_date=\"2026:06:21 20:45:10\" "
            "rotation=\"90\" onlineFilename=\"sunset.jpg\" display_date=\"\"><clips>"
            "<clip file=\"lighthouse.jpg\" locX=\"0.780000\" locY=\"0.250000\" scale=\"0.300000\"/>"
            "</clips></image>\n"
            "<image transition=\"crossfade\" duration=\"5\" onlineFilename=\"gone.jpg\"/>\n"
            "<image duration=\"5\" onlineFilename=\"movie.swf\" isVideo=\"1\" "
            "videoLength=\"12\"/>\n"
            "<image transition=\"crossfade\" duration=\"5\" rotation=\"45\" "
            "onlineFilename=\"meadow.jpg\" display_date=\"Late summer\"><clips>"
            "<clip file=\"spin.swf\" locX=\"0.5\" locY=\"0.5\" scale=\"1\"/></clips></image>\n"
            "</images>\n</qx>\n")
            .ok());
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

  // Runs `script` in the page once it has loaded, in headless Chromium;
  // returns what the script handed to report(text).
  std::string Probe(const std::string& page, const std::string& script) {
    std::string html = Read(page);
    size_t end = html.rfind("</body>");
    EXPECT_NE(end, std::string::npos);
    std::string probe = page.substr(0, page.rfind('/') + 1) + "probe.html";
    EXPECT_TRUE(
        WriteWholeFile(
            DefaultFileSystem(), probe,
            html.substr(0, end) +
                "<pre id=\"probe\"></pre><script>(function () {\n"
                "function report(text) { document.getElementById('probe').textContent = text; }\n"
                "window.addEventListener('load', function () {\n" +
                script + "\n}); })();</script>" + html.substr(end))
            .ok());
    std::string dom = Browse(probe, "", "--dump-dom");
    DefaultFileSystem().DeleteFile(probe).IgnoreError();
    size_t start = dom.find("<pre id=\"probe\">");
    if (start == std::string::npos) return "<no probe>";
    start += 16;
    return dom.substr(start, dom.find("</pre>", start) - start);
  }

  // The names in a folder of any script, "." and ".." left out, sorted;
  // "<none>" when the folder is not there.
  static std::string NamesIn(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return "<none>";
    std::vector<std::string> names;
    while (struct dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : " ") + name;
    return list;
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
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), shots).ok());
  for (const auto& [keys, name] : {std::pair<std::string, std::string>{"", "title.png"},
                                   {"ArrowRight,ArrowRight", "second-photo.png"}}) {
    std::string file = shots + name;
    DefaultFileSystem().DeleteFile(file).IgnoreError();
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
  // (Printed by the folder's own name, which under a TMPDIR outside the code
  // page is not the alias the test reaches it by.)
  EXPECT_TRUE(Has(run.out, "/My Show-player (3)/index.html\n")) << run.out;
  EXPECT_TRUE(Exists(default_player + " (3)/index.html"));
  // Without a desktop browser, --open says so once the page is written.
  run = Tavirelle("play " + Quoted(folder) + " --open", Env({"PATH=/nonexistent"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "cannot open " + default_player + " (4)/index.html: no desktop browser"))
      << run.err;
  EXPECT_TRUE(Exists(default_player + " (4)/index.html"));
}

// Each damaged entry is left out and named once; the page says the photo
// is missing.
TEST_F(PlayCommandTest, DamagedPackageEntryIsLeftOut) {
  std::string package = PackShow();
  std::string bytes = Read(package);
  for (const std::string& part : {std::string("thumb"), std::string(1000, 'p')}) {
    size_t at = bytes.find(part);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
  }
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), package, bytes).ok());
  std::string player = dir_.Join("out");
  CommandRun run = Tavirelle("play " + Quoted(package) + " --out " + Quoted(player));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "damaged: photo.jpg (left out: damaged in the package (checksum mismatch))\n"
            "damaged: w133\\h100\\photo.jpg (left out: damaged in the package (checksum "
            "mismatch))\n"
            "missing: photo.jpg\nimages: 2\nplayer: " +
                player + "/index.html\n");
  EXPECT_EQ(NamesIn(player), "index.html meta.xml");
}

TEST_F(PlayCommandTest, BadSourcesAndFoldersAreRefused) {
  std::string folder = MakeShowFolder();
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("not-a-package.tavirelle"), "hello").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("empty-show")).ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("busy")).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("busy/keep.txt"), "mine").ok());
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
    EXPECT_EQ(run.status, Has(reason, "option") ? 2 : 1) << arguments;
    EXPECT_TRUE(Has(run.err, reason)) << arguments << "\n" << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(Exists(dir_.Join("out1")));
  EXPECT_FALSE(Exists(dir_.Join("out2")));
  EXPECT_EQ(Read(dir_.Join("busy/keep.txt")), "mine");
  EXPECT_EQ(Tavirelle("play").status, 2);
}

// A phone stores a portrait photo sideways and says so in its EXIF block,
// which browsers apply whatever the page asks; the page shows the stored
// picture turned by the show's rotation alone, and each strip thumbnail
// turned like its slide. A missing clip's placeholder holds its whole
// label, and the application's default music, which a show does not carry,
// is no error on the page.
TEST_F(PlayCommandTest, BrowserTurnsPicturesByTheShowsRotationAlone) {
  RequireChromium();
  if (IsSkipped()) return;
  using namespace testing_images;
  std::string folder = dir_.Join("turns/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
  ExifBuilder sideways;
  sideways.ifd0.push_back(sideways.Short(0x0112, 6));
  const std::string landscape = EncodeJpeg(64, 48);
  for (const auto& [name, bytes] :
       {std::pair<std::string, std::string>{"side.jpg", WithExif(landscape, sideways)},
        {"plain.jpg", landscape},
        {"__w133_h100_side.jpg", EncodeJpeg(32, 24)},
        {"__w133_h100_plain.jpg", EncodeJpeg(32, 24)}}) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + name, bytes).ok());
  }
  ASSERT_TRUE(
      WriteWholeFile(
          DefaultFileSystem(), folder + "meta.xml",
          "<qx><show><title>Turns</title></show><images>"
          "<image onlineFilename=\"side.jpg\" rotation=\"90\"><music file=\"default_music.mp3\"/>"
          "<clips><clip file=\"../star-outside.png\" locX=\"0.5\" locY=\"0.5\" scale=\"0.1\"/>"
          "</clips></image>"
          "<image onlineFilename=\"plain.jpg\" rotation=\"90\"/>"
          "<image onlineFilename=\"side.jpg\" rotation=\"0\"/></images></qx>")
          .ok());
  std::string player = dir_.Join("turns-player");
  CommandRun run = Tavirelle("play " + Quoted(folder) + " --out " + Quoted(player));
  ASSERT_EQ(run.status, 0) << run.err;

  // Each slide's frame, portrait (P) or landscape (L) as it stands on the
  // screen, then how far the strip turns each thumbnail.
  std::string seen = Probe(player + "/index.html", R"(
    function shape(node) {
      var r = node.getBoundingClientRect();
      return r.height > r.width ? 'P' : 'L';
    }
    var frames = '', label = '', status = '';
    function step(n) {
      if (n > 0) frames += shape(document.querySelector('.layer.current .frame'));
      if (n === 1) {
        var clip = document.querySelector('.layer.current .clip.placeholder');
        label = clip.textContent + (clip.scrollWidth <= clip.clientWidth ? ' whole' : ' cut');
        status = document.getElementById('status').textContent;
      }
      if (n === 3) {
        // How far each thumbnail is turned, from its transform's matrix.
        var turns = [];
        document.querySelectorAll('#strip img').forEach(function (img) {
          var m = new DOMMatrix(getComputedStyle(img).transform);
          turns.push((Math.round(Math.atan2(m.b, m.a) * 180 / Math.PI) + 360) % 360);
        });
        report(frames + ' ' + turns.join(',') + ' ' + label + ' [' + status + ']');
        return;
      }
      document.dispatchEvent(new KeyboardEvent('keydown', {key: 'ArrowRight'}));
      setTimeout(function () { step(n + 1); }, 200);
    }
    step(0);)");
  EXPECT_EQ(seen, "PPL 90,90,0 ../star-outside.png whole []");
}

// A link in a show folder is followed only to a regular file inside the
// folder; any other stops the run, named, before anything is written. What
// the player holds is readable by no one who could not read its source.
TEST_F(PlayCommandTest, FolderLinksStayInsideAndCopiesStayPrivate) {
  std::string folder = MakeShowFolder();
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("secret"), "not for the show").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(folder + "inner").ok());
  struct Case {
    std::string target;  // of the link standing for the photo
    std::string message;
  };
  for (const Case& c : {Case{dir_.Join("secret"), "a link to a file outside the show folder"},
                        Case{"../secret", "a link to a file outside the show folder"},
                        Case{"nowhere.jpg", "a link that leads to no file"},
                        Case{"inner", "a link to something other than a file"}}) {
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(folder + "photo.jpg").ok());
    ASSERT_EQ(::symlink(c.target.c_str(), (folder + "photo.jpg").c_str()), 0);
    std::string player = dir_.Join("player");
    CommandRun run = Tavirelle("play " + Quoted(folder) + " --out " + Quoted(player));
    EXPECT_EQ(run.status, 1) << c.target;
    EXPECT_EQ(run.err,
              "tavirelle: " + folder + "photo.jpg: " + c.message +
                  (c.message.find("link to") != std::string::npos ? "; not followed\n" : "\n"));
    EXPECT_EQ(NamesIn(player), "<none>") << c.target;
    ASSERT_EQ(::unlink((folder + "photo.jpg").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "photo.jpg", "p").ok());
  }

  // A link to a file inside is followed; a private photo and description
  // give a private player.
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "inner/thumb.jpg", "thumb").ok());
  ASSERT_TRUE(DefaultFileSystem().DeleteFile(folder + "__w133_h100_photo.jpg").ok());
  ASSERT_EQ(::symlink("inner/thumb.jpg", (folder + "__w133_h100_photo.jpg").c_str()), 0);
  ASSERT_EQ(::chmod((folder + "photo.jpg").c_str(), 0600), 0);
  ASSERT_EQ(::chmod((folder + "meta.xml").c_str(), 0640), 0);
  std::string player = dir_.Join("private");
  CommandRun run = Tavirelle("play " + Quoted(folder) + " --out " + Quoted(player));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(player + "/__w133_h100_photo.jpg"), "thumb");
  for (const auto& [name, hidden] : {std::pair<const char*, mode_t>{"photo.jpg", 0077},
                                     {"index.html", 0007},
                                     {"meta.xml", 0007},
                                     {"__w133_h100_photo.jpg", 0007},
                                     {"", 0007}}) {
    struct stat st {};
    ASSERT_EQ(::stat((player + "/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & hidden & 0444, 0u) << name << " " << std::oct << st.st_mode;
  }
}

// The description is checked as every file is: one that fails its MD5, or
// does not load, plays nothing and leaves no folder behind.
TEST_F(PlayCommandTest, ADamagedOrUnloadableDescriptionPlaysNothing) {
  std::string damaged = PackShow();
  std::string bytes = Read(damaged);
  size_t title = bytes.find("Caf");
  ASSERT_NE(title, std::string::npos);
  bytes[title] = 'K';
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), damaged, bytes).ok());
  std::string unloadable = dir_.Join("unloadable.pkg");
  ASSERT_TRUE(WriteTestPackage(unloadable,
                               {{"photo.jpg", "p"}, {"meta.xml", "<qx><images>"}, {"x.jpg", "x"}}));
  struct Case {
    std::string package, message;
  };
  for (const Case& c : {Case{damaged,
                             "the show description (meta.xml) is damaged in the package (checksum "
                             "mismatch)"},
                        Case{unloadable, "the show description (meta.xml) does not load"}}) {
    std::string player = dir_.Join("player");
    CommandRun run = Tavirelle("play " + Quoted(c.package) + " --out " + Quoted(player));
    EXPECT_EQ(run.status, 1) << c.package;
    EXPECT_EQ(run.err, "tavirelle: " + c.package + ": " + c.message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(NamesIn(player), "<none>") << c.package;
  }
}

// A file whose name cannot be a file in the player (too long, or below a
// name that is a file) is a missing slide; the page is made all the same.
TEST_F(PlayCommandTest, ANameThatCannotBeUsedIsAMissingSlide) {
  const std::string long_name = std::string(300, 'n') + ".jpg";
  std::string images;
  for (const std::string& name :
       {std::string("a.jpg"), long_name, std::string("a.jpg/b.jpg"), std::string("c.jpg")}) {
    images += "<image onlineFilename=\"" + name + "\"/>";
  }
  // Music named by a path of another machine makes no empty folders.
  images.replace(images.size() - 2, 2, "><music file=\"/home/ana/song.mp3\"/></image>");
  std::string package = dir_.Join("names.pkg");
  ASSERT_TRUE(WriteTestPackage(package, {{"meta.xml", "<qx><images>" + images + "</images></qx>"},
                                         {"a.jpg", "a"},
                                         {long_name, "long"},
                                         {"a.jpg\\b.jpg", "b"},
                                         {"c.jpg", "c"}}));
  std::string player = dir_.Join("player");
  CommandRun run = Tavirelle("play " + Quoted(package) + " --out " + Quoted(player));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected[] = {"left out: a.jpg/b.jpg (not a folder)",
                                  "left out: " + long_name + " (name too long)",
                                  "missing: " + long_name,
                                  "missing: a.jpg/b.jpg",
                                  "images: 4",
                                  "player: " + player + "/index.html"};
  std::string lines;
  for (const std::string& line : expected) lines += line + "\n";
  EXPECT_EQ(run.out, lines);
  EXPECT_EQ(NamesIn(player), "a.jpg c.jpg index.html meta.xml");
}

// A run that cannot finish (a full disk, a folder it may not create,
// another run in the folder) takes back all it made, and says why.
TEST_F(PlayCommandTest, AFailedRunLeavesNothing) {
  std::string package = PackShow();
  std::string folder = dir_.Join("My Show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("empty")).ok());
  // A file as large as the photo (100,000 bytes) cannot be written, as on
  // a full disk.
  CommandOptions full_disk;
  full_disk.file_size_limit = 64 * 1024;
  struct Case {
    std::string source, out;
    CommandOptions options;
    std::string message;
  } cases[] = {
      {folder, dir_.Join("new/player"), full_disk, dir_.Join("new/player/photo.jpg: ")},
      {package, dir_.Join("new/player"), full_disk, dir_.Join("new/player/photo.jpg: ")},
      {package, dir_.Join("empty"), full_disk, dir_.Join("empty/photo.jpg: ")},
      // No one may make a folder there (a read-only mount says so otherwise).
      {folder, "/sys/tavirelle-player", {},
       "/sys/tavirelle-player: the folder cannot be created: "},
  };
  for (const Case& c : cases) {
    CommandRun run =
        Tavirelle("play " + Quoted(c.source) + " --out " + Quoted(c.out), c.options);
    EXPECT_EQ(run.status, 1) << c.out;
    EXPECT_EQ(run.err.rfind("tavirelle: " + c.message, 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    // The cause, in words.
    std::string cause = run.err.substr(std::min(run.err.size(), 11 + c.message.size()));
    EXPECT_TRUE(cause == "disk full\n" || cause == "permission denied\n" ||
                cause == "the medium is write-protected\n")
        << run.err;
  }
  EXPECT_EQ(NamesIn(dir_.Join("new")), "<none>");
  EXPECT_EQ(NamesIn(dir_.Join("empty")), "");

  // A folder another run holds (its claim is there) is left to it.
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("empty/index.html"), "").ok());
  CommandRun run = Tavirelle("play " + Quoted(folder) + " --out " + Quoted(dir_.Join("empty")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + dir_.Join("empty") +
                         " is not an empty folder; give the player a new one\n");
  EXPECT_EQ(NamesIn(dir_.Join("empty")), "index.html");
}

// Of two runs into one new folder, one writes its player and the other
// stops; the folder never holds two shows.
TEST_F(PlayCommandTest, TwoRunsIntoOneFolderMakeOnePlayer) {
  std::string first = MakeShowFolder();
  std::string second = dir_.Join("second/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(second).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), second + "meta.xml",
                             "<qx><images><image onlineFilename=\"other.jpg\"/></images></qx>")
                  .ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), second + "other.jpg", "o").ok());
  std::string out = dir_.Join("shared");
  std::string play = Quoted(TAVIRELLE_COMMAND_PATH) + " play ";
  std::string script = "(" + play + Quoted(first) + " --out " + Quoted(out) +
                       " >/dev/null 2>&1 & a=$!; " + play + Quoted(second) + " --out " +
                       Quoted(out) + " >/dev/null 2>&1 & b=$!; wait $a; x=$?; wait $b; " +
                       "echo $x $?) >" + Quoted(dir_.Join("statuses"));
  ASSERT_EQ(std::system(script.c_str()), 0);
  std::string statuses = Read(dir_.Join("statuses"));
  EXPECT_TRUE(statuses == "0 1\n" || statuses == "1 0\n") << statuses;
  std::string names = NamesIn(out);
  EXPECT_TRUE(names == "__w133_h100_photo.jpg index.html meta.xml photo.jpg" ||
              names == "index.html meta.xml other.jpg")
      << names;
}

// Ctrl-C or SIGTERM part-way: the run stops at the next file, removes what
// it made, and ends by the signal.
TEST_F(PlayCommandTest, AnInterruptedRunRemovesWhatItMade) {
  std::string folder = dir_.Join("many/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "p.jpg", std::string(20000, 'p')).ok());
  std::string images;
  for (int i = 0; i < 3000; ++i) {
    std::string name = "p" + std::to_string(i) + ".jpg";
    ASSERT_EQ(::symlink("p.jpg", (folder + name).c_str()), 0);
    images += "<image onlineFilename=\"" + name + "\"/>";
  }
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "meta.xml",
                             "<qx><images>" + images + "</images></qx>")
                  .ok());
  for (int signal_number : {SIGINT, SIGTERM}) {
    std::string out = dir_.Join("new/player");
    std::string command = TAVIRELLE_COMMAND_PATH;
    std::vector<const char*> argv = {command.c_str(), "play",      folder.c_str(),
                                     "--out",         out.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, command.c_str(), &actions, nullptr, const_cast<char**>(argv.data()),
                          environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    // Signalled once the copying is under way: the claim and a few photos.
    for (int i = 0; i < 5000; ++i) {
      std::string names = NamesIn(out);
      if (std::count(names.begin(), names.end(), ' ') >= 4) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(::kill(pid, signal_number), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(NamesIn(dir_.Join("new")), "<none>");
  }
}

// Paths in any script reach the show and the player folder, and the default
// music given for the application's plays where the show names it.
TEST_F(PlayCommandTest, NamesInAnyScriptAndTheDefaultMusic) {
  std::string greek = dir_.Join("Καλοκαίρι");
  ASSERT_EQ(std::rename(MakeShowFolder().c_str(), greek.c_str()), 0);
  std::string meta = ReadUtf8Path(greek + "/meta.xml");
  size_t image = meta.find("<image onlineFilename=\"photo.jpg\" />");
  ASSERT_NE(image, std::string::npos);
  meta.replace(image, 36,
               "<image onlineFilename=\"photo.jpg\"><music file=\"default_music.mp3\"/>"
               "</image>");
  WriteUtf8Path(greek + "/meta.xml", meta);
  WriteUtf8Path(dir_.Join("μουσική.ogg"), "music");

  CommandRun run = Tavirelle("play " + Quoted(greek));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "images: 2\nplayer: " + greek + "-player/index.html\n");
  EXPECT_EQ(ReadUtf8Path(greek + "-player/photo.jpg"), std::string(100000, 'p'));

  std::string out = dir_.Join("播放器/新");
  run = Tavirelle("play " + Quoted(greek) + " --out " + Quoted(out) + " --default-music " +
                  Quoted(dir_.Join("μουσική.ogg")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadUtf8Path(out + "/default_music.ogg"), "music");
  std::string page = ReadUtf8Path(out + "/index.html");
  EXPECT_TRUE(Has(page,
                  "\"music\":{\"name\":\"default_music.mp3\",\"file\":\"default_music.ogg\""
                  ",\"volume\":100,\"missing\":false,\"application\":true}"))
      << page.substr(page.find("\"slides\""), 400);

  for (const std::string& missing : {dir_.Join("Χειμώνας"), dir_.Join("Χειμώνας.tavirelle")}) {
    run = Tavirelle("play " + Quoted(missing));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavirelle: " + missing + ": no such file or folder\n");
  }
  run = Tavirelle("play " + Quoted(greek) + " --out " + Quoted(dir_.Join("Φ")) +
                  " --default-music " + Quoted(dir_.Join("none.mp3")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + dir_.Join("none.mp3") + ": no such file\n");
  EXPECT_EQ(NamesIn(dir_.Join("Φ")), "<none>");
}

}  // namespace

}  // namespace tavirelle
