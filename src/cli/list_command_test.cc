#include "testing/package_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

TEST_F(ShowCommandTest, ListPrintsTheDirectoryAndChangesNothing) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, m = 0;
  b.StoredFile("a.jpg", "A", &a).StoredFile("meta.xml", "unusable", &m);
  b.StoredFile("meta.xml.1",
               "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>");
  b.DirectoryHead(3)
      .Entry("a.jpg", a, 1, "7fc56270e7a70fa81a5935b72eacbe29")
      .Entry("meta.xml", m, 8, "0123")
      .Entry("meta.xml.1", m + 6 + 12 + 6 + 8, 70, "4567");
  b.PointAtDirectory();
  std::string path = dir_.Join("p.pkg");
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), path));

  CommandRun run = Tavirelle("list " + Quoted(path));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "a.jpg\t24\t1\t7fc56270e7a70fa81a5935b72eacbe29\n"
                     "meta.xml\t" + std::to_string(m) + "\t8\t0123\n"
                     "meta.xml.1\t" + std::to_string(m + 32) + "\t70\t4567\n");
  // A broken description with a usable older version is left as it is.
  EXPECT_EQ(Read(path), b.bytes());
}

TEST_F(ShowCommandTest, ListOfAPackedShowNamesEveryPackedFile) {
  std::string package = PackShow();
  CommandRun run = Tavirelle("list " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("clip.swf\t24\t5\t"), 0u) << run.out;
  EXPECT_NE(run.out.find("\nphoto.jpg\t"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\t100000\t"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("w133\\h100\\photo.jpg\t"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("notes.txt"), std::string::npos);
}

TEST_F(ShowCommandTest, ListAndVerifySayWhyAPackageDoesNotOpen) {
  PackageBuilder unfinished;
  unfinished.Magic().DirectoryOffset(0xFFFFFFFF);
  PackageBuilder empty;
  empty.Magic().DirectoryOffset().DirectoryHead(0).PointAtDirectory();
  PackageBuilder damaged;
  damaged.Magic().DirectoryOffset().DirectoryHead(3).Entry("a", 24, 0, "").PointAtDirectory();
  ASSERT_TRUE(unfinished.WriteTo(DefaultFileSystem(), dir_.Join("unfinished.pkg")));
  ASSERT_TRUE(empty.WriteTo(DefaultFileSystem(), dir_.Join("empty.pkg")));
  ASSERT_TRUE(damaged.WriteTo(DefaultFileSystem(), dir_.Join("damaged.pkg")));
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("text.pkg"), "hello, this is no package at all")
          .ok());
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {{"unfinished.pkg", "unfinished write"},
               {"empty.pkg", "empty directory"},
               {"damaged.pkg", "damaged directory"},
               {"text.pkg", "not a package"},
               {"missing.pkg", "no such file"}};
  for (const char* command : {"list", "verify"}) {
    for (const auto& c : cases) {
      CommandRun run = Tavirelle(std::string(command) + " " + Quoted(dir_.Join(c.file)));
      EXPECT_EQ(run.status, 1) << command << " " << c.file;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "tavirelle: " + dir_.Join(c.file) + ": " + c.reason + "\n");
    }
  }
}

}  // namespace

namespace {

TEST_F(ShowCommandTest, ListWritesControlCharactersSoThatEachEntryIsOneLine) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0;
  b.StoredFile("a.jpg", "A", &a);
  b.DirectoryHead(2)
      .Entry("two\nlines\t.jpg", a, 1, "m\r1")
      .Entry("del\x7F\x1B.jpg", a, 1, "m2");
  b.PointAtDirectory();
  std::string path = dir_.Join("--odd.pkg");
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), path));
  CommandRun run = Tavirelle("list -- " + Quoted(path));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "two\\x0Alines\\x09.jpg\t24\t1\tm\\x0D1\n"
                     "del\\x7F\\x1B.jpg\t24\t1\tm2\n");
}

TEST_F(ShowCommandTest, PackageCommandsTakeNamesThatLookLikeOptionsAfterTheEnd) {
  std::string folder = MakeShowFolder();
  std::string target = dir_.Join("--show.pkg");
  CommandRun pack = Tavirelle("pack -- " + Quoted(folder) + " " + Quoted(target));
  ASSERT_EQ(pack.status, 0) << pack.err;
  EXPECT_EQ(pack.out, "written: " + target + "\n");
  // Run from the package's folder, so that the name itself starts with "--".
  for (const char* command : {"list", "verify"}) {
    const CommandOptions cd = In(dir_.path());
    CommandRun run = Tavirelle(std::string(command) + " -- --show.pkg", cd);
    EXPECT_EQ(run.status, 0) << command << run.err;
    run = Tavirelle(std::string(command) + " --show.pkg", cd);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.err, "tavirelle: unknown option --show.pkg\n") << command;
  }
}

}  // namespace

}  // namespace tavirelle
