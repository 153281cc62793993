#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

using testing_images::BmpColor;
using testing_images::BmpLayout;
using testing_images::BuildBmp;
using testing_images::StoredRows;

uint32_t Pattern(uint32_t x, uint32_t y) { return x * 7 + y * 13 + (x ^ y); }

class BitmapTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes, const std::string& name = "b.bmp") {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path, bytes).ok());
    return path;
  }
  TempDir dir_;
};

struct Format {
  uint16_t bits;
  int32_t width;
  int32_t height;  // negative: stored top-down
  uint32_t colorsUsed;
};

class BitmapFormatTest : public BitmapTest,
                         public ::testing::WithParamInterface<Format> {};

// Palette formats come back exactly as stored, bottom row first, whatever
// the row order in the file.
TEST_P(BitmapFormatTest, KeepsStoredRowsBottomUp) {
  const Format f = GetParam();
  const uint32_t mask = f.bits == 24 ? 0xFFFFFF : (1u << f.bits) - 1;
  auto value = [&](uint32_t x, uint32_t y) { return Pattern(x, y) & mask; };
  BmpLayout bmp;
  bmp.width = f.width;
  bmp.height = f.height;
  bmp.bitsPerPixel = f.bits;
  bmp.colorsUsed = f.colorsUsed;
  if (f.bits <= 8) {
    bmp.table.resize(f.colorsUsed ? f.colorsUsed : 1u << f.bits);
    for (size_t i = 0; i < bmp.table.size(); ++i) {
      bmp.table[i] = BmpColor{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    }
  }
  bmp.rows = StoredRows(f.width, f.height, f.bits, value);

  DibSection dib;
  ASSERT_TRUE(LoadBitmapFile(DefaultFileSystem(), Write(BuildBmp(bmp)), &dib).ok());
  const int32_t rows = f.height < 0 ? -f.height : f.height;
  EXPECT_EQ(dib.width, f.width);
  EXPECT_EQ(dib.height, rows);
  EXPECT_EQ(dib.bitsPerPixel, f.bits);
  EXPECT_EQ(dib.colorsUsed, f.colorsUsed);
  EXPECT_EQ(dib.stride, DibStride(f.width, f.bits));
  EXPECT_EQ(dib.stride % 4, 0u);
  const std::string bottomUp = StoredRows(f.width, rows, f.bits, value);
  EXPECT_EQ(std::string(dib.bits.begin(), dib.bits.end()), bottomUp);
  ASSERT_EQ(dib.colorTable.size(), bmp.table.size());
  for (size_t i = 0; i < bmp.table.size(); ++i) {
    EXPECT_EQ(dib.colorTable[i].red, bmp.table[i].red);
    EXPECT_EQ(dib.colorTable[i].blue, bmp.table[i].blue);
  }

  int32_t w = 0, h = 0;
  ASSERT_TRUE(ReadBitmapFileSize(DefaultFileSystem(), dir_.Join("b.bmp"), &w, &h).ok());
  EXPECT_EQ(w, f.width);
  EXPECT_EQ(h, rows);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BitmapFormatTest,
    ::testing::Values(Format{24, 5, 3, 0}, Format{24, 4, -3, 0},
                      Format{8, 7, 4, 0}, Format{8, 7, 4, 256},
                      Format{8, 3, 2, 16}, Format{4, 9, 3, 16},
                      Format{4, 9, 3, 0}, Format{1, 33, 2, 0},
                      Format{1, 33, -2, 2}, Format{1, 1, 1, 0}));

TEST_F(BitmapTest, StrideIsWholeBytesRoundedToFour) {
  EXPECT_EQ(DibStride(33, 1), 8u);  // 5 bytes of bits
  EXPECT_EQ(DibStride(32, 1), 4u);
  EXPECT_EQ(DibStride(9, 4), 8u);
  EXPECT_EQ(DibStride(5, 8), 8u);
  EXPECT_EQ(DibStride(5, 24), 16u);
  EXPECT_EQ(DibStride(4, 24), 12u);
}

struct Conversion {
  const char* name;
  uint16_t bits;
  uint32_t compression;
  std::vector<uint32_t> masks;
  uint32_t headerSize;
  uint32_t stored;
  uint8_t red, green, blue;
};

class BitmapConversionTest : public BitmapTest,
                             public ::testing::WithParamInterface<Conversion> {};

// 16 and 32-bit pixels become blue, green, red bytes, full scale staying
// full scale.
TEST_P(BitmapConversionTest, ConvertsToTwentyFourBits) {
  const Conversion& c = GetParam();
  BmpLayout bmp;
  bmp.width = 3;
  bmp.height = 2;
  bmp.bitsPerPixel = c.bits;
  bmp.compression = c.compression;
  bmp.masks = c.masks;
  bmp.headerSize = c.headerSize;
  bmp.rows = StoredRows(3, 2, c.bits, [&](uint32_t x, uint32_t) {
    return x == 1 ? c.stored : 0;
  });
  DibSection dib;
  ASSERT_TRUE(LoadBitmapFile(DefaultFileSystem(), Write(BuildBmp(bmp)), &dib).ok());
  EXPECT_EQ(dib.bitsPerPixel, 24);
  EXPECT_EQ(dib.stride, 12u);
  for (uint32_t row = 0; row < 2; ++row) {
    const uint8_t* pixel = dib.bits.data() + row * 12 + 3;
    EXPECT_EQ(pixel[0], c.blue);
    EXPECT_EQ(pixel[1], c.green);
    EXPECT_EQ(pixel[2], c.red);
    EXPECT_EQ(dib.bits[row * 12], 0);  // pixel 0 is black
  }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, BitmapConversionTest,
    ::testing::Values(
        Conversion{"rgb555_white", 16, 0, {}, 40, 0x7FFF, 255, 255, 255},
        Conversion{"rgb555_red", 16, 0, {}, 40, 0x7C00, 255, 0, 0},
        Conversion{"rgb555_mid", 16, 0, {}, 40, 0x0210, 0, 132, 16 * 8 + 4},
        Conversion{"bitfields565_green", 16, 3, {0xF800, 0x07E0, 0x001F}, 40,
                   0x07E0, 0, 255, 0},
        Conversion{"bitfields565_in_v5", 16, 3, {0xF800, 0x07E0, 0x001F}, 124,
                   0xF81F, 255, 0, 255},
        Conversion{"rgb32", 32, 0, {}, 40, 0xAA123456, 0x12, 0x34, 0x56},
        Conversion{"bitfields32_bgr", 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000},
                   40, 0x00332211, 0x11, 0x22, 0x33},
        Conversion{"bitfields32_10bit", 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF},
                   108, 0x3FF00000 | (0x200u << 10), 255, 128, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitmapTest, ReadsCoreHeaderWithThreeByteTable) {
  BmpLayout bmp;
  bmp.headerSize = 12;
  bmp.width = 3;
  bmp.height = 2;
  bmp.bitsPerPixel = 8;
  bmp.table.resize(256);
  bmp.table[5] = BmpColor{1, 2, 3, 0};
  bmp.rows = StoredRows(3, 2, 8, [](uint32_t, uint32_t) { return 5; });
  DibSection dib;
  ASSERT_TRUE(LoadBitmapFile(DefaultFileSystem(), Write(BuildBmp(bmp)), &dib).ok());
  EXPECT_EQ(dib.colorTable.size(), 256u);
  EXPECT_EQ(dib.colorTable[5].red, 3);
  EXPECT_EQ(dib.colorTable[5].blue, 1);
  EXPECT_EQ(dib.bits[0], 5);
}

struct Damage {
  const char* name;
  std::function<void(BmpLayout&)> change;
  std::function<void(std::string&)> corrupt;
};

class BitmapDamageTest : public BitmapTest,
                         public ::testing::WithParamInterface<Damage> {};

// Every bad header is refused by both the loader and the size reader,
// before anything of the claimed size is allocated.
TEST_P(BitmapDamageTest, IsRefused) {
  const Damage& d = GetParam();
  BmpLayout bmp;
  bmp.width = 4;
  bmp.height = 4;
  bmp.bitsPerPixel = 24;
  bmp.rows = StoredRows(4, 4, 24, Pattern);
  if (d.change) d.change(bmp);
  std::string bytes = BuildBmp(bmp);
  if (d.corrupt) d.corrupt(bytes);
  const std::string path = Write(bytes);
  DibSection dib;
  EXPECT_FALSE(LoadBitmapFile(DefaultFileSystem(), path, &dib).ok());
  int32_t w = -1, h = -1;
  EXPECT_FALSE(ReadBitmapFileSize(DefaultFileSystem(), path, &w, &h).ok());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BitmapDamageTest,
    ::testing::Values(
        Damage{"rle8_24", [](BmpLayout& s) { s.compression = 1; }, {}},
        Damage{"embedded_jpeg", [](BmpLayout& s) { s.compression = 4; }, {}},
        Damage{"bitfields_24",
               [](BmpLayout& s) {
                 s.compression = 3;
                 s.masks = {0xFF0000, 0xFF00, 0xFF};
               },
               {}},
        Damage{"mask_not_contiguous",
               [](BmpLayout& s) {
                 s.bitsPerPixel = 16;
                 s.compression = 3;
                 s.masks = {0xF801, 0x07E0, 0x001E};
                 s.rows = StoredRows(4, 4, 16, Pattern);
               },
               {}},
        Damage{"zero_mask",
               [](BmpLayout& s) {
                 s.bitsPerPixel = 32;
                 s.compression = 3;
                 s.masks = {0, 0xFF00, 0xFF};
               },
               {}},
        Damage{"zero_width", [](BmpLayout& s) { s.width = 0; }, {}},
        Damage{"negative_width", [](BmpLayout& s) { s.width = -4; }, {}},
        Damage{"zero_height", [](BmpLayout& s) { s.height = 0; }, {}},
        Damage{"two_planes", [](BmpLayout& s) { s.planes = 2; }, {}},
        Damage{"bits_7", [](BmpLayout& s) { s.bitsPerPixel = 7; }, {}},
        Damage{"colors_over_depth",
               [](BmpLayout& s) {
                 s.bitsPerPixel = 4;
                 s.colorsUsed = 17;
                 s.table.resize(17);
                 s.rows = StoredRows(4, 4, 4, Pattern);
               },
               {}},
        Damage{"table_past_end",
               [](BmpLayout& s) {
                 s.bitsPerPixel = 8;
                 s.colorsUsed = 0;
                 s.table.resize(2);
                 s.rows = "";
               },
               {}},
        Damage{"rows_short", [](BmpLayout& s) { s.rows.resize(s.rows.size() - 1); }, {}},
        Damage{"huge_claim",
               [](BmpLayout& s) {
                 s.width = 0x7FFFFFFF;
                 s.height = 0x7FFFFFFF;
               },
               {}},
        Damage{"min_height", [](BmpLayout& s) { s.height = INT32_MIN; }, {}},
        Damage{"bits_offset_past_end", [](BmpLayout& s) { s.bitsOffset = 1u << 30; }, {}},
        Damage{"bits_offset_in_header", [](BmpLayout& s) { s.bitsOffset = 20; }, {}},
        Damage{"header_size_200", {}, [](std::string& b) { b[14] = char(200); }},
        Damage{"not_bm", {}, [](std::string& b) { b[0] = 'X'; }},
        Damage{"only_file_header", {}, [](std::string& b) { b.resize(16); }},
        Damage{"empty", {}, [](std::string& b) { b.clear(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Run-length bitmaps have a size but give no pixels.
TEST_F(BitmapTest, RunLengthGivesSizeOnly) {
  for (uint16_t bits : {8, 4}) {
    BmpLayout bmp;
    bmp.width = 300;
    bmp.height = 200;
    bmp.bitsPerPixel = bits;
    bmp.compression = bits == 8 ? 1 : 2;
    bmp.table.resize(1u << bits);
    bmp.rows = std::string("\x00\x01", 2);  // end of bitmap
    const std::string path = Write(BuildBmp(bmp));
    DibSection dib;
    EXPECT_FALSE(LoadBitmapFile(DefaultFileSystem(), path, &dib).ok());
    int32_t w = 0, h = 0;
    ASSERT_TRUE(ReadBitmapFileSize(DefaultFileSystem(), path, &w, &h).ok());
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);
  }
}

TEST_F(BitmapTest, MissingFileFails) {
  DibSection dib;
  EXPECT_FALSE(LoadBitmapFile(DefaultFileSystem(), dir_.Join("none.bmp"), &dib).ok());
  int32_t w = 0, h = 0;
  EXPECT_FALSE(ReadBitmapFileSize(DefaultFileSystem(), dir_.Join("none.bmp"), &w, &h).ok());
}

}  // namespace

}  // namespace tavirelle
