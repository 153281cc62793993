#include "imaging/photo_image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

using namespace testing_images;

// What Load gives for one photo.
struct Loaded {
  PictureOutcome outcome;
  DecodedImage image;
  bool ok() const { return outcome.ok(); }
};

Loaded LoadPhoto(FileSystem& fs, const std::string& path, PixelSize box = {}) {
  Loaded loaded;
  loaded.outcome = PhotoImage(fs).Load(path, box, &loaded.image);
  return loaded;
}

Loaded LoadPhoto(const std::string& path, PixelSize box = {}) {
  return LoadPhoto(DefaultFileSystem(), path, box);
}

class PhotoImageTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path, bytes).ok());
    return path;
  }
  TempDir dir_;
};

struct Reduction {
  uint32_t width, height;      // of the JPEG
  uint32_t boxWidth, boxHeight;
  uint32_t decodedWidth, decodedHeight;
};

class JpegReductionTest : public PhotoImageTest,
                          public ::testing::WithParamInterface<Reduction> {};

// The decoder reduces by the largest power of two that still leaves at
// least the size that fits the box, and not at all when one side already
// matches the box.
TEST_P(JpegReductionTest, DecodesAtReducedSize) {
  const Reduction& r = GetParam();
  const std::string path = Write("photo.jpg", EncodeJpeg(r.width, r.height));
  const Loaded loaded = LoadPhoto(path, {r.boxWidth, r.boxHeight});
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.outcome.source, (PixelSize{r.width, r.height}));
  EXPECT_EQ(loaded.image.size, (PixelSize{r.decodedWidth, r.decodedHeight}));
  EXPECT_NE(loaded.image.pixels, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, JpegReductionTest,
    ::testing::Values(Reduction{3264, 2448, 133, 100, 408, 306},
                      Reduction{2448, 3264, 133, 100, 306, 408},
                      Reduction{3000, 2000, 133, 100, 375, 250},
                      Reduction{4000, 1000, 133, 100, 500, 125},
                      Reduction{10, 2000, 133, 100, 2, 250},
                      Reduction{100, 75, 133, 100, 100, 75},   // box larger
                      Reduction{133, 1000, 133, 100, 133, 1000},  // width fits
                      Reduction{1200, 100, 133, 100, 1200, 100},  // height fits
                      Reduction{532, 400, 133, 100, 133, 100},    // exactly 1/4
                      Reduction{300, 200, 133, 100, 150, 100},    // 1/2
                      Reduction{640, 480, 0, 0, 80, 60}));        // no box: 1/8

// Rows come out top to bottom, each pixel red, green, blue.
TEST_F(PhotoImageTest, JpegPixelsAreTopDownRgb) {
  auto pixel = [](uint32_t, uint32_t y, uint8_t* rgb) {
    rgb[0] = y < 32 ? 250 : 0;
    rgb[1] = 0;
    rgb[2] = y < 32 ? 0 : 250;
  };
  const std::string path = Write("p.jpg", EncodeJpeg(64, 64, pixel));
  for (uint32_t box : {0u, 1000u}) {  // reduced and full size
    const Loaded loaded = LoadPhoto(path, {box, box});
    ASSERT_TRUE(loaded.ok());
    const uint8_t* top = loaded.image.pixels.get();
    const uint8_t* bottom = top + loaded.image.bytes() - 3;
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 50);
    EXPECT_LT(bottom[0], 50);
    EXPECT_GT(bottom[2], 200);
  }
}

// Four flat quadrants: a light red, a dark blue, a mid grey and white, so
// that each ink (and the black channel) has to come out right.
void QuadrantPixel(uint32_t x, uint32_t y, uint8_t* rgb) {
  static const uint8_t kColors[4][3] = {
      {220, 60, 40}, {20, 30, 90}, {128, 128, 128}, {255, 255, 255}};
  const uint8_t* c = kColors[(y < 32 ? 0 : 2) + (x < 32 ? 0 : 1)];
  std::copy(c, c + 3, rgb);
}

