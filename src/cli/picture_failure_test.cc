// The words a command prints for a photo that gets no thumbnail.
#include "cli/picture_failure.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

using namespace testing_images;

TEST(PictureFailureTest, WhyNoThumbnailNamesTheCause) {
  TempDir dir;
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  const struct {
    std::string name, bytes, words;
  } cases[] = {
      {"text.jpg", "hello", "not a JPEG or BMP picture"},
      {"tall.jpg", EncodeJpeg(10, 2000),
       "no thumbnail 100 pixels high can hold its shape (10\u00D72000)"},
      {"huge.jpg", WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive), 40000, 30000),
       "too large to decode (40000\u00D730000, progressive)"},
      {"claim.jpg", WithFrameSize(EncodeJpeg(16, 16), 65000, 65000),
       "damaged: its data cannot be decoded"},
      // Nothing stops these: what failed was writing the thumbnail.
      {"fine.jpg", EncodeJpeg(400, 300), "the thumbnail could not be written"},
      {"small.jpg", EncodeJpeg(40, 30), "the thumbnail could not be written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join(c.name), c.bytes).ok());
    EXPECT_EQ(WhyNoThumbnail(dir.Join(c.name)), c.words);
  }
  EXPECT_EQ(WhyNoThumbnail(dir.Join("missing.jpg")), "no such file");
  EXPECT_EQ(WhyNoThumbnail(dir.path()), "not a JPEG or BMP picture");
}

}  // namespace

}  // namespace tavirelle
