#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/show_command_fixture.h"
#include "platform/file_system.h"
#include "testing/image_builder.h"

namespace tavirelle {

namespace {

using namespace testing_images;

class ThumbnailCommandTest : public ShowCommandTest {
 protected:
  CommandRun Thumbnail(const std::string& arguments) {
    return Tavirelle("thumbnail " + arguments);
  }

  std::string Photo(const std::string& name, uint32_t width, uint32_t height,
                    const JpegOptions& options = {}) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path,
                               EncodeJpeg(width, height, GradientPixel, options)));
    return path;
  }
};

TEST_F(ThumbnailCommandTest, PrintsTheSizeWritten) {
  std::string photo = Photo("photo.jpg", 1600, 1200);
  JpegOptions ycck;
  ycck.color = JpegColor::kYcck;
  std::string print = Photo("print.jpg", 1600, 1200, ycck);
  const struct {
    std::string photo, options, printed;
  } cases[] = {
      {photo, "", "thumbnail: 133 100\n"},
      {photo, "--height 50 --quality 60", "thumbnail: 66 50\n"},
      // The narrow box makes the decoder reduce to 1/8, which is no taller
      // than the box: kept as decoded.
      {photo, "--width 20 --height 300", "thumbnail: 200 150\n"},
      {photo, "--width 2000 --height 1500", "thumbnail: 1600 1200\n"},  // never enlarged
      // The ends of each option's range are accepted.
      {photo, "--width 65500 --height 65500 --quality 100", "thumbnail: 1600 1200\n"},
      {photo, "--width 1 --height 1 --quality 0", "thumbnail: 1 1\n"},
      // A photo from a print workflow gets its thumbnail like any other.
      {print, "", "thumbnail: 133 100\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.photo + " " + c.options);
    std::string out = dir_.Join("thumbs/t.jpg");
    CommandRun run = Thumbnail(Quoted(c.photo) + " " + Quoted(out) + " " + c.options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.printed);
    EXPECT_EQ(Read(out).substr(0, 2), "\xFF\xD8");
  }
}

TEST_F(ThumbnailCommandTest, NamesThatLookLikeOptionsFollowTheirEnd) {
  Photo("--title.jpg", 400, 300);
  std::string command = "cd " + Quoted(dir_.path()) + " && " + TAVIRELLE_COMMAND_PATH +
                        " thumbnail --height 50 -- --title.jpg thumb.jpg >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Read(dir_.Join("thumb.jpg")).substr(0, 2), "\xFF\xD8");
}

TEST_F(ThumbnailCommandTest, FailuresAreOneLineNamingTheCause) {
  std::string photo = Photo("photo.jpg", 64, 48);
  std::string text = dir_.Join("notes.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), text, "hello"));
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  std::string huge = dir_.Join("huge.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), 
      huge, WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive), 40000, 40000)));
  const struct {
    std::string arguments, message;
  } cases[] = {
      {dir_.Join("missing.jpg") + " " + dir_.Join("a.jpg"), "missing.jpg: no such file"},
      {text + " " + dir_.Join("b.jpg"), "notes.txt: not a JPEG or BMP picture"},
      {dir_.path() + " " + dir_.Join("b.jpg"), ": not a JPEG or BMP picture"},
      {huge + " " + dir_.Join("b.jpg"),
       "huge.jpg: too large to decode (40000\u00D740000, progressive)"},
      {photo + " " + dir_.Join("c.jpg") + " --quality 101",
       "--quality wants a whole number from 0 to 100"},
      {photo + " " + dir_.Join("d.jpg") + " --width x", "--width wants"},
      {photo + " " + dir_.Join("d.jpg") + " --width 65501", "from 1 to 65500, not '65501'"},
      {photo + " " + dir_.Join("d.jpg") + " --height 0", "from 1 to 65500, not '0'"},
      {photo + " " + dir_.Join("d.jpg") + " --size 3", "unknown option --size"},
      {photo + " " + dir_.Join("e.jpg") + " --height", "usage: tavirelle thumbnail"},
      {photo, "usage: tavirelle thumbnail"},
      {Photo("tall.jpg", 10, 2000) + " " + dir_.Join("f.jpg"),
       "tall.jpg: no thumbnail 100 pixels high can hold its shape (10\u00D72000)"},
      {photo + " " + text + "/g.jpg", "notes.txt/g.jpg: cannot be written: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    CommandRun run = Thumbnail(c.arguments);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

// A progressive photo that would need gigabytes is refused at once, also
// where memory is limited, instead of being decoded or dying of it.
TEST_F(ThumbnailCommandTest, RefusesAHugeProgressivePhotoWithinLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  // As large as such a file is in the field, so that only the decoder's
  // memory bound can refuse it.
  std::vector<std::string> padding(90, Segment(0xFE, std::string(65000, 'x')));
  std::string photo = dir_.Join("scan.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), 
      photo, WithSegments(WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive),
                                        40000, 40000),
                          padding)));
  CommandRun run = Tavirelle("thumbnail " + Quoted(photo) + " " + Quoted(dir_.Join("t.jpg")),
                             "ulimit -v 1048576;");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + photo +
                         ": too large to decode (40000\u00D740000, progressive)\n");
#endif
}

// However the output names the photo, the photo is never replaced.
TEST_F(ThumbnailCommandTest, RefusesToWriteOverThePhoto) {
  const std::string photo = Photo("s.jpg", 400, 300);
  const std::string bytes = Read(photo);
  ASSERT_EQ(::link(photo.c_str(), dir_.Join("hard.jpg").c_str()), 0);
  ASSERT_EQ(::symlink(photo.c_str(), dir_.Join("soft.jpg").c_str()), 0);
  const std::string folder = dir_.path().substr(0, dir_.path().size() - 1);
  const std::string around = "../" + folder.substr(folder.rfind('/') + 1) + "/s.jpg";
  for (const std::string& out : {std::string("s.jpg"), std::string("./s.jpg"), around,
                                 std::string("hard.jpg"), std::string("soft.jpg")}) {
    SCOPED_TRACE(out);
    CommandRun run = TavirelleHere("thumbnail s.jpg " + out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavirelle: " + out + ": is the photo itself; give another file\n");
    EXPECT_EQ(Read(photo), bytes);
  }
}

}  // namespace

}  // namespace tavirelle