// Grey, CMYK and YCCK pictures all decode to the RGB colours they were made
// of, with Adobe's inverted ink and plain ink told apart by the APP14 marker.
TEST_F(PhotoImageTest, GreyCmykAndYcckJpegsDecodeAsRgb) {
  const struct {
    JpegColor color;
    const char* name;
  } cases[] = {{JpegColor::kGrey, "grey"},
               {JpegColor::kCmyk, "adobe_cmyk"},
               {JpegColor::kYcck, "adobe_ycck"},
               {JpegColor::kPlainCmyk, "plain_cmyk"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JpegOptions options;
    options.color = c.color;
    options.quality = 95;
    for (uint32_t box : {64u, 0u}) {  // full size, and reduced by the decoder
      const Loaded loaded =
          LoadPhoto(Write("c.jpg", EncodeJpeg(64, 64, QuadrantPixel, options)), {box, 0});
      ASSERT_TRUE(loaded.ok());
      const uint32_t side = box == 0 ? 8 : 64;
      ASSERT_EQ(loaded.image.size, (PixelSize{side, side}));
      for (uint32_t q = 0; q < 4; ++q) {
        const uint32_t x = (q % 2) * side / 2 + side / 4, y = (q / 2) * side / 2 + side / 4;
        uint8_t want[3];
        QuadrantPixel(x * 64 / side, y * 64 / side, want);
        if (c.color == JpegColor::kGrey) {
          want[0] = want[1] = want[2] = static_cast<uint8_t>((want[0] + want[1] + want[2]) / 3);
        }
        const uint8_t* got = loaded.image.pixels.get() + (y * side + x) * 3;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 8) << "quadrant " << q;
      }
    }
  }
}

TEST_F(PhotoImageTest, ProgressiveJpegIsReducedToo) {
  JpegOptions progressive;
  progressive.progressive = true;
  const Loaded loaded =
      LoadPhoto(Write("p.jpg", EncodeJpeg(1064, 800, GradientPixel, progressive)), {133, 100});
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size, (PixelSize{133, 100}));
}

// A JPEG is known by its content, a bitmap only by its ".bmp" name.
TEST_F(PhotoImageTest, ChoosesDecoderByContentThenName) {
  BmpLayout bmp;
  bmp.width = 120;
  bmp.height = 150;
  bmp.rows = StoredRows(120, 150, 24, [](uint32_t x, uint32_t) { return x; });
  const std::string bitmap = BuildBmp(bmp);

  const PixelSize box{133, 100};
  // A JPEG named .bmp: reduced, so libjpeg decoded it.
  Loaded loaded = LoadPhoto(Write("jpeg.bmp", EncodeJpeg(3264, 2448)), box);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size.width, 408u);

  loaded = LoadPhoto(Write("upper.BMP", bitmap), box);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size, (PixelSize{120, 150}));
  EXPECT_EQ(loaded.outcome.source.width, 120u);

  const std::string dib = Write("bitmap.dib", bitmap);
  loaded = LoadPhoto(dib, box);
  EXPECT_EQ(loaded.outcome.failure, PictureFailure::kNotAPicture);
  EXPECT_EQ(loaded.image.pixels, nullptr);
  int32_t w = -1, h = -1;
  ASSERT_TRUE(ReadImageSize(DefaultFileSystem(), dib, &w, &h));
  EXPECT_EQ(w, 120);
  EXPECT_EQ(h, 150);
  // The copy of a bitmap, named otherwise, is read as its original's name
  // says.
  PhotoImage image(DefaultFileSystem());
  EXPECT_TRUE(image.Load(dib, box, &loaded.image, "original.bmp").ok());
  EXPECT_EQ(image.Load(Write("jpeg.dib", EncodeJpeg(8, 8)), box, &loaded.image, "x.bmp").failure,
            PictureFailure::kNone);

  EXPECT_FALSE(LoadPhoto(Write("text.jpg", "not an image at all"), box).ok());
  EXPECT_FALSE(LoadPhoto(dir_.Join("missing.jpg"), box).ok());
}

