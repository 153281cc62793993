#include "cli/show_command_fixture.h"

namespace {

TEST_F(ShowCommandTest, MetaPrintsTheDescriptionUnchanged) {
  std::string package = PackShow();
  CommandRun run = Tavirelle("meta " + Quoted(package));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, meta_);
}

TEST_F(ShowCommandTest, PackagesThatDoNotOpenSayWhy) {
  ASSERT_TRUE(WriteWholeFile(dir_.Join("notes.txt"), "just some text, long enough"));
  ASSERT_TRUE(WriteWholeFile(dir_.Join("cut.pkg"),
                             std::string("\x4B\x01\x0E\x00Tavirelle File\x4C\x02\xFF\xFF\xFF\xFF",
                                         24)));
  const struct {
    std::string file, reason;
  } cases[] = {
      {dir_.Join("notes.txt"), "not a package"},
      {dir_.Join("cut.pkg"), "unfinished"},
      {dir_.Join("missing.pkg"), ""},
  };
  for (const char* command : {"meta", "info", "extract"}) {
    for (const auto& c : cases) {
      std::string arguments = std::string(command) + " " + Quoted(c.file);
      if (std::string(command) == "extract") arguments += " " + Quoted(dir_.Join("out"));
      CommandRun run = Tavirelle(arguments);
      EXPECT_EQ(run.status, 1) << arguments;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
      EXPECT_NE(run.err.find(c.file + ": " + c.reason), std::string::npos) << run.err;
    }
  }
}

}  // namespace
