#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <regex>
#include <thread>
#include <vector>

#include "testing/folder_names.h"
#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"

extern char** environ;

namespace tavirelle {


namespace {

class AuthorCommandTest : public ShowCommandTest {
 protected:
  std::string Photo(const std::string& name, uint32_t width = 40, uint32_t height = 30) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), path, testing_images::EncodeJpeg(width, height)).ok());
    return path;
  }
};

TEST_F(AuthorCommandTest, AuthorsAShowThatPacksAndReadsBack) {
  std::string photo = Photo("a.jpg", 400, 300);
  std::string out = dir_.Join("show");
  // Templates are looked up beside the program; the build puts the default
  // style there.
  CommandRun run = Tavirelle("author --out " + Quoted(out) +
                             " --title 'Caf\xC3\xA9 +50%!' --music none --orientation 1 " +
                             Quoted(photo) + " " + Quoted(photo));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;  // no progress bar off a terminal
  std::regex line("photo: [0-9A-F-]{36}\\.jpg 400 300 \\d{4}:\\d\\d:\\d\\d \\d\\d:\\d\\d:\\d\\d\n");
  ASSERT_EQ(run.out.size() % 2, 0u);
  EXPECT_TRUE(std::regex_match(run.out.substr(0, run.out.size() / 2), line)) << run.out;
  std::string meta = Read(out + "/meta.xml");
  EXPECT_NE(meta.find("rotation=\"90\""), std::string::npos) << meta;
  EXPECT_EQ(meta.find("<music"), std::string::npos) << meta;

  run = Tavirelle("pack " + Quoted(out) + " " + Quoted(dir_.Join("s.pkg")));
  ASSERT_EQ(run.status, 0) << run.err;
  run = Tavirelle("info " + Quoted(dir_.Join("s.pkg")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("title: Caf\xC3\xA9 +50%!\n"), std::string::npos) << run.out;
}

// Every input is checked before anything is written: one line names the
// file and the cause, and no folder is made.
TEST_F(AuthorCommandTest, BadInputIsOneLineAndNothingIsWritten) {
  std::string good = Photo("a.jpg");
  std::string text = dir_.Join("notes.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), text, "just some words").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("album.jpg")).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("file"), "x").ok());
  ASSERT_EQ(::mkfifo(dir_.Join("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("song.wav"), "RIFF").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("full")).ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("full/meta.xml"), "<qx>first show</qx>").ok());
  std::string out = " --out " + Quoted(dir_.Join("o/deeper")) + " ";
  struct Case {
    std::string arguments;
    std::string message;
    int status = 1;  // 2: wrong arguments
  } cases[] = {
      {out + Quoted(good) + " " + Quoted(dir_.Join("none.jpg")),
       dir_.Join("none.jpg") + ": no such file"},
      {out + Quoted(good) + " " + Quoted(dir_.Join("album.jpg")),
       dir_.Join("album.jpg") + ": a folder, not a picture"},
      {out + Quoted(text) + " " + Quoted(good), text + ": not a JPEG or BMP picture"},
      {out + Quoted(good) + " " + Quoted(dir_.Join("pipe")),
       dir_.Join("pipe") + ": not a regular file"},
      // Its own memory map: a file that exists but cannot be read.
      {out + Quoted(good) + " /proc/self/mem", "/proc/self/mem: cannot read it: "},
      {out + "--orientation 7 " + Quoted(good), "--orientation", 2},
      // A package would not carry it to a player.
      {out + "--music " + Quoted(dir_.Join("song.wav")) + " " + Quoted(good),
       dir_.Join("song.wav") + ": a show carries its music only as an MP3 file (.mp3)"},
      {out + "--music " + Quoted(dir_.Join("none.mp3")) + " " + Quoted(good),
       dir_.Join("none.mp3") + ": no such file"},
      {out + "--jobs 0 " + Quoted(good), "--jobs wants a whole number from 1 to 256, not '0'", 2},
      {out + "--bogus " + Quoted(good), "unknown option --bogus", 2},
      {" --out '' " + Quoted(good), "--out needs a folder name", 2},
      {" --out " + Quoted(dir_.Join("file")) + " " + Quoted(good),
       dir_.Join("file") + ": not a folder"},
      {" --out " + Quoted(dir_.Join("full")) + " " + Quoted(good),
       dir_.Join("full") + ": the folder is not empty"},
  };
  for (const auto& c : cases) {
    CommandRun run = Tavirelle("author" + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.err.rfind("tavirelle: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
  EXPECT_FALSE(Exists(dir_.Join("o")));
  EXPECT_EQ(Read(dir_.Join("full/meta.xml")), "<qx>first show</qx>");
  EXPECT_EQ(NamesIn(dir_.Join("full")), std::vector<std::string>{"meta.xml"});
  EXPECT_EQ(Tavirelle("author " + Quoted(good)).status, 2);  // no --out
}

// A phone keeps a portrait photo sideways and says how to turn it: each
// photo takes its turn from its EXIF orientation, unless --orientation sets
// one for all.
TEST_F(AuthorCommandTest, EachPhotoIsTurnedAsItsCameraSaysUnlessToldOtherwise) {
  std::vector<std::string> photos;
  for (int orientation : {1, 6, 3, 8, 0}) {
    testing_images::ExifBuilder exif;
    if (orientation != 0) exif.ifd0.push_back(exif.Short(0x0112, orientation));
    photos.push_back(dir_.Join("o" + std::to_string(orientation) + ".jpg"));
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), photos.back(),
                               testing_images::WithExif(testing_images::EncodeJpeg(40, 30), exif))
                    .ok());
  }
  for (const auto& [option, rotations] :
       {std::pair<std::string, std::string>{"", "0 90 180 270 0 "},
        {"--orientation 2 ", "180 180 180 180 180 "}}) {
    std::string out = dir_.Join("show" + std::to_string(option.size()));
    std::string arguments = "author --out " + Quoted(out) + " " + option;
    for (const std::string& photo : photos) arguments += Quoted(photo) + " ";
    CommandRun run = Tavirelle(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string meta = Read(out + "/meta.xml"), found;
    std::smatch match;
    for (std::string rest = meta;
         std::regex_search(rest, match, std::regex("rotation=\"([0-9]+)\""));
         rest = match.suffix()) {
      found += match[1].str() + " ";
    }
    EXPECT_EQ(found, rotations) << option;
  }
}

// Music named by a path travels with the show: it is copied in under its
// own name, which meta.xml gives, and packs with the show.
TEST_F(AuthorCommandTest, MusicIsCopiedIntoTheShowUnderItsOwnName) {
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("tunes")).ok());
  std::string music = dir_.Join("tunes/Summer Song.MP3");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), music, "ID3 music").ok());
  std::string out = dir_.Join("show");
  CommandRun run = Tavirelle("author --out " + Quoted(out) + " --music " + Quoted(music) + " " +
                             Quoted(Photo("a.jpg")) + " " + Quoted(Photo("b.jpg")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(out + "/Summer Song.MP3"), "ID3 music");
  std::string meta = Read(out + "/meta.xml");
  size_t first = meta.find("<music file=\"Summer Song.MP3\" />");
  ASSERT_NE(first, std::string::npos) << meta;
  EXPECT_NE(meta.find("<music file=\"Summer Song.MP3\" />", first + 1), std::string::npos);
  run = Tavirelle("pack " + Quoted(out) + " " + Quoted(dir_.Join("s.pkg")));
  ASSERT_EQ(run.status, 0) << run.err;
  run = Tavirelle("list " + Quoted(dir_.Join("s.pkg")));
  EXPECT_NE(run.out.find("Summer Song.MP3\t"), std::string::npos) << run.out;

  // Its name must be one a show can hold; a run that fails takes it back.
  std::string greek = dir_.Join("tunes/τραγούδι.mp3");
  WriteUtf8Path(greek, "ID3");
  run = Tavirelle("author --out " + Quoted(dir_.Join("other")) + " --music " + Quoted(greek) + " " +
                  Quoted(Photo("c.jpg")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + greek +
                         ": the name cannot be used in a show; give the music another name\n");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("config.xml"),
                             "<config><templates><x>missing.xml</x></templates></config>")
                  .ok());
  run = Tavirelle(
      "author --out other --style x --music " + Quoted(music) + " " + Quoted(Photo("c.jpg")),
      {.folder = dir_.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(dir_.Join("other")));
}

TEST_F(AuthorCommandTest, OptionsEndAtTheDoubleDash) {
  Photo("--title.jpg");
  CommandRun run =
      Tavirelle("author --out show -- --title.jpg", In(dir_.path()));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
}

// A run that fails after it began to write takes back what it made: its
// files and the folders it created, never a folder that was there before.
TEST_F(AuthorCommandTest, AFailedRunRemovesWhatItMade) {
  std::string photo = Photo("a.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("config.xml"),
                             "<config><templates><x>missing.xml</x></templates></config>")
                  .ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("empty")).ok());
  for (const char* out : {"new/show", "empty", "empty/inner"}) {
    CommandRun run = Tavirelle("author --out " + std::string(out) + " --style x " +
                                   Quoted(photo) + " " + Quoted(photo),
                               In(dir_.path()));
    EXPECT_EQ(run.status, 1) << out;
    EXPECT_NE(run.err.find("no meta.xml written"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(Exists(dir_.Join("new")));
  EXPECT_TRUE(Exists(dir_.Join("empty")));
  EXPECT_TRUE(NamesIn(dir_.Join("empty")).empty());
}

// Ctrl-C or SIGTERM part-way through many photos: the run stops between two
// photos, removes what it made, and ends by the signal.
TEST_F(AuthorCommandTest, AnInterruptedRunRemovesWhatItMade) {
  std::string photo = Photo("a.jpg", 400, 300);
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) {
    names.push_back(dir_.Join("p" + std::to_string(i) + ".jpg"));
    ASSERT_EQ(::symlink(photo.c_str(), names.back().c_str()), 0);
  }
  for (int signal_number : {SIGINT, SIGTERM}) {
    std::string out = dir_.Join("show");
    std::string command = TAVIRELLE_COMMAND_PATH;
    std::vector<const char*> argv = {command.c_str(), "author", "--out", out.c_str()};
    for (const std::string& name : names) argv.push_back(name.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, command.c_str(), &actions, nullptr,
                          const_cast<char**>(argv.data()), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Signalled once the import is under way: the claim and a few photos.
    for (int i = 0; i < 5000 && NamesIn(out).size() < 4; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(::kill(pid, signal_number), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_FALSE(Exists(out)) << NamesIn(out).size() << " files left";
  }
}

// A photo that gets no thumbnail is authored all the same, and named: one
// whose header reads but whose pixels cannot be decoded (its quantization
// tables are missing), and one far taller than wide.
TEST_F(AuthorCommandTest, APhotoWithoutAThumbnailIsNamedInAWarning) {
  std::string jpeg = testing_images::EncodeJpeg(40, 30);
  std::string stripped = jpeg.substr(0, 2);
  size_t at = 2;
  while (at + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[at + 1]) != 0xDA) {
    size_t length = static_cast<uint8_t>(jpeg[at + 2]) * 256u + static_cast<uint8_t>(jpeg[at + 3]);
    if (static_cast<uint8_t>(jpeg[at + 1]) != 0xDB) stripped += jpeg.substr(at, 2 + length);
    at += 2 + length;
  }
  ASSERT_LT(stripped.size() + 60, at);  // at least one table was taken out
  std::string headers_only = dir_.Join("headers.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), headers_only, stripped + jpeg.substr(at)).ok());
  const struct {
    std::string photo;
    std::string why;
  } cases[] = {{headers_only, "damaged: its data cannot be decoded"},
               {Photo("thin.jpg", 1, 300),
                "no thumbnail 100 pixels high can hold its shape (1\u00D7300)"},
               {Photo("narrow.jpg", 2, 300),
                "no thumbnail 100 pixels high can hold its shape (2\u00D7300)"}};
  std::string good = Photo("a.jpg");
  for (const auto& c : cases) {
    std::string out = dir_.Join("show-" + std::to_string(&c - cases));
    CommandRun run = Tavirelle("author --out " + Quoted(out) + " " + Quoted(c.photo) + " " +
                               Quoted(good));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "tavirelle: warning: " + c.photo + ": no thumbnail: " + c.why + "\n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
    // Both copies, one thumbnail and the description.
    EXPECT_EQ(NamesIn(out).size(), 4u) << c.photo;
  }
}

// The photos are imported several at once, yet the show is the one a
// single job makes: the same lines in the same order, the same description
// and the same thumbnails, only the copies' GUID names differ.
TEST_F(AuthorCommandTest, AnyNumberOfJobsAuthorsTheSameShow) {
  using namespace testing_images;
  std::vector<std::string> photos = {Photo("wide.jpg", 900, 300), Photo("small.jpg", 30, 20),
                                     Photo("tall.jpg", 200, 700)};
  ExifBuilder exif(true);
  exif.ifd0.push_back(exif.Ascii(0x0132, "2020:01:02 03:04:05"));
  exif.preview = EncodeJpeg(160, 120);
  photos.push_back(dir_.Join("camera.jpg"));
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), photos.back(), WithExif(EncodeJpeg(640, 480), exif))
          .ok());
  BmpLayout bmp;
  bmp.width = 70;
  bmp.height = 50;
  bmp.rows = StoredRows(70, 50, 24, [](uint32_t x, uint32_t y) { return x * 3 + y * 7; });
  photos.push_back(dir_.Join("scan.bmp"));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), photos.back(), BuildBmp(bmp)).ok());
  photos.push_back(Photo("large.jpg", 1500, 1000));
  std::string arguments;
  for (const std::string& photo : photos) arguments += " " + Quoted(photo);

  const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  struct Show {
    CommandRun run;
    std::vector<std::string> names;  // the copies, in the photos' order
  } shows[2];
  const char* jobs[2] = {"1", "3"};
  for (int i = 0; i < 2; ++i) {
    std::string out = dir_.Join(std::string("show") + jobs[i]);
    shows[i].run = Tavirelle("author --out " + Quoted(out) + " --jobs " + jobs[i] + arguments);
    ASSERT_EQ(shows[i].run.status, 0) << shows[i].run.err;
    std::smatch name;
    for (std::string rest = shows[i].run.out; std::regex_search(rest, name, guid);
         rest = name.suffix()) {
      shows[i].names.push_back(name.str() + ".jpg");
    }
    ASSERT_EQ(shows[i].names.size(), photos.size()) << shows[i].run.out;
  }
  EXPECT_EQ(std::regex_replace(shows[1].run.out, guid, "GUID"),
            std::regex_replace(shows[0].run.out, guid, "GUID"));
  EXPECT_EQ(shows[1].run.err, shows[0].run.err);
  EXPECT_EQ(std::regex_replace(Read(dir_.Join("show3/meta.xml")), guid, "GUID"),
            std::regex_replace(Read(dir_.Join("show1/meta.xml")), guid, "GUID"));
  for (size_t i = 0; i < photos.size(); ++i) {
    EXPECT_EQ(Read(dir_.Join("show3/__w133_h100_" + shows[1].names[i])),
              Read(dir_.Join("show1/__w133_h100_" + shows[0].names[i])))
        << photos[i];
    EXPECT_EQ(Read(dir_.Join("show3/" + shows[1].names[i])), Read(photos[i])) << photos[i];
  }
  EXPECT_EQ(NamesIn(dir_.Join("show3")).size(), 2 * photos.size() + 1);
}

