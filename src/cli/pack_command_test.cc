#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "testing/show_command_fixture.h"

namespace tavirelle {


namespace {

TEST_F(ShowCommandTest, PackChoosesAUniqueNameAndPacksTheSameBytes) {
  std::string folder = MakeShowFolder();
  std::string target = dir_.Join("Show.PKG");
  CommandRun first = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, "written: " + target + "\n");
  CommandRun second = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out, "written: " + dir_.Join("Show (2).pkg") + "\n");
  EXPECT_EQ(Read(target), Read(dir_.Join("Show (2).pkg")));
}

TEST_F(ShowCommandTest, PackFailuresAreOneLine) {
  std::string folder = MakeShowFolder();
  const struct {
    std::string arguments;
    int status;
  } cases[] = {
      {"pack " + Quoted(folder), 2},
      {"pack " + Quoted(dir_.Join("missing")) + " " + Quoted(dir_.Join("x.pkg")), 1},
      {"pack " + Quoted(folder) + " " + Quoted(dir_.Join("no/such/folder/x.pkg")), 1},
      {"pack --level 3 " + Quoted(folder) + " " + Quoted(dir_.Join("x.pkg")), 2},
  };
  for (const auto& c : cases) {
    CommandRun run = Tavirelle(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.find("0x"), std::string::npos) << run.err;
  }
}

// Files in the package's folder, other than the show folder.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<FindData> found;
  DefaultFileSystem().Find(folder + "*", &found).IgnoreError();
  std::vector<std::string> names;
  for (const FindData& f : found) {
    if (!f.IsFolder()) names.push_back(f.name);
  }
  return names;
}

TEST_F(ShowCommandTest, PackRefusesAFolderThatIsNotAShowAndWritesNothing) {
  const std::string kMeta =
      "<qx><show/><images><image onlineFilename=\"a.jpg\"/>"
      "<image onlineFilename=\"gone.jpg\"><music><file>tune.mp3</file></music></image>"
      "</images></qx>";
  const std::string kOne = "<qx><show/><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  const struct {
    const char* what;
    std::string meta;  // "-" for none
    std::vector<std::string> photos;
    std::string message;
    std::vector<std::pair<std::string, std::string>> links = {};  // name, target
  } cases[] = {
      {"empty folder", "-", {}, "show/meta.xml: no such file (not a show folder)"},
      {"no meta.xml",
       "-",
       {"a.jpg", "gone.jpg"},
       "show/meta.xml: no such file (not a show folder)"},
      {"meta.xml that does not load",
       "<qx><images>",
       {"a.jpg"},
       "show/meta.xml: does not load as a show description"},
      {"a photo missing", kMeta, {"a.jpg"}, "show/gone.jpg: no such file (a photo the show names)"},
      {"no photos",
       "<qx><show/><images></images></qx>",
       {"a.jpg"},
       "show/meta.xml: the show has no photos"},
      {"kinds a package cannot hold",
       "<qx><show><icon>icon.png</icon></show><images><image onlineFilename=\"a.jpg\">"
       "<audioCaption><file>note.wav</file></audioCaption><music file=\"tune.mp3\"/>"
       "<clips><clip file=\"star.png\"/><clip file=\"ok.swf\"/></clips></image>"
       "<image onlineFilename=\"b.jpg\"><music file=\"song.WAV\"/></image></images></qx>",
       {"a.jpg", "b.jpg", "icon.png", "note.wav", "star.png", "song.WAV"},
       "show/meta.xml: names files a package cannot hold (only .jpg, .mp3, .swf and .xml files "
       "are packed): icon.png, note.wav, star.png, song.WAV"},
      {"a link out of the folder",
       kOne,
       {},
       "show/a.jpg: a link that leads out of the show "
       "folder; only links to files inside it are packed",
       {{"a.jpg", "../private.jpg"}}},
      {"a link to a pipe",
       kOne,
       {},
       "show/a.jpg: a link to something that is not a file; not "
       "packed",
       {{"a.jpg", "pipe"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::string show = dir.Join("show/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show).ok());
    if (c.meta != "-") {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml", c.meta).ok());
    }
    for (const std::string& photo : c.photos) {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + photo, "P").ok());
    }
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("private.jpg"), "secret").ok());
    ASSERT_EQ(::mkfifo((show + "pipe").c_str(), 0600), 0);
    for (const auto& [name, target] : c.links) {
      ASSERT_EQ(::symlink(target.c_str(), (show + name).c_str()), 0);
    }
    CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir.Join("s.pkg")));
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err, "tavirelle: " + dir.path() + c.message + "\n") << c.what;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"private.jpg"}) << c.what;
  }
  // Music the show names may live elsewhere (a shared asset): not required.
  TempDir dir;
  std::string show = dir.Join("show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml", kMeta).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "a.jpg", "A").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "gone.jpg", "G").ok());
  CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir.Join("s.pkg")));
  EXPECT_EQ(run.status, 0) << run.err;
}

