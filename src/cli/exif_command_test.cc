#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

using namespace testing_images;

class ExifCommandTest : public ShowCommandTest {
 protected:
  CommandRun Exif(std::vector<std::string> arguments, const std::string& scratch = "") {
    arguments.insert(arguments.begin(), "exif");
    return RunTavirelle(arguments, Scratch(scratch.empty() ? scratch_.path() : scratch));
  }

  std::string CameraPhoto(uint16_t width, uint16_t height) {
    const std::string path = dir_.Join("photo.jpg");
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path,
                               testing_images::CameraPhoto({.date = "2011:02:03 04:05:06",
                                                            .stated_width = width,
                                                            .stated_height = height,
                                                            .preview = preview_,
                                                            .little_endian = false}))
                    .ok());
    return path;
  }

  bool ScratchIsEmpty() {
    std::vector<FindData> found;
    DefaultFileSystem().Find(scratch_.Join("*.jpg"), &found).IgnoreError();
    return found.empty();
  }

  TempDir scratch_;
  const std::string preview_ = EncodeJpeg(40, 30);
};

TEST_F(ExifCommandTest, PrintsMetadataAndWritesRequestedPreview) {
  const std::string photo = CameraPhoto(4000, 3000);
  const std::string out = dir_.Join("previews/p.jpg");
  CommandRun run = Exif({photo, "--preview", out});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "date: 2011:02:03 04:05:06\nwidth: 4000\nheight: 3000\npreview: kept\n");
  EXPECT_EQ(Read(out), preview_);
}

TEST_F(ExifCommandTest, LeavesNothingBehindWithoutPreviewOption) {
  for (bool portrait : {false, true}) {
    const std::string photo = CameraPhoto(portrait ? 3000 : 4000, portrait ? 4000 : 3000);
    CommandRun run = Exif({photo});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(portrait ? "preview: none\n" : "preview: kept\n"),
              std::string::npos) << run.out;
    EXPECT_TRUE(ScratchIsEmpty());
  }
}

TEST_F(ExifCommandTest, PhotoWithoutExif) {
  const std::string path = dir_.Join("--plain.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, EncodeJpeg(33, 22)).ok());
  // A name that looks like an option stands after "--".
  CommandRun run = Exif({"--", path});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "date: \nwidth: 33\nheight: 22\npreview: none\n");
}

TEST_F(ExifCommandTest, FailuresAreOneLineNamingTheCause) {
  const std::string photo = CameraPhoto(4000, 3000);
  const std::string text = dir_.Join("notes.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), text, "hello").ok());
  const struct {
    std::vector<std::string> arguments;
    std::string scratch, message;
  } cases[] = {
      {{dir_.Join("missing.jpg")}, "", "missing.jpg: no such file"},
      {{text}, "", "notes.txt: not a JPEG or BMP picture"},
      {{dir_.path()}, "", ": a folder, not a picture"},
      {{}, "", "usage: tavirelle exif"},
      {{photo, "--preview"}, "", "usage: tavirelle exif"},
      {{photo, "--thumb", "x"}, "", "unknown option --thumb"},
      // The photo has a preview; not being able to write it is no "none".
      {{photo, "--preview", text + "/p.jpg"},
       "", "notes.txt/p.jpg: the preview cannot be written: "},
      {{photo}, text, "photo.jpg: its preview cannot be checked in the scratch folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    CommandRun run = Exif(c.arguments, c.scratch);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

// exif reads the headers: a photo the decoder refuses (its height given by a
// DNL marker after the first scan, as some cameras write it) still has its
// date and size told; where the headers give no size, the message says so.
TEST_F(ExifCommandTest, ReportsWhatTheHeadersHoldOfAPhotoThatDoesNotDecode) {
  std::string dnl = WithFrameSize(EncodeJpeg(64, 48), 64, 0);
  dnl.insert(dnl.size() - 2, std::string("\xFF\xDC\x00\x04\x00\x30", 6));
  ExifBuilder exif;
  exif.ifd0.push_back(exif.Ascii(0x0132, "2011:02:03 04:05:06"));
  std::string no_size = EncodeJpeg(64, 48);
  no_size.erase(no_size.find("\xFF\xC0"), 2 + 0x11);  // the frame header, whole
  const struct {
    const char* what;
    std::string bytes;
    int status;
    std::string told;
  } cases[] = {
      {"DNL", dnl, 0, "date: \nwidth: 64\nheight: 48\npreview: none\n"},
      {"DNL with EXIF", WithExif(dnl, exif), 0,
       "date: 2011:02:03 04:05:06\nwidth: 64\nheight: 48\npreview: none\n"},
      {"no frame header", no_size, 1,
       "tavirelle: @: cannot be decoded: its headers give no picture size\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir_.Join("camera.jpg");
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, c.bytes).ok());
    CommandRun run = Exif({path});
    EXPECT_EQ(run.status, c.status);
    std::string told = c.told;
    if (told.find('@') != std::string::npos) told.replace(told.find('@'), 1, path);
    EXPECT_EQ(c.status == 0 ? run.out : run.err, told);
    EXPECT_TRUE(ScratchIsEmpty());
  }
}

// However the preview's name spells the photo, the photo is never replaced.
TEST_F(ExifCommandTest, RefusesToWriteThePreviewOverThePhoto) {
  const std::string photo = CameraPhoto(4000, 3000);
  const std::string bytes = Read(photo);
  ASSERT_EQ(::link(photo.c_str(), dir_.Join("hard.jpg").c_str()), 0);
  for (const std::string out : {"photo.jpg", "./photo.jpg", "hard.jpg"}) {
    SCOPED_TRACE(out);
    CommandRun run = TavirelleHere("exif photo.jpg --preview " + out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavirelle: " + out + ": is the photo itself; give another file\n");
    EXPECT_EQ(Read(photo), bytes);
  }
}

}  // namespace

}  // namespace tavirelle
