#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

using LegalNameCommandTest = ShowCommandTest;

TEST_F(LegalNameCommandTest, TextAfterTheDoubleDashIsNeverAnOption) {
  CommandRun run = Tavirelle("legal-name -- '--a/b:c.'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "--a b c\n");
  run = Tavirelle("legal-name --a");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tavirelle: unknown option --a\n");
  EXPECT_EQ(Tavirelle("legal-name -- a b").status, 2);
}

}  // namespace

}  // namespace tavirelle
