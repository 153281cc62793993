#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/file_times.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

using namespace testing_images;

constexpr char kDate[] = "2009:07:14 18:02:11";

// A camera file: date in IFD0, SHORT pixel size in the Exif directory, a
// JPEG preview in IFD1.
ExifBuilder CameraExif(bool little, uint16_t width, uint16_t height,
                       const std::string& preview) {
  ExifBuilder exif(little);
  exif.ifd0.push_back(exif.Ascii(0x010F, "Maker"));
  exif.ifd0.push_back(exif.Ascii(0x0132, kDate));
  exif.exif.push_back(exif.Short(0xA002, width));
  exif.exif.push_back(exif.Short(0xA003, height));
  exif.ifd1.push_back(exif.Long(0x011A, 72));
  exif.preview = preview;
  return exif;
}

class MetadataTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), path, bytes).ok());
    return path;
  }
  // Reads `photo` with the preview going to "thumbs/preview.jpg".
  bool Read(const std::string& photo, PhotoMetadata* info) {
    PhotoImage image(DefaultFileSystem());
    return image.ReadPhotoMetadata(photo, Preview(), info).kept();
  }
  std::string Preview() const { return dir_.Join("thumbs/preview.jpg"); }
  bool PreviewExists() const { return PathExists(DefaultFileSystem(), Preview()); }

  TempDir dir_;
  const std::string photo_ = EncodeJpeg(64, 48);
  const std::string landscape_ = EncodeJpeg(32, 24);
  const std::string portrait_ = EncodeJpeg(24, 32);
};

class ByteOrderTest : public MetadataTest,
                      public ::testing::WithParamInterface<bool> {};

TEST_P(ByteOrderTest, ReadsCameraFile) {
  const ExifBuilder exif = CameraExif(GetParam(), 3264, 2448, landscape_);
  PhotoMetadata info;
  EXPECT_TRUE(Read(Write("p.jpg", WithExif(photo_, exif)), &info));
  EXPECT_EQ(info.dateTaken, kDate);
  EXPECT_EQ(info.width, 3264);
  EXPECT_EQ(info.height, 2448);
  std::string written;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), Preview(), &written).ok());
  EXPECT_EQ(written, landscape_);
}

INSTANTIATE_TEST_SUITE_P(Orders, ByteOrderTest, ::testing::Values(true, false),
                         [](const auto& info) {
                           return std::string(info.param ? "II" : "MM");
                         });

// The preview is kept only when it is landscape exactly when the photo is;
// a square counts as not landscape.
TEST_F(MetadataTest, PreviewOrientationMustMatch) {
  struct Case {
    uint16_t width, height;
    bool portraitPreview;
    bool kept;
  };
  const Case cases[] = {{3264, 2448, false, true}, {2448, 3264, false, false},
                        {2448, 3264, true, true},  {3264, 2448, true, false},
                        {2000, 2000, false, false}, {2000, 2000, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height
                                    << (c.portraitPreview ? " portrait" : ""));
    const ExifBuilder exif = CameraExif(true, c.width, c.height,
                                        c.portraitPreview ? portrait_ : landscape_);
    PhotoMetadata info;
    EXPECT_EQ(Read(Write("p.jpg", WithExif(photo_, exif)), &info), c.kept);
    EXPECT_EQ(PreviewExists(), c.kept);
  }
}

// A phone keeps a portrait photo sideways and says how to turn it; the
// reader passes that on, and a show can only take the plain turns of it.
TEST_P(ByteOrderTest, ReadsTheOrientationAndWritesNothingWithoutAPreviewPath) {
  struct Case {
    std::optional<IfdEntry> entry;
    int32_t orientation, turns;
  };
  const ExifBuilder maker(GetParam());
  const Case cases[] = {
      {maker.Short(0x0112, 1), 1, 0}, {maker.Short(0x0112, 6), 6, 1},
      {maker.Short(0x0112, 3), 3, 2}, {maker.Short(0x0112, 8), 8, 3},
      {maker.Short(0x0112, 5), 5, 0}, {maker.Short(0x0112, 9), 0, 0},
      {maker.Long(0x0112, 6), 0, 0},  {std::nullopt, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    ExifBuilder exif = CameraExif(GetParam(), 64, 48, landscape_);
    if (c.entry) exif.ifd0.insert(exif.ifd0.begin() + 1, *c.entry);
    const std::string path = Write("p.jpg", WithExif(photo_, exif));
    PhotoMetadata info;
    Read(path, &info);
    EXPECT_EQ(info.orientation, c.orientation);
    EXPECT_EQ(QuarterTurnsOf(info.orientation), c.turns);
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(Preview()).ok());
    EXPECT_EQ(ReadExifOrientation(DefaultFileSystem(), path), c.orientation);
    EXPECT_FALSE(PreviewExists());
  }
}

