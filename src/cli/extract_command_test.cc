#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "testing/package_builder.h"
#include "testing/show_command_fixture.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

TEST_F(ShowCommandTest, ExtractCopiesTheShowIntoANewFolder) {
  std::string package = PackShow();
  std::string out = dir_.Join("played/show");
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "extracted: " + out + "/\n");
  EXPECT_EQ(run.err, "");  // no progress bar off a terminal
  EXPECT_EQ(Read(out + "/meta.xml"), meta_);
  EXPECT_EQ(Read(out + "/show_icon.jpg"), "icon");
  EXPECT_EQ(Read(out + "/photo.jpg"), std::string(100000, 'p'));
  EXPECT_EQ(Read(out + "/clip.swf"), "video");
  // Files the show does not refer to stay in the package.
  EXPECT_FALSE(Exists(out + "/onlineInfo.xml"));
}

// Ctrl-C or SIGTERM stops the extraction half-way: nothing more is
// written, what the run wrote is removed (here the folder it made), and the
// command ends by the signal. (SIGTERM here: a background job of a script
// ignores SIGINT.) The run is held half-way by its own warning about a
// missing audio caption, told on a pipe that is full until the test reads
// it: after the photos, before the music.
TEST_F(ShowCommandTest, AnInterruptedExtractStopsAndRemovesWhatItWrote) {
  std::string images;
  std::vector<TestEntry> entries = {{"meta.xml", ""}};
  for (int i = 0; i < 30; ++i) {
    const std::string photo = "p" + std::to_string(i) + ".jpg";
    const std::string music = "m" + std::to_string(i) + ".mp3";
    images += "<image onlineFilename=\"" + photo + "\"><music file=\"" + music + "\"/>" +
              (i == 0 ? "<audioCaption file=\"gone.wav\"/>" : "") + "</image>";
    entries.push_back({photo, std::string(5000, static_cast<char>(i))});
    entries.push_back({music, "music " + std::to_string(i)});
  }
  entries[0].data = "<qx><show><title>T</title></show><images>" + images + "</images></qx>";
  const std::string package = dir_.Join("big.pkg");
  ASSERT_TRUE(WriteTestPackage(package, entries));
  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  ::fcntl(pipe_ends[1], F_SETPIPE_SZ, 4096);
  ::fcntl(pipe_ends[1], F_SETFL, O_NONBLOCK);
  const std::string filler(4096, 'f');
  while (::write(pipe_ends[1], filler.data(), filler.size()) > 0) {
  }
  ::fcntl(pipe_ends[1], F_SETFL, 0);
  const std::string out = dir_.Join("new/out");
  const pid_t pid = StartTavirelle({"extract", "--jobs", "1", package, out},
                                   dir_.Join("stdout.txt"), pipe_ends[1]);
  ::close(pipe_ends[1]);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(WaitUntil([&] { return Exists(out + "/p29.jpg"); }));
  EXPECT_FALSE(Exists(out + "/m0.mp3"));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  std::string err;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) err.append(buffer, n);
  ::close(pipe_ends[0]);
  int status = 0;
  ASSERT_TRUE(WaitForExit(pid, &status)) << "the command did not stop";
  err.erase(0, std::min(err.size(), err.find_first_not_of('f')));  // the filling
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status << err;
  EXPECT_NE(err.find("tavirelle: " + out +
                     "/: interrupted; what this run wrote there is "
                     "removed\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(Read(dir_.Join("stdout.txt")), "");
  EXPECT_FALSE(Exists(dir_.Join("new")));
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Links standing in the output folder are replaced by the files the command
// makes there; the files they point to are never written.
TEST_F(ShowCommandTest, ExtractAndInfoReplaceLinksInTheFolderInsteadOfWritingThroughThem) {
  std::string package = PackShow();
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("precious"), "the user's own file").ok());
  for (const char* name : {"photo.jpg", "meta.xml", "show_icon.jpg"}) {
    ASSERT_EQ(::symlink(dir_.Join("precious").c_str(), (out + name).c_str()), 0);
  }
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(dir_.Join("precious")), "the user's own file");
  for (const char* name : {"photo.jpg", "meta.xml", "show_icon.jpg"}) {
    EXPECT_FALSE(IsLink(out + name)) << name;
  }
  EXPECT_EQ(Read(out + "photo.jpg"), std::string(100000, 'p'));
  EXPECT_EQ(Read(out + "meta.xml"), meta_);

  std::string icons = dir_.Join("icons/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(icons).ok());
  ASSERT_EQ(::symlink(dir_.Join("precious").c_str(), (icons + "show_icon.jpg").c_str()), 0);
  run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(icons));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(IsLink(icons + "show_icon.jpg"));
  EXPECT_EQ(Read(icons + "show_icon.jpg"), "icon");
  EXPECT_EQ(Read(dir_.Join("precious")), "the user's own file");
}

