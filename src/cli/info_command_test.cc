#include <vector>

#include "testing/show_command_fixture.h"
#include "testing/test_packages.h"

namespace tavirelle {

namespace {

const char kExpectedInfo[] =
    "icon: show_icon.jpg\n"
    "title: Caf\xC3\xA9 & Co!\n"
    "show-code: XY12\n"
    "server-mod-time: 2024-05-06 07:08:09\n"
    "local-modified: 1\n";

TEST_F(ShowCommandTest, InfoLeavesNoFileAnywhereAndDoesNotChangeThePackage) {
  std::string package = PackShow();
  std::string before = Read(package);
  std::string scratch = dir_.Join("tmp/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(scratch).ok());
  CommandRun run = Tavirelle("info " + Quoted(package), Scratch(scratch));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kExpectedInfo);
  std::vector<FindData> left;
  DefaultFileSystem().Find(scratch + "*", &left).IgnoreError();
  for (const FindData& f : left) {
    EXPECT_TRUE(f.name == "." || f.name == "..") << f.name;
  }
  EXPECT_EQ(Read(package), before);
}

TEST_F(ShowCommandTest, InfoSavesTheIconWhereAsked) {
  std::string package = PackShow();
  std::string out = dir_.Join("icons");
  CommandRun run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kExpectedInfo);
  EXPECT_EQ(Read(out + "/show_icon.jpg"), "icon");
}

}  // namespace

namespace {

// A video item's thumbnail as the icon: it lives in subfolders of DIR.
TEST_F(ShowCommandTest, InfoSavesAThumbnailIconIntoSubfolders) {
  std::string folder = dir_.Join("video/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "meta.xml",
                             "<qx><show><title>V</title></show><images>"
                             "<image onlineFilename=\"clip.swf\"/></images></qx>")
                  .ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "clip.swf", "video").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "__w133_h100_clip.jpg", "thumb").ok());
  std::string package = dir_.Join("video.pkg");
  ASSERT_EQ(Tavirelle("pack " + Quoted(folder) + " " + Quoted(package)).status, 0);

  std::string scratch = dir_.Join("tmp/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(scratch).ok());
  CommandRun quick = Tavirelle("info " + Quoted(package), Scratch(scratch));
  EXPECT_EQ(quick.status, 0) << quick.err;
  EXPECT_NE(quick.out.find("icon: w133\\h100\\clip.jpg\n"), std::string::npos) << quick.out;
  std::vector<FindData> left;
  DefaultFileSystem().Find(scratch + "*", &left).IgnoreError();
  for (const FindData& f : left) EXPECT_TRUE(f.name == "." || f.name == "..") << f.name;

  std::string out = dir_.Join("icons");
  CommandRun run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, quick.out);
  EXPECT_EQ(Read(out + "/w133/h100/clip.jpg"), "thumb");
}

}  // namespace

namespace {

// With --out the icon is part of the work: when it cannot be saved the
// command says why and fails.
TEST_F(ShowCommandTest, InfoFailsWhenTheIconCannotBeSaved) {
  std::string package = PackShow();
  std::string out = dir_.Join("icons/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out + "show_icon.jpg").ok());
  CommandRun run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(out));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tavirelle: " + out + "show_icon.jpg: the icon cannot be saved: "
                     "permission denied\n");

  // The icon the show names is not in the package.
  ASSERT_TRUE(WriteTestPackage(dir_.Join("noicon.pkg"),
                               {{"meta.xml", "<qx><show><title>T</title></show></qx>"}}));
  run = Tavirelle("info " + Quoted(dir_.Join("noicon.pkg")) + " --out " + Quoted(out));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + out + "show_icon.jpg: the icon cannot be saved: "
                     "not in the package\n");
  // Without --out nothing was asked to be saved.
  run = Tavirelle("info " + Quoted(dir_.Join("noicon.pkg")));
  EXPECT_EQ(run.status, 0) << run.err;
}

// The scratch folder of a plain `info` is cleaned up by name; an icon name
// that climbs out of it must not reach the user's files around it.
TEST_F(ShowCommandTest, InfoNeverTouchesFilesBesideItsScratchFolder) {
  std::string scratch = dir_.Join("tmp/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(scratch).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), scratch + "x", "sentinel").ok());
  ASSERT_TRUE(WriteTestPackage(dir_.Join("escape.pkg"),
                               {{"meta.xml", "<qx><show><title>T</title><icon>..\\x</icon>"
                                             "</show></qx>"},
                                {"..\\x", "from the package"}}));
  CommandRun run = Tavirelle("info " + Quoted(dir_.Join("escape.pkg")),
                             Scratch(scratch));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("icon: ..\\x\n"), std::string::npos) << run.out;
  EXPECT_EQ(Read(scratch + "x"), "sentinel");
  std::vector<FindData> left;
  DefaultFileSystem().Find(scratch + "*", &left).IgnoreError();
  EXPECT_EQ(left.size(), 3u);  // ".", ".." and the sentinel
}

// A description whose stated size runs past the end of the file is
// unreadable for the quick look and for the full read alike.
TEST_F(ShowCommandTest, InfoAndMetaAgreeThatACutDescriptionIsUnreadable) {
  std::string meta =
      "<qx><show><title>Cut</title></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  ASSERT_TRUE(WriteTestPackage(dir_.Join("cut.pkg"),
                               {{"a.jpg", "A"}, {"meta.xml", meta, false, 100000}}));
  CommandRun info = Tavirelle("info " + Quoted(dir_.Join("cut.pkg")));
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("title: \n"), std::string::npos) << info.out;
  CommandRun meta_run = Tavirelle("meta " + Quoted(dir_.Join("cut.pkg")));
  EXPECT_EQ(meta_run.status, 1);
  EXPECT_EQ(meta_run.out, "");
  EXPECT_NE(meta_run.err.find("no usable show description"), std::string::npos) << meta_run.err;
}

}  // namespace

}  // namespace tavirelle