TEST_F(MetadataTest, UnsetClockTakesFileDate) {
  if (!InTestTimeZone()) GTEST_SKIP() << kNotInTestTimeZone;
  ExifBuilder exif = CameraExif(true, 64, 48, landscape_);
  exif.ifd0[1] = exif.Ascii(0x0132, "0000:00:00 00:00:00");
  const std::string path = Write("p.jpg", WithExif(photo_, exif));
  SetLastWrite(path, 1700000000, 500000000);  // 2023-11-14 22:13:20.5 UTC
  PhotoMetadata info;
  Read(path, &info);
  EXPECT_EQ(info.dateTaken, "2023:11:15 03:58:20");
}

// Cases where the walk ends early; what was read before stays, and the size
// comes from the image itself when the EXIF block did not give it.
struct Walk {
  const char* name;
  std::function<void(ExifBuilder&)> change;
  const char* date;
  int32_t width, height;
  bool kept;
};

class WalkTest : public MetadataTest, public ::testing::WithParamInterface<Walk> {};

TEST_P(WalkTest, EndsWhereItMust) {
  ExifBuilder exif = CameraExif(true, 640, 480, landscape_);
  GetParam().change(exif);
  PhotoMetadata info;
  EXPECT_EQ(Read(Write("p.jpg", WithExif(photo_, exif)), &info), GetParam().kept);
  EXPECT_EQ(info.dateTaken, GetParam().date);
  EXPECT_EQ(info.width, GetParam().width);
  EXPECT_EQ(info.height, GetParam().height);
  EXPECT_EQ(PreviewExists(), GetParam().kept);
}

