#include <regex>

#include "cli/show_command_fixture.h"
#include "testing/image_builder.h"

namespace {

using AuthorCommandTest = ShowCommandTest;

TEST_F(AuthorCommandTest, AuthorsAShowThatPacksAndReadsBack) {
  std::string photo = dir_.Join("a.jpg");
  ASSERT_TRUE(WriteWholeFile(photo, testing_images::EncodeJpeg(400, 300)));
  std::string out = dir_.Join("show");
  // Templates are looked up beside the program; the build puts the default
  // style there.
  CommandRun run = Tavirelle("author --out " + Quoted(out) +
                             " --title 'Caf\xC3\xA9 +50%!' --music none --orientation 1 " +
                             Quoted(photo) + " " + Quoted(photo));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;  // no progress bar off a terminal
  std::regex line("photo: [0-9A-F-]{36}\\.jpg 400 300 \\d{4}:\\d\\d:\\d\\d \\d\\d:\\d\\d:\\d\\d\n");
  ASSERT_EQ(run.out.size() % 2, 0u);
  EXPECT_TRUE(std::regex_match(run.out.substr(0, run.out.size() / 2), line)) << run.out;
  std::string meta = Read(out + "/meta.xml");
  EXPECT_NE(meta.find("rotation=\"90\""), std::string::npos) << meta;
  EXPECT_EQ(meta.find("<music"), std::string::npos) << meta;

  run = Tavirelle("pack " + Quoted(out) + " " + Quoted(dir_.Join("s.pkg")));
  ASSERT_EQ(run.status, 0) << run.err;
  run = Tavirelle("info " + Quoted(dir_.Join("s.pkg")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("title: Caf\xC3\xA9 +50%!\n"), std::string::npos) << run.out;
}

TEST_F(AuthorCommandTest, BadInputIsOneLineAndNothingIsWritten) {
  struct Case {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"author --out " + Quoted(dir_.Join("o")) + " " + Quoted(dir_.Join("none.jpg")),
       "no such photo"},
      {"author --out " + Quoted(dir_.Join("o")) + " --orientation 7 x.jpg", "--orientation"},
      {"author --out " + Quoted(dir_.Join("o")) + " --bogus x.jpg", "unknown option"},
  };
  for (const auto& c : cases) {
    CommandRun run = Tavirelle(c.arguments);
    EXPECT_NE(run.status, 0) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_FALSE(Exists(dir_.Join("o")));
  EXPECT_EQ(Tavirelle("author " + Quoted(dir_.Join("a.jpg"))).status, 2);  // no --out
}

TEST_F(AuthorCommandTest, AMissingStyleTemplateIsReported) {
  std::string photo = dir_.Join("a.jpg");
  ASSERT_TRUE(WriteWholeFile(photo, testing_images::EncodeJpeg(40, 30)));
  ASSERT_TRUE(WriteWholeFile(dir_.Join("config.xml"),
                             "<config><templates><x>missing.xml</x></templates></config>"));
  CommandRun run = Tavirelle("author --out " + Quoted(dir_.Join("o")) + " --style x " +
                                 Quoted(photo),
                             "cd " + Quoted(dir_.path()) + " &&");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no meta.xml written"), std::string::npos) << run.err;
}

}  // namespace
