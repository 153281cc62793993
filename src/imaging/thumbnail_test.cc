#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "imaging/photo_image.h"
#include "imaging/two_pass_scale.h"
#include "platform/file_system.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"
#include "util/parallel.h"
// After the platform headers: libjpeg defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace tavirelle {

namespace {

using Pixels = std::vector<uint8_t>;

struct Decoded {
  bool ok = false;
  uint32_t width = 0, height = 0;
  int components = 0;
  bool progressive = false;
  Pixels pixels;
};

struct ThrowingError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void JumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ThrowingError*>(cinfo->err)->jump, 1);
}

// Decodes JPEG bytes at full size, independently of the code under test.
void DecodeInto(const std::string& bytes, Decoded* out) {
  jpeg_decompress_struct cinfo;
  ThrowingError error;
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JumpBack;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    out->ok = false;
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
               bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  out->progressive = jpeg_has_multiple_scans(&cinfo);
  jpeg_start_decompress(&cinfo);
  out->width = cinfo.output_width;
  out->height = cinfo.output_height;
  out->components = cinfo.num_components;
  out->pixels.resize(size_t(out->width) * out->height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out->pixels[size_t(cinfo.output_scanline) * out->width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out->ok = true;
}

Decoded DecodeFile(const std::string& path) {
  Decoded decoded;
  std::string bytes;
  if (ReadWholeFile(DefaultFileSystem(), path, &bytes).ok()) DecodeInto(bytes, &decoded);
  return decoded;
}

// A picture with a red left half and a blue right half over a soft vertical
// gradient: channel order, orientation and scaling all show in it.
void SplitPixel(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                uint8_t* rgb) {
  bool left = x < width / 2;
  rgb[0] = left ? 220 : 20;
  rgb[1] = uint8_t(40 + 100 * uint64_t{y} / height);
  rgb[2] = left ? 20 : 220;
}

Pixels SplitPicture(uint32_t width, uint32_t height) {
  Pixels pixels(size_t(width) * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      SplitPixel(x, y, width, height, &pixels[(size_t(y) * width + x) * 3]);
    }
  }
  return pixels;
}

// A copy of `pixels` as if Load had decoded it.
DecodedImage AsDecoded(const Pixels& pixels, uint32_t width, uint32_t height) {
  DecodedImage image;
  image.size = {width, height};
  image.pixels.reset(new uint8_t[pixels.size()]);
  std::memcpy(image.pixels.get(), pixels.data(), pixels.size());
  return image;
}

class ThumbnailTest : public ::testing::Test {
 protected:
  // A camera-sized JPEG, or a 24-bit bitmap, of the split picture.
  std::string WritePhoto(const std::string& name, uint32_t width,
                         uint32_t height, bool bitmap = false) {
    std::string path = dir_.Join(name);
    std::string bytes;
    if (bitmap) {
      testing_images::BmpLayout layout;
      layout.width = int32_t(width);
      layout.height = int32_t(height);
      layout.rows = testing_images::StoredRows(
          layout.width, layout.height, 24, [&](uint32_t x, uint32_t y) {
            uint8_t rgb[3];
            SplitPixel(x, y, width, height, rgb);
            return uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
          });
      bytes = testing_images::BuildBmp(layout);
    } else {
      bytes = testing_images::EncodeJpeg(
          width, height, [&](uint32_t x, uint32_t y, uint8_t* rgb) {
            SplitPixel(x, y, width, height, rgb);
          });
    }
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path, bytes).ok());
    return path;
  }

  TempDir dir_;
};

