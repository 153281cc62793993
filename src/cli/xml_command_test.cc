// Runs `tavirelle xml FILE` as a template author would.
#include <string>

#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

class XmlCommandTest : public ShowCommandTest {
 protected:
  // Runs "tavirelle xml" on a file holding `contents`.
  CommandRun Xml(const std::string& contents) {
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), input(), contents).ok());
    return Tavirelle("xml " + Quoted(input()));
  }
  std::string input() const { return dir_.Join("input.xml"); }
};

TEST_F(XmlCommandTest, WritesTheDocumentTextOfALoadedFile) {
  CommandRun run = Xml("<?xml version=\"1.0\"?>\n<qx a=\"1\"><b>caf\xC3\xA9 &amp; x</b></qx>");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx a=\"1\" >\n\t<b>caf&#xE9; &amp; "
            "x</b>\n</qx>");
  EXPECT_EQ(run.err, "");
}

// A file that does not load gives nothing on stdout, so that a script that
// keeps the output never takes a fragment for the document.
TEST_F(XmlCommandTest, TellsWhyAFileDoesNotLoad) {
  CommandRun run = Xml("<?xml version=\"1.0\" encoding=\"latin1\"?><r><a/x></r>");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "tavirelle: " + input() + ": does not load: error 1 at 45: Element must be closed.\n");

  run = Xml("just text");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tavirelle: " + input() + ": does not load: no root element\n");
}

TEST_F(XmlCommandTest, NamesTheFileAndTheCause) {
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("--t.xml"), "<qx/>").ok());
  const struct {
    std::string arguments;
    int status;
    std::string err;
  } cases[] = {
      {"'" + dir_.Join("none.xml") + "'", 1,
       "tavirelle: " + dir_.Join("none.xml") + ": no such file\n"},
      {"'" + dir_.path() + "'", 1, "tavirelle: " + dir_.path() + ": a folder, not a file\n"},
      {"--strict x.xml", 2, "tavirelle: unknown option --strict\n"},
      // A name that looks like an option stands after "--".
      {"-- '" + dir_.Join("--t.xml") + "'", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    CommandRun run = Tavirelle("xml " + c.arguments);
    ASSERT_NE(run.status, -1);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace

}  // namespace tavirelle
