#include "cli/show_command_fixture.h"

namespace {

TEST_F(ShowCommandTest, ExtractCopiesTheShowIntoANewFolder) {
  std::string package = PackShow();
  std::string out = dir_.Join("played/show");
  CommandRun run = Tavirelle("extract " + Quoted(package) + " " + Quoted(out));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "extracted: " + out + "/\n");
  EXPECT_EQ(Read(out + "/meta.xml"), meta_);
  EXPECT_EQ(Read(out + "/show_icon.jpg"), "icon");
  EXPECT_EQ(Read(out + "/photo.jpg"), std::string(100000, 'p'));
  EXPECT_EQ(Read(out + "/clip.swf"), "video");
  // Files the show does not refer to stay in the package.
  EXPECT_FALSE(Exists(out + "/onlineInfo.xml"));
}

}  // namespace
