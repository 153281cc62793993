#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

class ThumbnailCommandTest : public ::testing::Test {
 protected:
  Outcome Tavirelle(const std::string& arguments) {
    std::string out = dir_.Join("stdout.txt"), err = dir_.Join("stderr.txt");
    std::string command = std::string(TAVIRELLE_COMMAND_PATH) + " thumbnail " +
                          arguments + " >" + out + " 2>" + err;
    Outcome run;
    int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ReadWholeFile(out, &run.out);
    ReadWholeFile(err, &run.err);
    return run;
  }

  std::string Photo(const std::string& name, uint32_t width, uint32_t height) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteWholeFile(path, testing_images::EncodeJpeg(width, height)));
    return path;
  }

  TempDir dir_;
};

TEST_F(ThumbnailCommandTest, PrintsTheSizeWritten) {
  std::string photo = Photo("photo.jpg", 1600, 1200);
  const struct {
    std::string options, printed;
  } cases[] = {
      {"", "thumbnail: 133 100\n"},
      {"--height 50 --quality 60", "thumbnail: 66 50\n"},
      // The narrow box makes the decoder reduce to 1/8, which is no taller
      // than the box: kept as decoded.
      {"--width 20 --height 300", "thumbnail: 200 150\n"},
      {"--width 2000 --height 1500", "thumbnail: 1600 1200\n"},  // never enlarged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    std::string out = dir_.Join("thumbs/t.jpg");
    Outcome run = Tavirelle(photo + " " + out + " " + c.options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.printed);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(out, &written));
    EXPECT_EQ(written.substr(0, 2), "\xFF\xD8");
  }
}

TEST_F(ThumbnailCommandTest, WritesToABareFileNameInTheCurrentFolder) {
  Photo("photo.jpg", 400, 300);
  std::string command = "cd " + dir_.path() + " && " + TAVIRELLE_COMMAND_PATH +
                        " thumbnail photo.jpg thumb.jpg >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string written;
  ASSERT_TRUE(ReadWholeFile(dir_.Join("thumb.jpg"), &written));
  EXPECT_EQ(written.substr(0, 2), "\xFF\xD8");
}

TEST_F(ThumbnailCommandTest, FailuresAreOneLineAndNonZero) {
  std::string photo = Photo("photo.jpg", 64, 48);
  std::string text = dir_.Join("notes.txt");
  ASSERT_TRUE(WriteWholeFile(text, "hello"));
  const std::string cases[] = {
      dir_.Join("missing.jpg") + " " + dir_.Join("a.jpg"),
      text + " " + dir_.Join("b.jpg"),
      photo + " " + dir_.Join("c.jpg") + " --quality 101",
      photo + " " + dir_.Join("d.jpg") + " --width x",
      photo + " " + dir_.Join("e.jpg") + " --height",
      photo,
      Photo("tall.jpg", 10, 2000) + " " + dir_.Join("f.jpg"),
  };
  for (const std::string& arguments : cases) {
    SCOPED_TRACE(arguments);
    Outcome run = Tavirelle(arguments);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

}  // namespace