// Which formats a photo is tried as, by its name: a JPEG whatever the name,
// a bitmap only as ".bmp" in any case.
TEST(ImageFormatTest, ChoosesFormatsByName) {
  const struct {
    const char* name;
    std::vector<std::string> formats;
  } cases[] = {
      {"photo.jpg", {"JPEG"}},         {"photo.JPEG", {"JPEG"}},
      {"photo.bmp", {"JPEG", "BMP"}},  {"PHOTO.BMP", {"JPEG", "BMP"}},
      {"dir.bmp/photo", {"JPEG"}},     {"photo.dib", {"JPEG"}},
      {"photo.bmp.jpg", {"JPEG"}},     {"photo", {"JPEG"}},
      {".bmp", {"JPEG", "BMP"}},       {"photo.png", {"JPEG"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> formats;
    for (const ImageFormat* format : FormatsForName(c.name)) formats.push_back(format->name);
    EXPECT_EQ(formats, c.formats) << c.name;
  }
  EXPECT_EQ(FormatNamesInWords(), "JPEG or BMP");
}

TEST_F(PhotoImageTest, EmptyPathTouchesNoFile) {
  FaultInjectingFileSystem fs;
  EXPECT_EQ(LoadPhoto(fs, "").outcome.failure, PictureFailure::kUnreadable);
  EXPECT_EQ(fs.operations(), 0u);
}

// The pixels of each bitmap form: 24 bits reversed to RGB, 8 bits through
// the table (16 or 256 colours) or as grey, 4 bits through the table or
// black, 1 bit white or black whatever the table says.
TEST_F(PhotoImageTest, BitmapPixels) {
  struct Case {
    const char* name;
    uint16_t bits;
    uint32_t colorsUsed;
    uint32_t stored;  // the value of every pixel of column 1
    uint8_t rgb[3];
  };
  const Case cases[] = {
      {"24", 24, 0, 0x102030, {0x10, 0x20, 0x30}},
      {"24_count16_no_table", 24, 16, 0x102030, {0x10, 0x20, 0x30}},
      {"8_grey", 8, 0, 77, {77, 77, 77}},
      {"8_table256", 8, 256, 77, {77, 1, 2}},
      {"8_table16", 8, 16, 7, {7, 1, 2}},
      {"8_table16_beyond", 8, 16, 77, {0, 0, 0}},
      {"4_table16", 4, 16, 9, {9, 1, 2}},
      {"4_no_table", 4, 0, 9, {0, 0, 0}},
      {"1_set", 1, 2, 1, {255, 255, 255}},
      {"1_set_no_table", 1, 0, 1, {255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpLayout bmp;
    bmp.width = 33;  // odd sizes: padding and partial bytes
    bmp.height = 3;
    bmp.bitsPerPixel = c.bits;
    bmp.colorsUsed = c.colorsUsed;
    if (c.bits <= 8) {
      bmp.table.resize(c.colorsUsed ? c.colorsUsed : 1u << c.bits);
      for (size_t i = 0; i < bmp.table.size(); ++i) {
        bmp.table[i] = BmpColor{2, 1, uint8_t(i), 0};
      }
    }
    bmp.rows = StoredRows(33, 3, c.bits, [&](uint32_t x, uint32_t y) {
      return x == 1 ? c.stored : (x == 32 && y == 0 ? 1u : 0u);
    });
    const Loaded loaded = LoadPhoto(Write("b.bmp", BuildBmp(bmp)));
    ASSERT_TRUE(loaded.ok());
    ASSERT_EQ(loaded.image.size, (PixelSize{33, 3}));
    const uint8_t* pixels = loaded.image.pixels.get();
    for (uint32_t y = 0; y < 3; ++y) {
      const uint8_t* p = pixels + (y * 33 + 1) * 3;
      EXPECT_EQ(p[0], c.rgb[0]);
      EXPECT_EQ(p[1], c.rgb[1]);
      EXPECT_EQ(p[2], c.rgb[2]);
    }
    if (c.bits == 1) {
      // Only the top row's last pixel is set: rows are not flipped and the
      // 33rd pixel is bit 7 of the fifth byte.
      EXPECT_EQ(pixels[32 * 3], 255);
      EXPECT_EQ(pixels[(2 * 33 + 32) * 3], 0);
    }
  }
}

TEST_F(PhotoImageTest, BitmapRowOrderAndWideFormats) {
  auto value = [](uint32_t x, uint32_t y) { return (y * 40 + x) << 8; };
  for (int32_t height : {4, -4}) {
    BmpLayout bmp;
    bmp.width = 5;
    bmp.height = height;
    bmp.rows = StoredRows(5, height, 24, value);
    const Loaded loaded = LoadPhoto(Write("r.bmp", BuildBmp(bmp)));
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.image.size.height, 4u);
    for (uint32_t y = 0; y < 4; ++y) {
      EXPECT_EQ(loaded.image.pixels[(y * 5 + 2) * 3 + 1], y * 40 + 2);
    }
  }
  BmpLayout wide;
  wide.width = 2;
  wide.height = 1;
  wide.bitsPerPixel = 32;
  wide.rows = StoredRows(2, 1, 32, [](uint32_t x, uint32_t) { return x ? 0x00ABCDEFu : 0u; });
  const Loaded loaded = LoadPhoto(Write("w.bmp", BuildBmp(wide)));
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.pixels[3], 0xAB);
  EXPECT_EQ(loaded.image.pixels[4], 0xCD);
  EXPECT_EQ(loaded.image.pixels[5], 0xEF);

  BmpLayout rle = wide;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  EXPECT_FALSE(LoadPhoto(Write("rle.bmp", BuildBmp(rle))).ok());
}

// Sets the size in the SOF0 header of an encoded JPEG.
// Headers that claim more pixels than the file could encode, or more than
// the decoded-size limit, fail before any pixel buffer exists.
TEST_F(PhotoImageTest, OversizedJpegHeadersFail) {
  const std::string small = EncodeJpeg(16, 16);
  Loaded loaded = LoadPhoto(Write("claim.jpg", WithFrameSize(small, 65000, 65000)), {133, 100});
  EXPECT_FALSE(loaded.ok());
  EXPECT_EQ(loaded.image.pixels, nullptr);
  int32_t w = 0, h = 0;
  EXPECT_TRUE(ReadImageSize(DefaultFileSystem(), dir_.Join("claim.jpg"), &w, &h));  // only the size
  EXPECT_EQ(w, 65000);

  // Padded so the file could hold the image, decoded at full size because
  // its width equals the box: beyond the decoded-size limit.
  std::vector<std::string> padding(70, Segment(0xFE, std::string(65000, 'x')));
  const std::string padded = WithSegments(WithFrameSize(small, 60000, 60000), padding);
  loaded = LoadPhoto(Write("big.jpg", padded), {60000, 100});
  EXPECT_FALSE(loaded.ok());
  EXPECT_EQ(loaded.image.pixels, nullptr);
}

// Each way of not decoding a photo is told apart, so that the user learns
// why a photo has no thumbnail.
TEST_F(PhotoImageTest, FailuresSayWhy) {
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  const std::string grey = EncodeJpeg(16, 16, GradientPixel, progressive);
  progressive.color = JpegColor::kRgb;
  const std::string colour = EncodeJpeg(16, 16, GradientPixel, progressive);
  const struct {
    std::string name, bytes;
    PictureFailure failure;
    bool multiScan;
  } cases[] = {
      {"text.jpg", "not an image at all", PictureFailure::kNotAPicture, false},
      {"text.bmp", "not a bitmap either", PictureFailure::kNotAPicture, false},
      {"claim.jpg", WithFrameSize(EncodeJpeg(16, 16), 65000, 65000),
       PictureFailure::kDamaged, false},
      // Whole-image coefficients of 3.2 GB and 1.2 GB, however small the
      // file: refused before the decoder allocates them.
      {"grey.jpg", WithFrameSize(grey, 40000, 40000), PictureFailure::kTooLarge, true},
      {"colour.jpg", WithFrameSize(colour, 20000, 20000), PictureFailure::kTooLarge, true},
      // Just under the bound (4,194,304 blocks of one component): no longer
      // refused for its size, but as the cut-off file it is.
      {"fits.jpg", WithFrameSize(grey, 16384, 16384), PictureFailure::kDamaged, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded loaded = LoadPhoto(Write(c.name, c.bytes), {133, 100});
    EXPECT_EQ(loaded.outcome.failure, c.failure);
    EXPECT_EQ(loaded.outcome.multiScan, c.multiScan);
    EXPECT_EQ(loaded.image.pixels, nullptr);
  }
  Loaded loaded = LoadPhoto(dir_.Join("missing.jpg"), {133, 100});
  EXPECT_EQ(loaded.outcome.failure, PictureFailure::kUnreadable);
  EXPECT_EQ(loaded.outcome.status.code(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LoadPhoto(dir_.path(), {133, 100}).outcome.failure, PictureFailure::kNotAPicture);
  loaded = LoadPhoto(Write("ok.jpg", colour), {133, 100});
  ASSERT_TRUE(loaded.ok());
  EXPECT_TRUE(loaded.outcome.multiScan);
  EXPECT_TRUE(loaded.outcome.progressive);
}

// Segments larger than the reader's block are skipped, not read through.
TEST_F(PhotoImageTest, SkipsLargeSegments) {
  auto pixel = [](uint32_t, uint32_t, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = 200; };
  std::vector<std::string> padding(4, Segment(0xE2, std::string(65000, 'p')));
  const std::string path = Write("icc.jpg", WithSegments(EncodeJpeg(40, 30, pixel), padding));
  const Loaded loaded = LoadPhoto(path, {40, 0});
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size, (PixelSize{40, 30}));
  EXPECT_NEAR(loaded.image.pixels[loaded.image.bytes() / 2], 200, 2);
  int32_t w = 0, h = 0;
  EXPECT_TRUE(ReadImageSize(DefaultFileSystem(), path, &w, &h));
  EXPECT_EQ(h, 30);
}

TEST_F(PhotoImageTest, TruncatedAndFailingReads) {
  const std::string jpeg = EncodeJpeg(200, 150);
  // A cut-off stream still decodes (the rest is filled in), as photos cut
  // short by a failed copy do.
  Loaded loaded = LoadPhoto(Write("cut.jpg", jpeg.substr(0, jpeg.size() / 2)));
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size.width, 25u);

  const std::string path = Write("ok.jpg", jpeg);
  FaultInjectingFileSystem fs;
  fs.SetReadFailAfter(600);
  EXPECT_EQ(LoadPhoto(fs, path).outcome.failure, PictureFailure::kUnreadable);
  fs.Reset();
  fs.SetShortReads(7);
  loaded = LoadPhoto(fs, path);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.image.size.width, 25u);
}

TEST_F(PhotoImageTest, ReadImageSize) {
  BmpLayout bmp;
  bmp.width = 9;
  bmp.height = -4;
  bmp.rows = StoredRows(9, -4, 24, [](uint32_t, uint32_t) { return 0; });
  struct Case {
    std::string name, bytes;
    bool found;
    int32_t width, height;
  };
  const Case cases[] = {
      {"a.jpg", EncodeJpeg(321, 123), true, 321, 123},
      {"a.dat", EncodeJpeg(5, 6), true, 5, 6},
      {"b.any", BuildBmp(bmp), true, 9, 4},
      {"c.jpg", "garbage", false, 0, 0},
      {"d.jpg", "", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t w = -1, h = -1;
    EXPECT_EQ(ReadImageSize(DefaultFileSystem(), Write(c.name, c.bytes), &w, &h), c.found);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
  }
  int32_t w = -1, h = -1;
  EXPECT_FALSE(ReadImageSize(DefaultFileSystem(), dir_.Join("missing.jpg"), &w, &h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

}  // namespace

}  // namespace tavirelle