TEST_F(ThumbnailTest, WriteJpegIsBaselineAtTheGivenQuality) {
  Pixels pixels = SplitPicture(40, 30);
  for (int quality : {100, 75, 10}) {
    SCOPED_TRACE(quality);
    std::string path = dir_.Join("sub\\folder\\q" + std::to_string(quality) + ".jpg");
    ASSERT_TRUE(
        PhotoImage::WriteJpeg(DefaultFileSystem(), path, pixels.data(), 40, 30, quality).ok());
    Decoded decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, 40u);
    EXPECT_EQ(decoded.height, 30u);
    EXPECT_EQ(decoded.components, 3);
    EXPECT_FALSE(decoded.progressive);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &bytes).ok());
    // Baseline frame header, not the extended or progressive ones.
    EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);
    EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);
    // The quantisation table follows the quality: at 100 every entry is 1.
    size_t dqt = bytes.find("\xFF\xDB");
    ASSERT_NE(dqt, std::string::npos);
    int first_entry = static_cast<uint8_t>(bytes[dqt + 5]);
    if (quality == 10) {
      EXPECT_GT(first_entry, 40);
    }
    if (quality == 100) {
      EXPECT_EQ(first_entry, 1);
      // Colour is stored at half resolution, so the red/blue edge blurs.
      for (size_t i = 0; i < pixels.size(); ++i) {
        size_t x = i / 3 % 40;
        if (x >= 18 && x < 22) continue;
        ASSERT_NEAR(decoded.pixels[i], pixels[i], 8) << i;
      }
    }
  }
}

TEST_F(ThumbnailTest, WriteJpegReplacesAnExistingFile) {
  std::string path = dir_.Join("t.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, std::string(100000, 'x')).ok());
  Pixels pixels = SplitPicture(8, 8);
  ASSERT_TRUE(PhotoImage::WriteJpeg(DefaultFileSystem(), path, pixels.data(), 8, 8, 100).ok());
  EXPECT_TRUE(DecodeFile(path).ok);
}

TEST_F(ThumbnailTest, WriteJpegFailures) {
  Pixels pixels = SplitPicture(64, 64);
  EXPECT_FALSE(PhotoImage::WriteJpeg(DefaultFileSystem(), "", pixels.data(), 64, 64, 100).ok());
  EXPECT_FALSE(
      PhotoImage::WriteJpeg(DefaultFileSystem(), dir_.Join("n.jpg"), nullptr, 64, 64, 100).ok());
  // libjpeg refuses an empty image; the error comes back as false.
  EXPECT_FALSE(
      PhotoImage::WriteJpeg(DefaultFileSystem(), dir_.Join("e.jpg"), pixels.data(), 0, 64, 100)
          .ok());

  FaultInjectingFileSystem faulty;
  faulty.DenyAccess("denied");
  EXPECT_FALSE(
      PhotoImage::WriteJpeg(faulty, dir_.Join("denied.jpg"), pixels.data(), 64, 64, 100).ok());
  faulty.Reset();
  faulty.SetWriteProtected(true);
  Status protectedWrite =
      PhotoImage::WriteJpeg(faulty, dir_.Join("ro.jpg"), pixels.data(), 64, 64, 100);
  EXPECT_FALSE(protectedWrite.ok());
  EXPECT_EQ(protectedWrite.code(), 19u);  // ERROR_WRITE_PROTECT
  faulty.Reset();
  // The medium fills up in the middle of the data: no cut-off thumbnail is
  // left behind to be mistaken for a whole one.
  faulty.SetDiskFullAfter(300);
  std::string full = dir_.Join("full.jpg");
  EXPECT_FALSE(PhotoImage::WriteJpeg(faulty, full, pixels.data(), 64, 64, 100).ok());
  faulty.Reset();
  EXPECT_FALSE(PathExists(faulty, full));
  EXPECT_FALSE(PathExists(faulty, dir_.Join("ro.jpg")));
}

// The size rule for a box, on decoded sizes, worked by hand: below the box
// both ways as it is; the box's own aspect gives the box; taller than the
// box: its height, width trunc(height x aspect); otherwise as it is.
struct SizeCase {
  PixelSize decoded, box;
  std::optional<PixelSize> thumbnail;  // none: no thumbnail can be made
};

void PrintTo(const SizeCase& c, std::ostream* out) {
  *out << c.decoded.width << "x" << c.decoded.height << " in " << c.box.width << "x"
       << c.box.height;
}

class ThumbnailSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ThumbnailSizeTest, FixedHeightWidthByAspect) {
  const SizeCase& c = GetParam();
  EXPECT_EQ(ThumbnailSizeFor(c.decoded, c.box), c.thumbnail);
  // The scaler makes that size, and leaves the decoded picture alone.
  Pixels source = SplitPicture(c.decoded.width, c.decoded.height);
  const DecodedImage decoded = AsDecoded(source, c.decoded.width, c.decoded.height);
  const DecodedImage scaled = PhotoImage::ScaleToTarget(decoded, c.box);
  if (!c.thumbnail) {
    EXPECT_EQ(scaled.pixels, nullptr);
    return;
  }
  ASSERT_NE(scaled.pixels, nullptr);
  EXPECT_EQ(scaled.size, *c.thumbnail);
  Pixels expected(scaled.bytes());
  C2PassScale<CHammingFilter> scaler;
  scaler.Scale(source.data(), c.decoded.width, c.decoded.height, expected.data(),
               c.thumbnail->width, c.thumbnail->height);
  EXPECT_EQ(0, std::memcmp(scaled.pixels.get(), expected.data(), expected.size()));
  EXPECT_EQ(0, std::memcmp(decoded.pixels.get(), source.data(), source.size()));
}