TEST_F(ShowCommandTest, ExtractFailsOnADamagedEntryAndLeavesNoCopyOfIt) {
  std::string package = PackShow();
  std::string bytes = Read(package);
  size_t at = bytes.find(std::string(100000, 'p'));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 77777] = 'q';
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), package, bytes).ok());

  std::string out = dir_.Join("out");
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(out));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("photo.jpg (damaged in the package (checksum mismatch))"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(Exists(out + "/photo.jpg"));
  // The rest of the show is there; only the damaged file is held back.
  EXPECT_EQ(Read(out + "/clip.swf"), "video");
  EXPECT_EQ(Read(out + "/meta.xml"), meta_);
}

// A photo the package lacks fails the command; music and audio captions may
// be shared assets kept elsewhere, so their absence is only a warning.
TEST_F(ShowCommandTest, ExtractFailsForAMissingPhotoAndWarnsForMissingSharedAssets) {
  const std::string meta =
      "<qx><show><title>T</title></show><images>"
      "<image onlineFilename=\"a.jpg\"><music file=\"song.mp3\"/></image>"
      "<image onlineFilename=\"b.jpg\"><audioCaption file=\"note.wav\"/></image>"
      "</images></qx>";
  struct Case {
    std::vector<TestEntry> entries;
    int status;
    std::vector<std::string> err_lines;
  } cases[] = {
      {{{"meta.xml", meta}, {"a.jpg", "A"}, {"b.jpg", "B"}},
       0,
       {"tavirelle: warning: note.wav: not in the package, skipped",
        "tavirelle: warning: song.mp3: not in the package, skipped"}},
      {{{"meta.xml", meta}, {"a.jpg", "A"}, {"note.wav", "N"}, {"song.mp3", "S"}},
       1,
       {"tavirelle: " + dir_.Join("show.pkg") + ": not extracted into " + dir_.Join("out/") +
        ": b.jpg (not in the package)"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteTestPackage(dir_.Join("show.pkg"), c.entries));
    CommandRun run = Tavirelle("extract " + Quoted(dir_.Join("show.pkg")) + " " +
                               Quoted(dir_.Join("out")));
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.status == 0 ? "extracted: " + dir_.Join("out/") + "\n" : "");
    std::string expected;
    for (const std::string& line : c.err_lines) expected += line + "\n";
    EXPECT_EQ(run.err, expected);
    EXPECT_EQ(Read(dir_.Join("out/a.jpg")), "A");
  }
}

// Exit status 0 means the description and every photo it names were
// written whole: a description that fails its MD5, does not load, or is not
// there fails the command, named with the cause, and nothing is left.
TEST_F(ShowCommandTest, ExtractRefusesADescriptionItCannotTrustAndWritesNothing) {
  const std::string meta =
      "<qx><show><title>T</title></show><images>"
      "<image onlineFilename=\"a.jpg\"/></images></qx>";
  const struct {
    const char* what;
    std::vector<TestEntry> entries;
    bool flip;  // a byte of the stored description changed after packing
    std::string cause;
  } cases[] = {
      {"damaged",
       {{"meta.xml", meta}, {"a.jpg", "A"}},
       true,
       "meta.xml (damaged in the package (checksum mismatch))"},
      {"a zero byte",
       {{"meta.xml", std::string("<qx><show>\0", 11) + meta}, {"a.jpg", "A"}},
       false,
       "meta.xml (does not load as a show description)"},
      {"none", {{"a.jpg", "A"}}, false, "meta.xml (not in the package)"},
  };
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("there")).ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string package = dir_.Join("show.pkg");
    ASSERT_TRUE(WriteTestPackage(package, c.entries));
    if (c.flip) {
      std::string bytes = Read(package);
      bytes[bytes.find("<title>T") + 7] = 'X';
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), package, bytes).ok());
    }
    for (const char* out : {"new/out", "there"}) {
      CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(dir_.Join(out)));
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "tavirelle: " + package + ": not extracted: " + c.cause + "\n");
    }
    EXPECT_FALSE(Exists(dir_.Join("new")));
    EXPECT_EQ(FindFiles(DefaultFileSystem(), dir_.Join("there/*")).size(), 0u);
  }
}

