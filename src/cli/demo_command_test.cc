#include "cli/show_command_fixture.h"

namespace tavirelle {

namespace {

using DemoCommandTest = ShowCommandTest;

// The whole road on the sample photos the build puts beside the program.
TEST_F(DemoCommandTest, RunsTheWholeRoadInANewFolder) {
  std::string folder = dir_.Join("demo");
  CommandRun run = Tavirelle("demo -- " + Quoted(folder));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::vector<std::string> lines = {"$ tavirelle author", "written: ", "ok: 11 entries",
                                    "title: Summer by the sea!", "extracted: ", "demo: done",
                                    "player: " + folder + "/player/index.html"};
  for (const std::string& expected : lines) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
  }
  EXPECT_TRUE(Exists(folder + "/extracted/meta.xml"));
  EXPECT_NE(Read(folder + "/player/index.html").find("Summer by the sea!"), std::string::npos);
  // A folder that already holds something is refused.
  run = Tavirelle("demo " + Quoted(folder));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not empty"), std::string::npos) << run.err;
}

}  // namespace

}  // namespace tavirelle
