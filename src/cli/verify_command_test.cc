#include <unistd.h>

#include "testing/package_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

TEST_F(ShowCommandTest, VerifyAcceptsAFreshlyPackedShow) {
  std::string package = PackShow();
  std::string before = Read(package);
  CommandRun run = Tavirelle("verify " + Quoted(package));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "ok: 7 entries\n");
  EXPECT_EQ(Read(package), before);
}

TEST_F(ShowCommandTest, VerifyNamesEveryBadEntry) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, c = 0, d = 0;
  b.StoredFile("a.jpg", "A", &a).StoredFile("c.jpg", "C", &c).StoredFile("d.jpg", "D", &d);
  b.DirectoryHead(17)
      .Entry("a.jpg", a, 1, "7fc56270e7a70fa81a5935b72eacbe29")          // good
      .Entry("b.jpg", a, 1, "00000000000000000000000000000000")          // wrong sum
      .Entry("c.jpg", c + 1, 1, "0d61f8370cad1d412f80b84d143e1257")      // bad header
      .Entry("d.jpg", d, 0xFFFFFFF0u, "f623e75af30e62bbd73d6df5b50bb7b5")  // too long
      .Entry("a.jpg", a, 1, "7fc56270e7a70fa81a5935b72eacbe29");         // good again
  // Enough more that the entries are checked in several groups.
  for (int i = 0; i < 11; ++i) b.Entry("a.jpg", a, 1, "7fc56270e7a70fa81a5935b72eacbe29");
  b.Entry("e.jpg", d, 1, "7fc56270e7a70fa81a5935b72eacbe29");           // wrong sum
  b.PointAtDirectory();
  std::string path = dir_.Join("p.pkg");
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), path));
  // Checked on one thread or several, the report is the same, in order.
  for (const char* jobs : {"", "--jobs 1 ", "--jobs 4 "}) {
    CommandRun run = Tavirelle(std::string("verify ") + jobs + Quoted(path));
    EXPECT_EQ(run.status, 1) << jobs;
    EXPECT_EQ(run.out,
              "bad: b.jpg (checksum mismatch)\n"
              "bad: c.jpg (damaged record)\n"
              "bad: d.jpg (cut off)\n"
              "bad: e.jpg (checksum mismatch)\n")
        << jobs;
    EXPECT_EQ(run.err, "tavirelle: " + path + ": 4 of 17 entries are damaged\n") << jobs;
  }
  EXPECT_EQ(Read(path), b.bytes());
}

TEST_F(ShowCommandTest, AJobCountOutsideOneTo256IsRefusedInOneLine) {
  std::string package = PackShow();
  for (const char* value : {"0", "257", "two", "-1", "1.5"}) {
    for (const std::string& command :
         {"verify --jobs " + std::string(value) + " " + Quoted(package),
          "extract --jobs " + std::string(value) + " " + Quoted(package) + " " +
              Quoted(dir_.Join("out"))}) {
      CommandRun run = Tavirelle(command);
      EXPECT_EQ(run.status, 2) << command;
      EXPECT_EQ(run.out, "") << command;
      EXPECT_EQ(run.err, "tavirelle: --jobs wants a whole number from 1 to 256, not '" +
                             std::string(value) + "'\n")
          << command;
    }
  }
  EXPECT_FALSE(Exists(dir_.Join("out")));
}

TEST_F(ShowCommandTest, PackAndVerifyShowProgressOnATerminalOnly) {
  if (!Exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) to provide a terminal";
  std::string folder = MakeShowFolder();
  // Large enough to count as long work; sparse, so only the package takes room.
  ASSERT_EQ(::truncate((folder + "photo.jpg").c_str(), 70 << 20), 0);
  std::string target = dir_.Join("big.pkg");
  const struct {
    std::string arguments, result;
  } runs[] = {
      {"pack " + Quoted(folder) + " " + Quoted(target), "written: " + target},
      {"verify " + Quoted(target), "ok: 7 entries"},
  };
  for (const auto& run : runs) {
    CommandRun shown = RunCommand(
        {"script", "-qec", Quoted(TAVIRELLE_COMMAND_PATH) + " " + run.arguments, "/dev/null"});
    ASSERT_EQ(shown.status, 0) << run.arguments;
    const std::string& seen = shown.out;
    EXPECT_NE(seen.find("] 0/70"), std::string::npos) << seen;
    EXPECT_NE(seen.find(run.result), std::string::npos) << seen;
    // Off a terminal the same run draws nothing.
    CommandRun plain = Tavirelle(run.arguments);
    EXPECT_EQ(plain.status, 0) << run.arguments;
    EXPECT_EQ(plain.err, "") << run.arguments;
  }
}

}  // namespace

}  // namespace tavirelle
