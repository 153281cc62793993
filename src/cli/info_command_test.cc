#include "cli/show_command_fixture.h"

#include <vector>

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
  ASSERT_TRUE(GetFileSystem()->CreateDirectory(scratch));
  CommandRun run = Tavirelle("info " + Quoted(package), "TMPDIR=" + Quoted(scratch));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kExpectedInfo);
  std::vector<FindData> left;
  GetFileSystem()->Find(scratch + "*", &left);
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
  ASSERT_TRUE(GetFileSystem()->CreateDirectory(folder));
  ASSERT_TRUE(WriteWholeFile(folder + "meta.xml",
                             "<qx><show><title>V</title></show><images>"
                             "<image onlineFilename=\"clip.swf\"/></images></qx>"));
  ASSERT_TRUE(WriteWholeFile(folder + "clip.swf", "video"));
  ASSERT_TRUE(WriteWholeFile(folder + "__w133_h100_clip.jpg", "thumb"));
  std::string package = dir_.Join("video.pkg");
  ASSERT_EQ(Tavirelle("pack " + Quoted(folder) + " " + Quoted(package)).status, 0);

  std::string scratch = dir_.Join("tmp/");
  ASSERT_TRUE(GetFileSystem()->CreateDirectory(scratch));
  CommandRun quick = Tavirelle("info " + Quoted(package), "TMPDIR=" + Quoted(scratch));
  EXPECT_EQ(quick.status, 0) << quick.err;
  EXPECT_NE(quick.out.find("icon: w133\\h100\\clip.jpg\n"), std::string::npos) << quick.out;
  std::vector<FindData> left;
  GetFileSystem()->Find(scratch + "*", &left);
  for (const FindData& f : left) EXPECT_TRUE(f.name == "." || f.name == "..") << f.name;

  std::string out = dir_.Join("icons");
  CommandRun run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, quick.out);
  EXPECT_EQ(Read(out + "/w133/h100/clip.jpg"), "thumb");
}

}  // namespace