// Clip art given as an element is as much part of the show as clip art
// given as an attribute: the check reads the description as every reader
// does, so a PNG named either way is refused rather than lost.
TEST_F(ShowCommandTest, PackChecksClipArtGivenAsAnElement) {
  std::string show = dir_.Join("show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml",
                             "<qx><show/><images><image onlineFilename=\"a.jpg\"><clips><clip>"
                             "<file>star.png</file></clip></clips></image></images></qx>")
                  .ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "a.jpg", "A").ok());
  CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir_.Join("s.pkg")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + show +
                         "meta.xml: names files a package cannot hold (only .jpg, .mp3, .swf "
                         "and .xml files are packed): star.png\n");
  EXPECT_FALSE(Exists(dir_.Join("s.pkg")));
}

// A link to a file of the show folder is packed as that file. The package
// is no more readable than the least readable file it holds.
TEST_F(ShowCommandTest, PackFollowsLinksInsideTheFolderAndKeepsPrivateFilesPrivate) {
  std::string folder = MakeShowFolder();
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(folder + "originals").ok());
  ASSERT_EQ(::rename((folder + "photo.jpg").c_str(), (folder + "originals/photo.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("originals/photo.jpg", (folder + "photo.jpg").c_str()), 0);
  const struct {
    mode_t photo;
    mode_t readable;  // the package's read permissions, at most
  } cases[] = {{0644, 0444}, {0640, 0440}, {0600, 0400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.photo);
    ASSERT_EQ(::chmod((folder + "originals/photo.jpg").c_str(), c.photo), 0);
    const std::string target = dir_.Join("show" + std::to_string(c.photo) + ".pkg");
    CommandRun run = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0444 & ~c.readable, 0u) << std::oct << st.st_mode;
    EXPECT_NE(st.st_mode & S_IRUSR, 0u);
    run = Tavirelle("extract " + Quoted(target) + " " + Quoted(dir_.Join("out")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Read(dir_.Join("out/photo.jpg")), std::string(100000, 'p'));
  }
}

TEST_F(ShowCommandTest, PackRefusesAShowBeyondFourGigabytesBeforeWriting) {
  std::string folder = MakeShowFolder();
  // Sparse: it takes no room and is never read, since the check comes first.
  ASSERT_EQ(::truncate((folder + "photo.jpg").c_str(), 4500000000), 0);
  CommandRun run = Tavirelle("pack " + Quoted(folder) + " " + Quoted(dir_.Join("big.pkg")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + folder +
                         ": the show is too large for one package: 4,500,001,081 bytes, "
                         "at most 4,294,967,295\n");
  EXPECT_TRUE(FilesIn(dir_.path()).empty());
}

class PackInterrupted : public ShowCommandTest,
                        public testing::WithParamInterface<int> {};

TEST_P(PackInterrupted, NeverLeavesAPartialPackageUnderTheFinalName) {
  int signal_number = GetParam();
  std::string folder = MakeShowFolder();
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  // A pipe as the last photo: the writer waits for its bytes with the
  // package half written, for as long as the test needs.
  ASSERT_EQ(::mkfifo((folder + "zz.jpg").c_str(), 0600), 0);
  std::string target = out + "show.pkg";
  pid_t pid = StartTavirelle({"pack", folder, target});
  ASSERT_GT(pid, 0);
  std::vector<std::string> files;
  EXPECT_TRUE(WaitUntil([&] { return !(files = FilesIn(out)).empty(); }));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind(".show.pkg.tavirelle-partial-", 0), 0u) << files[0];
  // The writer registers the file just after creating it, then waits on the
  // pipe.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(::kill(pid, signal_number), 0);
  int status = 0;
  // A command that does not stop would wait on the pipe for ever.
  ASSERT_TRUE(WaitForExit(pid, &status)) << "the command did not stop";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;

  EXPECT_FALSE(Exists(target));
  files = FilesIn(out);
  if (signal_number == SIGKILL) {
    // Nothing could remove it; it says what it is and never opens.
    ASSERT_EQ(files.size(), 1u);
    CommandRun list = Tavirelle("list " + Quoted(out + files[0]));
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("unfinished write"), std::string::npos) << list.err;
  } else {
    EXPECT_TRUE(files.empty()) << files[0];
  }

  // A rerun writes the plain name, not "show (2).pkg".
  ASSERT_TRUE(DefaultFileSystem().DeleteFile(folder + "zz.jpg").ok());
  CommandRun again = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "written: " + target + "\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, PackInterrupted, testing::Values(SIGINT, SIGTERM, SIGKILL));

}  // namespace

}  // namespace tavirelle
