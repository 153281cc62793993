#include <algorithm>
#include <string>

#include "platform/code_page.h"
#include "testing/image_builder.h"
#include "metaxml/meta_text.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

class ShowTextCommandTest : public ShowCommandTest {
 protected:
  void SetUp() override {
    photo_ = dir_.Join("a.jpg");
    ASSERT_TRUE(
        WriteWholeFile(DefaultFileSystem(), photo_, testing_images::EncodeJpeg(40, 30)).ok());
  }

  // A show text as a reader of the package's description gets it, in UTF-8.
  static std::string StoredText(const std::string& meta_utf8, const char* element) {
    std::string show = ExtractElementText(Utf8ToAnsi(meta_utf8), "show");
    return AnsiToUtf8(DecodeShowText(ExtractElementText(show, element)));
  }

  std::string photo_;
};

// Typed on the command line, each text goes through author, pack and the
// package's readers and comes back exactly as typed.
TEST_F(ShowTextCommandTest, TypedTextsComeBackAsTyped) {
  const std::string texts[] = {
      "Tom & Jerry ]]> the sequel", "100% + more", "Caf\xC3\xA9!", "<b>bold</b>", "a+b=c",
      "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9",  // letters the code page has
      "Why? 50/50",
  };
  int n = 0;
  for (const std::string& text : texts) {
    std::string show = dir_.Join("show" + std::to_string(n));
    std::string package = dir_.Join("show" + std::to_string(n++) + ".pkg");
    CommandRun run = Tavirelle("author --out " + Quoted(show) + " --title " + Quoted(text) +
                               " --created-by " + Quoted(text) + " --starring " +
                               Quoted(text) + " " + Quoted(photo_));
    ASSERT_EQ(run.status, 0) << text << ": " << run.err;
    run = Tavirelle("pack " + Quoted(show) + " " + Quoted(package));
    ASSERT_EQ(run.status, 0) << text << ": " << run.err;
    run = Tavirelle("info " + Quoted(package));
    ASSERT_EQ(run.status, 0) << text << ": " << run.err;
    EXPECT_NE(run.out.find("\ntitle: " + text + "\n"), std::string::npos) << run.out;
    run = Tavirelle("meta " + Quoted(package));
    ASSERT_EQ(run.status, 0) << text << ": " << run.err;
    EXPECT_EQ(StoredText(run.out, "createdby"), text) << run.out;
    EXPECT_EQ(StoredText(run.out, "starring"), text) << run.out;
  }
}

TEST_F(ShowTextCommandTest, TextsTheCodePageCannotHoldAreRefusedBeforeAnythingIsWritten) {
  // The characters the code page lacks are named, each once.
  const struct {
    const char* option;
    const char* text;
    const char* named;
  } cases[] = {
      {"--title", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 2024",
       "\xCE\x95 \xCE\xBB \xCE\xAC \xCE\xB4 \xCE\xB1"},
      {"--created-by", "Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD \xE6\x96\x87"},
      {"--starring", "Ann? \xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    std::string show = dir_.Join("refused");
    CommandRun run = Tavirelle("author --out " + Quoted(show) + " " + c.option + " " +
                               Quoted(c.text) + " " + Quoted(photo_));
    EXPECT_EQ(run.status, 1) << c.option;
    EXPECT_EQ(run.err.rfind("tavirelle: " + std::string(c.option), 0), 0u) << run.err;
    EXPECT_NE(run.err.find(std::string(": ") + c.named + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(Exists(show)) << c.option;
  }
}

}  // namespace

}  // namespace tavirelle