constexpr PixelSize kBox{133, 100};

INSTANTIATE_TEST_SUITE_P(
    HandWorked, ThumbnailSizeTest,
    ::testing::Values(SizeCase{{408, 306}, kBox, PixelSize{133, 100}},  // 100 x 408 / 306
                      SizeCase{{306, 408}, kBox, PixelSize{75, 100}},   // portrait
                      SizeCase{{375, 250}, kBox, PixelSize{150, 100}},  // wider than the box
                      SizeCase{{500, 125}, kBox, PixelSize{400, 100}},  // panorama
                      SizeCase{{120, 150}, kBox, PixelSize{80, 100}},
                      SizeCase{{200, 90}, kBox, PixelSize{200, 90}},    // no enlargement
                      SizeCase{{1330, 1000}, kBox, PixelSize{133, 100}},  // the box's aspect
                      SizeCase{{100, 75}, kBox, PixelSize{100, 75}},    // below the box
                      SizeCase{{4, 3}, kBox, PixelSize{4, 3}},
                      SizeCase{{266, 200}, {266, 200}, PixelSize{266, 200}},  // the box itself
                      SizeCase{{30, 200}, {40, 10}, PixelSize{1, 10}},  // 10 x 30 / 200 = 1.5
                      SizeCase{{2, 250}, kBox, std::nullopt},   // 100 x 2 / 250 = 0.8
                      SizeCase{{1, 300}, kBox, std::nullopt},   // 100 / 300: tall photo
                      SizeCase{{1, 100}, kBox, PixelSize{1, 100}},  // not taller than the box
                      SizeCase{{70000, 101}, {10, 100}, std::nullopt}));  // beyond a JPEG

TEST_F(ThumbnailTest, SaveScaledKeepsSmallPicturesAsTheyAre) {
  PhotoImage image(DefaultFileSystem());
  const DecodedImage small = AsDecoded(SplitPicture(100, 75), 100, 75);
  std::string path = dir_.Join("small.jpg");
  const ThumbnailResult saved = image.SaveScaled(small, kBox, path, 100);
  ASSERT_TRUE(saved.outcome.ok());
  EXPECT_EQ(saved.size, (PixelSize{100, 75}));
  Decoded decoded = DecodeFile(path);
  EXPECT_EQ(decoded.width, 100u);
  EXPECT_EQ(decoded.height, 75u);
  EXPECT_FALSE(image.SaveScaled(DecodedImage(), kBox, path, 100).outcome.ok());  // nothing decoded
}

// MakeThumbnail from photos at camera sizes, through the decoder's reduction.
struct PhotoCase {
  uint32_t width, height;
  uint32_t thumbWidth, thumbHeight;  // 0 x 0: fails, writes nothing
  bool bitmap = false;
};

void PrintTo(const PhotoCase& c, std::ostream* out) {
  *out << c.width << "x" << c.height << (c.bitmap ? " bitmap" : " JPEG");
}

class MakeThumbnailTest : public ThumbnailTest,
                          public ::testing::WithParamInterface<PhotoCase> {};