// An entry whose own name would leave the folder is named as the package
// names it ("list" shows it so), with that cause, not as missing.
TEST_F(ShowCommandTest, ExtractNamesAnEntryThatWouldLeaveTheFolderAsThePackageDoes) {
  const std::string meta =
      "<qx><show/><images><image onlineFilename=\"a.jpg\"/>"
      "<image onlineFilename=\"/tmp/w/hostile/abs.jpg\"/>"
      "<image onlineFilename=\"..\\up.jpg\"/></images></qx>";
  const std::string package = dir_.Join("hostile.pkg");
  ASSERT_TRUE(WriteTestPackage(
      package,
      {{"meta.xml", meta}, {"a.jpg", "A"}, {"/tmp/w/hostile/abs.jpg", "H"}, {"..\\up.jpg", "U"}}));
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(dir_.Join("out")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + package + ": not extracted into " + dir_.Join("out/") +
                         ": /tmp/w/hostile/abs.jpg (a name that would leave the folder), "
                         "..\\up.jpg (a name that would leave the folder)\n");
  EXPECT_EQ(Read(dir_.Join("out/a.jpg")), "A");
  EXPECT_FALSE(Exists(dir_.Join("out/tmp")));
  EXPECT_FALSE(Exists(dir_.Join("up.jpg")));
}

TEST_F(ShowCommandTest, ExtractShowsProgressOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  std::string meta = "<qx><show/><images>";
  std::vector<TestEntry> entries;
  for (int i = 0; i < 12; ++i) {
    std::string name = "p" + std::to_string(i) + ".jpg";
    meta += "<image onlineFilename=\"" + name + "\"/>";
    entries.push_back({name, std::string(1000, static_cast<char>('a' + i))});
  }
  entries.insert(entries.begin(), {"meta.xml", meta + "</images></qx>"});
  ASSERT_TRUE(WriteTestPackage(dir_.Join("show.pkg"), entries));
  // script(1) runs the command on a new terminal and copies what it shows.
  CommandRun shown = RunCommand({"script", "-qec",
                                 Quoted(TAVIRELLE_COMMAND_PATH) + " extract " +
                                     Quoted(dir_.Join("show.pkg")) + " " + Quoted(dir_.Join("out")),
                                 "/dev/null"});
  const std::string text = shown.out + shown.err;
  ASSERT_EQ(shown.status, 0) << text;
  EXPECT_NE(text.find("/13 files"), std::string::npos) << text;
  EXPECT_NE(text.find("extracted: " + dir_.Join("out/")), std::string::npos) << text;
  EXPECT_EQ(Read(dir_.Join("out/p11.jpg")), std::string(1000, 'l'));
}

