#include "testing/show_command_fixture.h"

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

// An installed copy has no photos beside the program: they are in the data
// folder, share/tavirelle/ beside its bin/.
TEST_F(DemoCommandTest, FindsTheSamplePhotosInTheInstalledDataFolder) {
  if (dir_.aliased()) {
    GTEST_SKIP() << "a copy installed under a path outside the code page cannot find its data";
  }
  std::string built = TAVIRELLE_COMMAND_PATH;
  std::string build_folder = built.substr(0, built.rfind('/') + 1);
  std::string prefix = dir_.Join("prefix/");
  std::string program = prefix + "bin/tavirelle";
  // The style template still goes beside the program: this is about the photos.
  // The program finds its module in ../lib, as an installed copy does.
  std::string install = "mkdir -p " + Quoted(prefix + "bin") + " " + Quoted(prefix + "lib") +
                        " " + Quoted(prefix + "share/tavirelle") + " && cp " + Quoted(built) +
                        " " + Quoted(build_folder + "base_meta.xml") + " " +
                        Quoted(prefix + "bin/") + " && cp -P " +
                        Quoted(TAVIRELLE_MODULE_DIR) + "libTavirelleHelper.so* " +
                        Quoted(prefix + "lib/");
  ASSERT_EQ(std::system(install.c_str()), 0);

  CommandRun run = Tavirelle("demo " + Quoted(dir_.Join("none")), {}, program);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: no sample photos in " + prefix + "bin/sample-photos/ or " +
                         prefix + "share/tavirelle/sample-photos/\n");
  EXPECT_FALSE(Exists(dir_.Join("none")));

  std::string photos = "cp -r " + Quoted(build_folder + "sample-photos") + " " +
                       Quoted(prefix + "share/tavirelle/");
  ASSERT_EQ(std::system(photos.c_str()), 0);
  run = Tavirelle("demo " + Quoted(dir_.Join("demo")), {}, program);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(prefix + "share/tavirelle/sample-photos/sunset.jpg"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("demo: done"), std::string::npos) << run.out;
}

}  // namespace

}  // namespace tavirelle