TEST_P(MakeThumbnailTest, DecodesReducedAndWritesThumbnail) {
  const PhotoCase& c = GetParam();
  std::string photo = WritePhoto(c.bitmap ? "photo.BMP" : "photo.jpg", c.width,
                                 c.height, c.bitmap);
  std::string thumb = dir_.Join("out\\__w133_h100_photo.jpg");
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  PhotoImage image(DefaultFileSystem());
  const ThumbnailResult made = image.MakeThumbnail(photo, thumb, settings);
  if (c.thumbWidth == 0) {
    EXPECT_EQ(made.outcome.failure, PictureFailure::kNoFit);
    EXPECT_FALSE(PathExists(DefaultFileSystem(), thumb));
    return;
  }
  ASSERT_TRUE(made.outcome.ok());
  // The size reported is the size written.
  EXPECT_EQ(made.size, (PixelSize{c.thumbWidth, c.thumbHeight}));
  Decoded decoded = DecodeFile(thumb);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.width, c.thumbWidth);
  EXPECT_EQ(decoded.height, c.thumbHeight);
  // Red stays on the left, blue on the right.
  const uint8_t* left = &decoded.pixels[(decoded.height / 2 * decoded.width + 1) * 3];
  const uint8_t* right =
      &decoded.pixels[(decoded.height / 2 * decoded.width + decoded.width - 2) * 3];
  EXPECT_GT(left[0], 180);
  EXPECT_LT(left[2], 60);
  EXPECT_LT(right[0], 60);
  EXPECT_GT(right[2], 180);
}

INSTANTIATE_TEST_SUITE_P(
    Box133x100, MakeThumbnailTest,
    ::testing::Values(PhotoCase{3264, 2448, 133, 100},  // decoded at 408 x 306
                      PhotoCase{2448, 3264, 75, 100},
                      PhotoCase{3000, 2000, 150, 100},
                      PhotoCase{4000, 1000, 400, 100},
                      PhotoCase{100, 75, 100, 75},
                      PhotoCase{10, 2000, 0, 0},  // decoded at 2 x 250
                      PhotoCase{120, 150, 80, 100, true},
                      PhotoCase{200, 90, 200, 90, true},
                      PhotoCase{1330, 1000, 133, 100, true}));

TEST_F(ThumbnailTest, MakeThumbnailOfSomethingElseWritesNothing) {
  std::string text = dir_.Join("notes.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), text, "not a picture").ok());
  std::string thumb = dir_.Join("thumb.jpg");
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  PhotoImage image(DefaultFileSystem());
  EXPECT_EQ(image.MakeThumbnail(text, thumb, settings).outcome.failure,
            PictureFailure::kNotAPicture);
  EXPECT_EQ(image.MakeThumbnail(dir_.Join("missing.jpg"), thumb, settings).outcome.failure,
            PictureFailure::kUnreadable);
  // Decoded, but 2 x 250 pixels leave no width at a height of 100; the
  // failure keeps the photo's own size and the box's height for its words.
  const ThumbnailResult tall =
      image.MakeThumbnail(WritePhoto("tall.jpg", 10, 2000), thumb, settings);
  EXPECT_EQ(tall.outcome.failure, PictureFailure::kNoFit);
  EXPECT_EQ(tall.outcome.source, (PixelSize{10, 2000}));
  EXPECT_EQ(tall.outcome.boxHeight, 100u);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), thumb));
}

// Print workflows make CMYK and YCCK photos; they get thumbnails too.
TEST_F(ThumbnailTest, CmykAndYcckPhotosGetAThumbnail) {
  for (testing_images::JpegColor color :
       {testing_images::JpegColor::kCmyk, testing_images::JpegColor::kYcck}) {
    testing_images::JpegOptions options;
    options.color = color;
    const std::string photo = dir_.Join("print.jpg");
    ASSERT_TRUE(
        WriteWholeFile(DefaultFileSystem(), photo,
                       testing_images::EncodeJpeg(800, 600, testing_images::GradientPixel, options))
            .ok());
    const std::string thumb = dir_.Join("thumb.jpg");
    ThumbnailSettings settings;
    settings.width = 133;
    settings.height = 100;
    PhotoImage image(DefaultFileSystem());
    ASSERT_TRUE(image.MakeThumbnail(photo, thumb, settings).outcome.ok());
    Decoded decoded = DecodeFile(thumb);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, 133u);
    EXPECT_EQ(decoded.height, 100u);
  }
}

