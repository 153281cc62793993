#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/show_command_fixture.h"

extern char** environ;

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
      {"pack --level 3 " + Quoted(folder) + " " + Quoted(dir_.Join("x.pkg")), 1},
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
  DefaultFileSystem().Find(folder + "*", &found);
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
  const struct {
    const char* what;
    std::string meta;  // "-" for none
    std::vector<std::string> photos;
    std::string message;
  } cases[] = {
      {"empty folder", "-", {}, "show/meta.xml: no such file (not a show folder)"},
      {"no meta.xml", "-", {"a.jpg", "gone.jpg"},
       "show/meta.xml: no such file (not a show folder)"},
      {"meta.xml that does not load", "<qx><images>", {"a.jpg"},
       "show/meta.xml: does not load as a show description"},
      {"a photo missing", kMeta, {"a.jpg"},
       "show/gone.jpg: no such file (a photo the show names)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string show = dir.Join("show/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show));
    if (c.meta != "-") {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml", c.meta));
    }
    for (const std::string& photo : c.photos) {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + photo, "P"));
    }
    CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir.Join("s.pkg")));
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err, "tavirelle: " + dir.path() + c.message + "\n") << c.what;
    EXPECT_TRUE(FilesIn(dir.path()).empty()) << c.what;
  }
  // Music the show names may live elsewhere (a shared asset): not required.
  TempDir dir;
  std::string show = dir.Join("show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml", kMeta));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "a.jpg", "A"));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "gone.jpg", "G"));
  CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir.Join("s.pkg")));
  EXPECT_EQ(run.status, 0) << run.err;
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

// Starts "tavirelle pack FOLDER TARGET" in the background.
pid_t StartPack(const std::string& folder, const std::string& target) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string command = TAVIRELLE_COMMAND_PATH;
  const char* argv[] = {command.c_str(), "pack", folder.c_str(), target.c_str(), nullptr};
  pid_t pid = -1;
  posix_spawn(&pid, command.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

class PackInterrupted : public ShowCommandTest,
                        public testing::WithParamInterface<int> {};

TEST_P(PackInterrupted, NeverLeavesAPartialPackageUnderTheFinalName) {
  int signal_number = GetParam();
  std::string folder = MakeShowFolder();
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out));
  // A pipe as the last photo: the writer waits for its bytes with the
  // package half written, for as long as the test needs.
  ASSERT_EQ(::mkfifo((folder + "zz.jpg").c_str(), 0600), 0);
  std::string target = out + "show.pkg";
  pid_t pid = StartPack(folder, target);
  ASSERT_GT(pid, 0);
  std::vector<std::string> files;
  for (int i = 0; i < 300 && files.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    files = FilesIn(out);
  }
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind(".show.pkg.tavirelle-partial-", 0), 0u) << files[0];
  // The writer registers the file just after creating it, then waits on the
  // pipe.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(::kill(pid, signal_number), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
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
  ASSERT_TRUE(DefaultFileSystem().DeleteFile(folder + "zz.jpg"));
  CommandRun again = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "written: " + target + "\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, PackInterrupted, testing::Values(SIGINT, SIGTERM, SIGKILL));

}  // namespace

}  // namespace tavirelle
