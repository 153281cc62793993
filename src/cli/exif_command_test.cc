#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"

namespace {

using namespace testing_images;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class ExifCommandTest : public ::testing::Test {
 protected:
  Outcome Tavirelle(const std::string& arguments) {
    const std::string out = dir_.Join("stdout.txt"), err = dir_.Join("stderr.txt");
    const std::string command = "TMPDIR=" + scratch_.path() + " " +
                                std::string(TAVIRELLE_COMMAND_PATH) + " exif " +
                                arguments + " >" + out + " 2>" + err;
    Outcome run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ReadWholeFile(out, &run.out);
    ReadWholeFile(err, &run.err);
    return run;
  }

  std::string CameraPhoto(uint16_t width, uint16_t height) {
    ExifBuilder exif(false);
    exif.ifd0.push_back(exif.Ascii(0x0132, "2011:02:03 04:05:06"));
    exif.exif.push_back(exif.Short(0xA002, width));
    exif.exif.push_back(exif.Short(0xA003, height));
    exif.preview = preview_;
    const std::string path = dir_.Join("photo.jpg");
    EXPECT_TRUE(WriteWholeFile(path, WithExif(EncodeJpeg(64, 48), exif)));
    return path;
  }

  bool ScratchIsEmpty() {
    std::vector<FindData> found;
    GetFileSystem()->Find(scratch_.Join("*.jpg"), &found);
    return found.empty();
  }

  TempDir dir_, scratch_;
  const std::string preview_ = EncodeJpeg(40, 30);
};

TEST_F(ExifCommandTest, PrintsMetadataAndWritesRequestedPreview) {
  const std::string photo = CameraPhoto(4000, 3000);
  const std::string out = dir_.Join("previews/p.jpg");
  Outcome run = Tavirelle(photo + " --preview " + out);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "date: 2011:02:03 04:05:06\nwidth: 4000\nheight: 3000\npreview: kept\n");
  std::string written;
  ASSERT_TRUE(ReadWholeFile(out, &written));
  EXPECT_EQ(written, preview_);
}

TEST_F(ExifCommandTest, LeavesNothingBehindWithoutPreviewOption) {
  for (bool portrait : {false, true}) {
    const std::string photo = CameraPhoto(portrait ? 3000 : 4000, portrait ? 4000 : 3000);
    Outcome run = Tavirelle(photo);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(portrait ? "preview: none\n" : "preview: kept\n"),
              std::string::npos) << run.out;
    EXPECT_TRUE(ScratchIsEmpty());
  }
}

TEST_F(ExifCommandTest, PhotoWithoutExif) {
  const std::string path = dir_.Join("plain.jpg");
  ASSERT_TRUE(WriteWholeFile(path, EncodeJpeg(33, 22)));
  Outcome run = Tavirelle(path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "date: \nwidth: 33\nheight: 22\npreview: none\n");
}

TEST_F(ExifCommandTest, FailuresAreOneLineAndNonZero) {
  for (const std::string& arguments :
       {dir_.Join("missing.jpg"), std::string(""), CameraPhoto(1, 1) + " --preview"}) {
    SCOPED_TRACE(arguments);
    Outcome run = Tavirelle(arguments);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.err.empty());
  }
}

}  // namespace