TEST_F(ThumbnailTest, MakeThumbnailReportsAnUnwritableTarget) {
  std::string photo = WritePhoto("photo.jpg", 640, 480);
  FaultInjectingFileSystem faulty;
  faulty.DenyAccess("thumbs");
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  PhotoImage image(faulty);
  const ThumbnailResult made = image.MakeThumbnail(photo, dir_.Join("thumbs\\t.jpg"), settings);
  EXPECT_EQ(made.outcome.failure, PictureFailure::kUnwritable);
  EXPECT_EQ(made.outcome.status.code(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(made.size, PixelSize());
}

// Photo import and the batch command run PhotoImages on several threads at
// once: each object is the whole state of its photo, so the bytes and what
// is read must be those of one photo after another.
TEST_F(ThumbnailTest, PhotoImagesOnSeveralThreadsGiveWhatOneThreadGives) {
  using namespace testing_images;
  JpegOptions cmyk;
  cmyk.color = JpegColor::kCmyk;
  ExifBuilder exif;
  exif.ifd0.push_back(exif.Ascii(0x0132, "2009:07:14 18:02:11"));
  exif.exif.push_back(exif.Short(0xA002, 640));
  exif.exif.push_back(exif.Short(0xA003, 480));
  exif.preview = EncodeJpeg(160, 120);
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("cmyk.jpg"),
                             EncodeJpeg(800, 600, GradientPixel, cmyk))
                  .ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("camera.jpg"),
                             WithExif(EncodeJpeg(640, 480), exif))
                  .ok());
  const std::vector<std::string> photos = {
      WritePhoto("wide.jpg", 1600, 1200), WritePhoto("tall.jpg", 600, 800),
      WritePhoto("small.jpg", 100, 75),   WritePhoto("bitmap.bmp", 120, 150, true),
      dir_.Join("cmyk.jpg"),              dir_.Join("camera.jpg")};
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  struct Result {
    bool made = false, kept = false;
    PhotoMetadata info;
    std::string thumbnail, preview;
  };
  auto run = [&](size_t photo, const std::string& tag) {
    Result result;
    const std::string thumbnail = dir_.Join("t" + tag + ".jpg");
    const std::string preview = dir_.Join("p" + tag + ".jpg");
    PhotoImage image(DefaultFileSystem());
    result.made = image.MakeThumbnail(photos[photo], thumbnail, settings).outcome.ok();
    result.kept = image.ReadPhotoMetadata(photos[photo], preview, &result.info).kept();
    // A file that was not made reads as empty.
    ReadWholeFile(DefaultFileSystem(), thumbnail, &result.thumbnail).IgnoreError();
    ReadWholeFile(DefaultFileSystem(), preview, &result.preview).IgnoreError();
    return result;
  };
  std::vector<Result> alone;
  for (size_t i = 0; i < photos.size(); ++i) alone.push_back(run(i, "alone" + std::to_string(i)));
  ASSERT_TRUE(alone[5].kept);

  std::vector<Result> together(4 * photos.size());
  RunAll(together.size(), 4, [&](size_t k) {
    together[k] = run(k % photos.size(), "together" + std::to_string(k));
  });
  for (size_t k = 0; k < together.size(); ++k) {
    SCOPED_TRACE(photos[k % photos.size()]);
    const Result& want = alone[k % photos.size()];
    EXPECT_TRUE(together[k].made);
    EXPECT_EQ(together[k].made, want.made);
    EXPECT_EQ(together[k].kept, want.kept);
    EXPECT_EQ(together[k].info.dateTaken, want.info.dateTaken);
    EXPECT_EQ(together[k].info.width, want.info.width);
    EXPECT_EQ(together[k].info.height, want.info.height);
    EXPECT_TRUE(together[k].thumbnail == want.thumbnail);
    EXPECT_TRUE(together[k].preview == want.preview);
  }
}

}  // namespace

}  // namespace tavirelle