// Files checked on several threads are reported as on one: the same
// warnings and failures, in the order of the show, and the same status.
TEST_F(ShowCommandTest, ExtractReportsDamagedEntriesAlikeWhateverTheJobs) {
  std::string images;
  for (char c = 'a'; c <= 'l'; ++c) {
    images += std::string("<image onlineFilename=\"") + c + ".jpg\"/>";
  }
  const std::string meta = "<qx><show><title>T</title></show><images>" + images +
                           "<image onlineFilename=\"m.jpg\"><music file=\"song.mp3\"/>"
                           "</image></images></qx>";
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  std::vector<uint32_t> at(13);
  uint32_t meta_at = 0;
  b.StoredFile("meta.xml", meta, &meta_at);
  for (int i = 0; i < 13; ++i) {
    b.StoredFile(std::string(1, static_cast<char>('a' + i)) + ".jpg",
                 std::string(1000 + i, static_cast<char>('A' + i)), &at[i]);
  }
  b.DirectoryHead(14).Entry("meta.xml", meta_at, static_cast<uint32_t>(meta.size()),
                            Md5BufferHex(meta.data(), meta.size()));
  for (int i = 0; i < 13; ++i) {
    std::string name(1, static_cast<char>('a' + i));
    std::string data(1000 + i, static_cast<char>('A' + i));
    std::string md5 = Md5BufferHex(data.data(), data.size());
    uint32_t offset = at[i], size = static_cast<uint32_t>(data.size());
    if (name == "c") md5.assign(32, '0');    // checksum mismatch
    if (name == "f") offset += 1;            // damaged record
    if (name == "i") size = 0xFFFFFFF0u;     // cut off
    if (name == "k") md5.assign(32, 'f');
    b.Entry(name + ".jpg", offset, size, md5);
  }
  b.PointAtDirectory();
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir_.Join("show.pkg")));

  CommandRun first;
  for (const char* jobs : {"1", "4"}) {
    std::string out = dir_.Join(std::string("out") + jobs);
    CommandRun run = Tavirelle(std::string("extract --jobs ") + jobs + " " +
                               Quoted(dir_.Join("show.pkg")) + " " + Quoted(out));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("c.jpg (damaged in the package (checksum mismatch))"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("warning: song.mp3"), std::string::npos) << run.err;
    EXPECT_EQ(Read(out + "/l.jpg"), std::string(1011, 'L'));
    EXPECT_FALSE(Exists(out + "/c.jpg"));
    if (std::string(jobs) == "1") {
      first = run;
      continue;
    }
    std::string err = run.err;
    err.replace(err.find("out4/"), 5, "out1/");
    EXPECT_EQ(err, first.err);
    EXPECT_EQ(run.out, first.out);
    EXPECT_EQ(run.status, first.status);
  }
}

TEST_F(ShowCommandTest, DoubleDashEndsTheOptionsOfThePackageCommands) {
  std::string package = PackShow();
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("--show.pkg"), Read(package)).ok());
  const CommandOptions here = In(dir_.path());
  CommandRun run = Tavirelle("meta -- --show.pkg", here);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, meta_);
  run = Tavirelle("info -- --show.pkg", here);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("title: Caf\xC3\xA9 & Co!\n"), std::string::npos) << run.out;
  run = Tavirelle("info --out icons -- --show.pkg", here);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(dir_.Join("icons/show_icon.jpg")), "icon");
  run = Tavirelle("extract -- --show.pkg --out", here);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Read(dir_.Join("--out/clip.swf")), "video");
  // Before "--" a name that looks like an option is one.
  for (const char* command : {"meta --show.pkg", "info --show.pkg", "extract --show.pkg x"}) {
    run = Tavirelle(command, here);
    EXPECT_NE(run.status, 0) << command;
    EXPECT_EQ(run.err, "tavirelle: unknown option --show.pkg\n") << command;
  }
}

}  // namespace

namespace {

// A read-only package whose meta.xml is broken cannot be repaired, but its
// show is still read from the older version it holds.
TEST_F(ShowCommandTest, AReadOnlyPackageWithABrokenDescriptionIsStillReadWithAWarning) {
  const std::string meta =
      "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  std::string package = dir_.Join("show.pkg");
  ASSERT_TRUE(WriteTestPackage(package, {{"meta.xml.0", meta}, {"a.jpg", "A"},
                                         {"meta.xml", "<qx><sh"}}));
  ASSERT_EQ(::chmod(package.c_str(), 0444), 0);
  std::string before = Read(package);
  const std::string warning = "tavirelle: warning: " + package +
                              ": the broken meta.xml was read from an older version, but the "
                              "package could not be repaired\n";
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(dir_.Join("out")));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, warning);
  EXPECT_EQ(Read(dir_.Join("out/a.jpg")), "A");
  EXPECT_EQ(Read(dir_.Join("out/meta.xml")), meta);
  run = Tavirelle("meta " + Quoted(package));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, meta);
  EXPECT_EQ(run.err, warning);
  EXPECT_TRUE(Read(package) == before);
}

}  // namespace

}  // namespace tavirelle