// Two runs into one folder, started together: exactly one authors its show,
// whether the folder is new (both may try to make it) or empty already.
TEST_F(AuthorCommandTest, OfTwoRunsIntoOneFolderOnlyOneSucceeds) {
  std::string photos;
  for (int i = 0; i < 4; ++i) photos += " " + Quoted(Photo("p" + std::to_string(i) + ".jpg"));
  for (int round = 0; round < 6; ++round) {
    std::string out = dir_.Join("race" + std::to_string(round));
    if (round % 2 == 1) {
      ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
    }
    std::string script;
    for (int run = 0; run < 2; ++run) {
      std::string tag = dir_.Join("run" + std::to_string(run));
      script += "(" + std::string(TAVIRELLE_COMMAND_PATH) + " author --out " + Quoted(out) +
                photos + " >" + Quoted(tag + ".out") + " 2>" + Quoted(tag + ".err") +
                "; echo $? >" + Quoted(tag + ".status") + ") & ";
    }
    script += "wait";
    ASSERT_EQ(std::system(script.c_str()), 0);
    std::string statuses = Read(dir_.Join("run0.status")) + Read(dir_.Join("run1.status"));
    ASSERT_TRUE(statuses == "0\n1\n" || statuses == "1\n0\n") << "round " << round << ": "
                                                               << statuses;
    std::string loser = Read(dir_.Join(statuses[0] == '0' ? "run1.err" : "run0.err"));
    EXPECT_EQ(loser, "tavirelle: " + out + ": the folder is not empty\n");
    // The folder holds the winner's show and nothing else: four copies,
    // four thumbnails and meta.xml naming the four copies.
    std::vector<std::string> names = NamesIn(out);
    EXPECT_EQ(names.size(), 9u) << "round " << round;
    std::string meta = Read(out + "/meta.xml");
    for (const std::string& name : names) {
      if (name == "meta.xml" || name.rfind("__w133_h100_", 0) == 0) continue;
      EXPECT_NE(meta.find("\"" + name + "\""), std::string::npos) << name;
    }
  }
}

}  // namespace

}  // namespace tavirelle