void AddEntries(std::vector<IfdEntry>& dir, const ExifBuilder& b, int n) {
  for (int i = 0; i < n; ++i) dir.insert(dir.begin(), b.Short(0x9000 + i, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WalkTest,
    ::testing::Values(
        Walk{"complete", [](ExifBuilder&) {}, kDate, 640, 480, true},
        Walk{"long_pixel_size", [](ExifBuilder& b) {
               b.exif = {b.Long(0xA002, 4000), b.Long(0xA003, 3000)}; },
             kDate, 64, 48, true},
        Walk{"ifd0_50", [](ExifBuilder& b) { AddEntries(b.ifd0, b, 47); },
             kDate, 640, 480, true},
        Walk{"ifd0_51", [](ExifBuilder& b) { AddEntries(b.ifd0, b, 48); },
             "", 64, 48, false},
        Walk{"exif_75", [](ExifBuilder& b) { AddEntries(b.exif, b, 73); },
             kDate, 640, 480, true},
        Walk{"exif_76", [](ExifBuilder& b) { AddEntries(b.exif, b, 74); },
             kDate, 64, 48, false},
        Walk{"ifd1_51", [](ExifBuilder& b) { AddEntries(b.ifd1, b, 47); },
             kDate, 640, 480, false},
        // A preview directory cut short yields no preview, whatever it
        // gave before the break.
        Walk{"ifd1_bad_type_after_preview", [](ExifBuilder& b) {
               b.ifd1Tail.push_back(b.Raw(0x0100, 13, 1, 0)); },
             kDate, 640, 480, false},
        Walk{"ifd1_good_entry_after_preview", [](ExifBuilder& b) {
               b.ifd1Tail.push_back(b.Short(0x0128, 2)); },
             kDate, 640, 480, true},
        Walk{"ifd1_offset_0", [](ExifBuilder& b) { b.ifd1Offset = 0; },
             kDate, 640, 480, false},
        Walk{"no_exif_pointer", [](ExifBuilder& b) { b.writeExifPointer = false; },
             kDate, 64, 48, false},
        Walk{"exif_pointer_past_file", [](ExifBuilder& b) { b.exifPointer = 1u << 20; },
             kDate, 64, 48, true},
        Walk{"bad_type_ifd0", [](ExifBuilder& b) {
               b.ifd0.insert(b.ifd0.begin() + 1, b.Raw(0x0100, 13, 1, 0)); },
             "", 64, 48, false},
        Walk{"bad_type_exif", [](ExifBuilder& b) {
               b.exif.insert(b.exif.begin() + 1, b.Raw(0x0100, 0, 1, 0)); },
             kDate, 64, 48, false},
        Walk{"compression_not_jpeg", [](ExifBuilder& b) { b.previewCompression = 1; },
             kDate, 640, 480, false},
        Walk{"bad_byte_order", [](ExifBuilder& b) { b.byteOrderMark = "IM"; },
             "", 64, 48, false},
        Walk{"bad_magic", [](ExifBuilder& b) { b.magic = 43; }, "", 64, 48, false},
        Walk{"short_date_in_field", [](ExifBuilder& b) { b.ifd0[1] = b.Ascii(0x0132, "abc"); },
             "abc", 640, 480, true},
        Walk{"date_without_nul", [](ExifBuilder& b) {
               b.ifd0[1] = {0x0132, kAscii, 6, "123456", std::nullopt}; },
             "123456", 640, 480, true},
        Walk{"date_past_file", [](ExifBuilder& b) {
               b.ifd0[1] = b.Raw(0x0132, kAscii, 20, 1u << 24); },
             "", 640, 480, true},
        Walk{"date_count_huge", [](ExifBuilder& b) {
               b.ifd0[1] = b.Raw(0x0132, kDouble, 0xFFFFFFFF, 8); },
             "", 640, 480, true},
        Walk{"preview_past_file", [](ExifBuilder& b) { b.previewLength = 1u << 24; },
             kDate, 640, 480, false},
        Walk{"preview_offset_past_file", [](ExifBuilder& b) { b.previewOffset = 0xFFFFFFF0; },
             kDate, 640, 480, false},
        Walk{"preview_not_jpeg", [](ExifBuilder& b) { b.preview = "not a jpeg"; },
             kDate, 640, 480, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MetadataTest, SegmentsBeforeTheExifBlock) {
  const ExifBuilder exif = CameraExif(false, 640, 480, landscape_);
  PhotoMetadata info;
  // The encoder's JFIF APP0, then Exif: read.
  EXPECT_TRUE(Read(Write("a.jpg", WithExif(photo_, exif, true)), &info));
  EXPECT_EQ(info.dateTaken, kDate);
  DefaultFileSystem().DeleteFile(Preview()).IgnoreError();

  // XMP is the first APP1: nothing but the size from the image.
  PhotoMetadata xmp;
  EXPECT_FALSE(Read(Write("x.jpg", WithSegments(photo_, {XmpSegment(), exif.App1()}, true)), &xmp));
  EXPECT_EQ(xmp.dateTaken, "");
  EXPECT_EQ(xmp.width, 64);
  EXPECT_EQ(xmp.height, 48);
  EXPECT_FALSE(PreviewExists());

  // The walk only follows segments whose successor lies in the window it
  // holds: a short APP2 is stepped over, a long one ends the walk.
  for (size_t size : {2000u, 3000u}) {
    PhotoMetadata after;
    const std::string file = WithSegments(
        photo_, {Segment(0xE2, std::string(size, 'i')), exif.App1()}, true);
    EXPECT_EQ(Read(Write("i.jpg", file), &after), size == 2000u);
    EXPECT_EQ(after.dateTaken, size == 2000u ? kDate : "");
  }
}

// Values and directories far from the block's start are read from their own
// file positions.
TEST_F(MetadataTest, DistantValuesAreRead) {
  ExifBuilder exif = CameraExif(true, 640, 480, landscape_);
  exif.ifd0.insert(exif.ifd0.begin(),
                   IfdEntry{0x010E, kAscii, 6000, std::string(5999, 'd') + '\0', {}});
  PhotoMetadata info;
  EXPECT_TRUE(Read(Write("p.jpg", WithExif(photo_, exif)), &info));
  EXPECT_EQ(info.dateTaken, kDate);
  EXPECT_EQ(info.width, 640);
}

TEST_F(MetadataTest, NotAJpeg) {
  BmpLayout bmp;
  bmp.width = 7;
  bmp.height = 5;
  bmp.rows = StoredRows(7, 5, 24, [](uint32_t, uint32_t) { return 0; });
  PhotoMetadata info;
  EXPECT_FALSE(Read(Write("b.bmp", BuildBmp(bmp)), &info));
  EXPECT_EQ(info.width, 7);
  EXPECT_EQ(info.height, 5);

  PhotoMetadata missing;
  EXPECT_FALSE(Read(dir_.Join("none.jpg"), &missing));
  EXPECT_EQ(missing.dateTaken, "");
  EXPECT_EQ(missing.width, 0);
  EXPECT_EQ(missing.height, 0);
}

// A preview that cannot be written is told apart from none, and a partial
// one is removed: it would be taken for a good thumbnail later.
TEST_F(MetadataTest, FailedPreviewWrite) {
  const std::string photo =
      Write("p.jpg", WithExif(photo_, CameraExif(true, 640, 480, landscape_)));
  FaultInjectingFileSystem fs;
  for (bool diskFull : {false, true}) {
    SCOPED_TRACE(diskFull ? "disk full" : "access denied");
    fs.Reset();
    if (diskFull) {
      fs.SetDiskFullAfter(10);
    } else {
      fs.DenyAccess("preview");
    }
    PhotoImage image(fs);
    PhotoMetadata info;
    const PreviewResult preview = image.ReadPhotoMetadata(photo, Preview(), &info);
    EXPECT_EQ(info.dateTaken, kDate);
    EXPECT_EQ(preview.outcome, PreviewOutcome::kUnwritable);
    EXPECT_EQ(preview.status.code(), diskFull ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
    fs.Reset();
    EXPECT_FALSE(PreviewExists());
  }
  // The other outcomes, for contrast.
  const struct {
    std::string photo;
    PreviewOutcome outcome;
  } cases[] = {{photo, PreviewOutcome::kKept},
               {Write("none.jpg", photo_), PreviewOutcome::kNone},
               {Write("turned.jpg", WithExif(photo_, CameraExif(true, 480, 640, landscape_))),
                PreviewOutcome::kDiscarded}};
  for (const auto& c : cases) {
    PhotoImage image(fs);
    PhotoMetadata info;
    EXPECT_EQ(image.ReadPhotoMetadata(c.photo, Preview(), &info).outcome, c.outcome) << c.photo;
  }
}

// Damaged blocks never crash, hang or read outside the file, and what the
// reader reports still agrees with what it left behind.
TEST_F(MetadataTest, SurvivesCorruption) {
  int kept = 0;
  int rounds = 0;
  for (bool little : {true, false}) {
    const std::string good = WithExif(photo_, CameraExif(little, 640, 480, landscape_));
    std::mt19937 random(little ? 1 : 2);
    for (int round = 0; round < 300; ++round, ++rounds) {
      std::string bad = good;
      const int changes = 1 + round % 8;
      for (int i = 0; i < changes; ++i) {
        bad[random() % 600] = static_cast<char>(random());
      }
      PhotoMetadata info;
      const bool reported = Read(Write("f.jpg", bad), &info);
      ASSERT_EQ(reported, PreviewExists()) << "round " << round;
      EXPECT_EQ(info.dateTaken.find('\0'), std::string::npos) << "round " << round;
      EXPECT_LE(info.dateTaken.size(), bad.size());
      kept += reported ? 1 : 0;
      DefaultFileSystem().DeleteFile(Preview()).IgnoreError();
    }
  }
  // The damage reaches both ways out, or the rounds above prove little.
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, rounds);
}

}  // namespace

}  // namespace tavirelle
