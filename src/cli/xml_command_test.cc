// Runs `tavirelle xml FILE` as a template author would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "platform/file_system.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

struct XmlRun {
  int status = -1;
  std::string out;
  std::string err;
};

XmlRun RunXml(const TempDir& dir, const std::string& contents) {
  const std::string input = dir.Join("input.xml");
  const std::string out = dir.Join("out.txt");
  const std::string err = dir.Join("err.txt");
  EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), input, contents));
  std::string command = std::string(TAVIRELLE_COMMAND_PATH) + " xml '" + input + "' >'" + out +
                        "' 2>'" + err + "'";
  XmlRun run;
  int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ReadWholeFile(DefaultFileSystem(), out, &run.out);
  ReadWholeFile(DefaultFileSystem(), err, &run.err);
  return run;
}

TEST(XmlCommandTest, WritesTheDocumentTextOfALoadedFile) {
  TempDir dir;
  XmlRun run = RunXml(dir, "<?xml version=\"1.0\"?>\n<qx a=\"1\"><b>caf\xC3\xA9 &amp; x</b></qx>");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx a=\"1\" >\n\t<b>caf&#xE9; &amp; x</b>\n</qx>");
  EXPECT_EQ(run.err, "");
}

// A file that does not load gives nothing on stdout, so that a script that
// keeps the output never takes a fragment for the document.
TEST(XmlCommandTest, TellsWhyAFileDoesNotLoad) {
  TempDir dir;
  const std::string input = dir.Join("input.xml");
  XmlRun run = RunXml(dir, "<?xml version=\"1.0\" encoding=\"latin1\"?><r><a/x></r>");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tavirelle: " + input + ": does not load: error 1 at 45: Element must be closed.\n");

  run = RunXml(dir, "just text");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tavirelle: " + input + ": does not load: no root element\n");
}

TEST(XmlCommandTest, NamesTheFileAndTheCause) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("--t.xml"), "<qx/>"));
  const struct {
    std::string arguments;
    int status;
    std::string err;
  } cases[] = {
      {"'" + dir.Join("none.xml") + "'", 1, "tavirelle: " + dir.Join("none.xml") + ": no such file\n"},
      {"'" + dir.path() + "'", 1, "tavirelle: " + dir.path() + ": a folder, not a file\n"},
      {"--strict x.xml", 1, "tavirelle: unknown option --strict\n"},
      // A name that looks like an option stands after "--".
      {"-- '" + dir.Join("--t.xml") + "'", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string err = dir.Join("err.txt");
    const int status = std::system((std::string(TAVIRELLE_COMMAND_PATH) + " xml " + c.arguments +
                                    " >/dev/null 2>'" + err + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    std::string text;
    ReadWholeFile(DefaultFileSystem(), err, &text);
    EXPECT_EQ(text, c.err);
  }
}

}  // namespace

}  // namespace tavirelle
