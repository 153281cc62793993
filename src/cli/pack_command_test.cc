#include "cli/show_command_fixture.h"

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
  };
  for (const auto& c : cases) {
    CommandRun run = Tavirelle(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

}  // namespace
