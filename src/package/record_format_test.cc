#include "package/record_format.h"

#include <gtest/gtest.h>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "testing/package_builder.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string U32(uint32_t v) {
  return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
}

std::string TextRecord(int tag, const std::string& text) {
  return Bytes({tag, 1, int(text.size() & 0xFF), int(text.size() >> 8)}) + text;
}

std::string Int32Record(int tag, uint32_t v) { return Bytes({tag, 2}) + U32(v); }

std::string StoredFile(const std::string& name, const std::string& data) {
  return Bytes({0xCE, 0}) + U32(uint32_t(4 + name.size() + 6 + data.size())) +
         TextRecord(0xCD, name) + Bytes({0xCE, 0}) + U32(uint32_t(data.size())) + data;
}

TEST(PackageLayout, WriterOutputForASmallFolderIsExact) {
  TempDir dir;
  std::string show = dir.Join("show/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show).ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "meta.xml", "<qx/>").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "photo.jpg", "JPEG").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "__w133_h100_photo.jpg", "T").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "notes.txt", "not packed").ok());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(show + "sub").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show + "sub/deep.jpg", "not packed").ok());

  ShowPackage package(DefaultFileSystem());
  std::string target = dir.Join("show.pkg");
  ASSERT_TRUE(package.WritePackage(target, show).ok());
  EXPECT_EQ(target, dir.Join("show.pkg"));

  std::string expected = TextRecord(0x4B, "Tavirelle File") + Int32Record(0x4C, 118);
  EXPECT_EQ(expected.size(), 24u);
  expected += StoredFile("photo.jpg", "JPEG");               // at 24
  expected += StoredFile("w133\\h100\\photo.jpg", "T");      // at 53
  expected += StoredFile("meta.xml", "<qx/>");               // at 89
  ASSERT_EQ(expected.size(), 118u);
  expected += TextRecord(0x4E, "qx_dir") + Int32Record(0x4F, 3);
  expected += TextRecord(0x50, "photo.jpg") + Int32Record(0x51, 24) + Int32Record(0x52, 4) +
              TextRecord(0x53, "907e06a16862d82ca6907a28a68d0ad6");
  expected += TextRecord(0x50, "w133\\h100\\photo.jpg") + Int32Record(0x51, 53) +
              Int32Record(0x52, 1) + TextRecord(0x53, "b9ece18c950afbfa6b0fdbfa4ff731d3");
  expected += TextRecord(0x50, "meta.xml") + Int32Record(0x51, 89) + Int32Record(0x52, 5) +
              TextRecord(0x53, "06d0e48a7942733e26a13233e2012552");
  std::string actual;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), target, &actual).ok());
  EXPECT_EQ(actual, expected);
  // Complete packages are writable again, so that a repair can append.
  DWORD attributes = 0;
  ASSERT_TRUE(DefaultFileSystem().GetFileAttributes(target, &attributes).ok());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(ReadRecord, UnknownTypeConsumesOnlyTheHeader) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), Bytes({0x41, 7, 1, 2, 3})).ok());
  file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead);
  ASSERT_TRUE(file.open().ok());
  uint8_t header[10] = {};
  dynamic_buffer payload(1024);
  EXPECT_EQ(ReadRecord(file, header, payload), 2u);
  EXPECT_EQ(file.tell(), 2u);
}

TEST(ReadRecord, LongTextGrowsTheBufferAndIsTerminated) {
  TempDir dir;
  std::string name(2000, 'n');
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), TextRecord(0x50, name)).ok());
  file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead);
  ASSERT_TRUE(file.open().ok());
  uint8_t header[10] = {};
  dynamic_buffer payload(1024);
  EXPECT_EQ(ReadRecord(file, header, payload), 2004u);
  EXPECT_EQ(std::string(payload.text()), name);
}

TEST(ReadRecord, LengthsPastTheEndFailWithoutGrowingTheBuffer) {
  TempDir dir;
  struct Case { std::string bytes; uint32_t result; };
  const Case cases[] = {
      {Bytes({0xCE, 0}) + U32(0xFFFFFFF0u) + "abc", 0},
      // Lengths that the buffer could grow to: only the bytes remaining in
      // the file tell that they lie.
      {Bytes({0xCE, 0}) + U32(2048) + "abc", 0},
      {Bytes({0xCE, 0}) + U32(64u << 20) + "abc", 0},
      {Bytes({0xCE, 0}) + U32(4) + "abc", 0},
      {Bytes({0x50, 1, 0xFF, 0xFF}) + "abc", 0},
      {Bytes({0x50, 1, 5, 0}) + "abcd", 0},
      {Bytes({0x50, 1, 5}), 2},
      {Bytes({0x4C, 2, 1, 2}), 2},
      {Bytes({0x4C, 3, 1, 2, 3, 4, 5, 6, 7}), 2},
      {Bytes({0x4C}), 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), c.bytes).ok());
    file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead);
    ASSERT_TRUE(file.open().ok());
    uint8_t header[10] = {};
    dynamic_buffer payload(1024);
    EXPECT_EQ(ReadRecord(file, header, payload), c.result) << c.bytes.size();
    EXPECT_EQ(payload.capacity(), 1024u);
  }
}

TEST(WriteTextRecord, LengthIsTakenModulo65536) {
  TempDir dir;
  {
    file_io out(DefaultFileSystem(), dir.Join("f"), StreamMode::kWrite);
    ASSERT_TRUE(out.open().ok());
    EXPECT_TRUE(WriteTextRecord(out, 0x50, std::string(70000, 'a')).ok());
  }
  std::string written;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("f"), &written).ok());
  ASSERT_EQ(written.size(), 4468u);
  EXPECT_EQ(static_cast<uint8_t>(written[2]), 4464 & 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(written[3]), 4464 >> 8);
}

TEST(StoredEntryName, ThumbnailNamesBecomeFolders) {
  EXPECT_EQ(StoredEntryName("__w133_h100_photo.jpg"), "w133\\h100\\photo.jpg");
  EXPECT_EQ(StoredEntryName("__w133_h100_my_photo.jpg"), "w133\\h100\\my\\photo.jpg");
  EXPECT_EQ(StoredEntryName("_photo.jpg"), "_photo.jpg");
  EXPECT_EQ(StoredEntryName("photo_1.jpg"), "photo_1.jpg");
}

// A valid one-entry package, to be broken one rule at a time.
PackageBuilder ValidPackage() {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t at = 0;
  b.StoredFile("a.jpg", "data", &at);
  b.DirectoryHead(1).Entry("a.jpg", at, 4, "8d777f385d3dfec8815d20f7496026dc").PointAtDirectory();
  return b;
}

struct Rejection {
  const char* what;
  PackageBuilder package;
  PackageOpenError why;
};

std::vector<Rejection> Rejections() {
  std::vector<Rejection> r;
  r.push_back({"empty file", PackageBuilder(), PackageOpenError::kNotPackage});
  r.push_back({"magic in other case",
               PackageBuilder().Magic("tavirelle file").DirectoryOffset(24),
               PackageOpenError::kNotPackage});
  r.push_back({"export file",
               PackageBuilder().Text(0xC9, "Tavirelle Export File").DirectoryOffset(24),
               PackageOpenError::kNotPackage});
  r.push_back({"magic as a block",
               PackageBuilder().Block(0x4B, 14, "Tavirelle File").DirectoryOffset(24),
               PackageOpenError::kNotPackage});
  r.push_back({"unfinished", ValidPackage().SetDirectoryOffset(0xFFFFFFFF),
               PackageOpenError::kUnfinished});
  r.push_back({"no offset record", PackageBuilder().Magic(), PackageOpenError::kDamagedDirectory});
  r.push_back({"offset as text", PackageBuilder().Magic().Text(0x4C, "1234"),
               PackageOpenError::kDamagedDirectory});
  r.push_back({"offset past the end", ValidPackage().SetDirectoryOffset(100000),
               PackageOpenError::kDamagedDirectory});
  r.push_back({"offset into the data", ValidPackage().SetDirectoryOffset(24),
               PackageOpenError::kDamagedDirectory});
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(0).PointAtDirectory();
    r.push_back({"zero entries", b, PackageOpenError::kEmptyDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(0x80000000u).PointAtDirectory();
    r.push_back({"negative count", b, PackageOpenError::kEmptyDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(0x7FFFFFFF).PointAtDirectory();
    b.Entry("a", 24, 0, "");
    r.push_back({"count that cannot fit", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset();
    uint32_t dir = b.size();
    b.Text(0x4E, "qx_dirx").Int32(0x4F, 1).Entry("a", 24, 0, "");
    b.SetDirectoryOffset(dir);
    r.push_back({"wrong directory marker", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset();
    uint32_t dir = b.size();
    b.Text(0x4E, "qx_dir").Text(0x4F, "1").Entry("a", 24, 0, "");
    b.SetDirectoryOffset(dir);
    r.push_back({"count as text", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(2).Entry("a", 24, 0, "").PointAtDirectory();
    b.Raw(std::string(40, '\0'));
    r.push_back({"fewer entries than counted", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(1).PointAtDirectory();
    b.Text(0x50, "a").Int32(0x52, 24).Int32(0x51, 0).Text(0x53, "");
    r.push_back({"records out of order", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(1).PointAtDirectory();
    b.Text(0x50, "a").Int32(0x51, 24).Int32(0x52, 0).Text(0x53, "0123456789abcdef");
    b.Truncate(b.size() - 3);
    r.push_back({"checksum cut off", b, PackageOpenError::kDamagedDirectory});
  }
  {
    PackageBuilder b;
    b.Magic().DirectoryOffset().DirectoryHead(1).PointAtDirectory();
    b.TextWithLength(0x50, 0xFFFF, "a").Int32(0x51, 24).Int32(0x52, 0).Text(0x53, "");
    r.push_back({"name longer than the file", b, PackageOpenError::kDamagedDirectory});
  }
  // A magic text that only starts with the magic is another kind of file: a
  // directory update would write its 'L' record over the rest of that text.
  for (const std::string& magic :
       {std::string("Tavirelle File\0X", 16), std::string("Tavirelle File "),
        std::string("Tavirelle Fil"), std::string("Tavirelle File\0", 15)}) {
    PackageBuilder b;
    b.Magic(magic).DirectoryOffset();
    uint32_t at = 0;
    b.StoredFile("a.jpg", "aa", &at).DirectoryHead(1).Entry("a.jpg", at, 2, "m");
    b.PointAtDirectory();
    r.push_back({"magic that only starts right", b, PackageOpenError::kNotPackage});
  }
  return r;
}

class ReadDirectoryRejects : public testing::TestWithParam<size_t> {};

TEST_P(ReadDirectoryRejects, WithItsReason) {
  Rejection c = Rejections()[GetParam()];
  TempDir dir;
  ASSERT_TRUE(c.package.WriteTo(DefaultFileSystem(), dir.Join("p")));
  std::vector<PackageEntry> entries;
  Status read = ReadDirectory(DefaultFileSystem(), dir.Join("p"), entries);
  EXPECT_EQ(read.words(), DescribeOpenError(c.why)) << c.what;
  EXPECT_EQ(read.code(), ERROR_INVALID_DATA) << c.what;
  ShowPackage package(DefaultFileSystem());
  Status opened = package.OpenPackage(dir.Join("p"), false);
  EXPECT_FALSE(package.IsOpen());
  EXPECT_EQ(opened.words(), DescribeOpenError(c.why)) << c.what;
  EXPECT_EQ(opened.code(), ERROR_INVALID_DATA) << c.what;
}

INSTANTIATE_TEST_SUITE_P(All, ReadDirectoryRejects,
                         testing::Range<size_t>(0, Rejections().size()));

TEST(ReadDirectory, ReadsEveryEntryInFileOrder) {
  TempDir dir;
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, c = 0;
  b.StoredFile("a.jpg", "aa", &a).StoredFile("c.jpg", "ccc", &c);
  b.DirectoryHead(2).Entry(std::string(2000, 'x'), a, 2, "m1").Entry("c.jpg", c, 3, "m2");
  b.PointAtDirectory();
  ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
  std::vector<PackageEntry> entries;
  ASSERT_TRUE(ReadDirectory(DefaultFileSystem(), dir.Join("p"), entries).ok());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, std::string(2000, 'x'));
  EXPECT_EQ(entries[0].offset, a);
  EXPECT_EQ(entries[1].name, "c.jpg");
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_EQ(entries[1].md5, "m2");
}

TEST(WriteDirectory, MovesTheDirectoryOffsetOnlyBehindTheExactMagic) {
  TempDir dir;
  for (const std::string& magic :
       {std::string("Tavirelle File"), std::string("Tavirelle File\0X", 16)}) {
    PackageBuilder b;
    b.Magic(magic).DirectoryOffset();
    uint32_t at = 0;
    b.StoredFile("a.jpg", "aa", &at).DirectoryHead(1).Entry("a.jpg", at, 2, "m");
    b.PointAtDirectory();
    ASSERT_TRUE(b.WriteTo(DefaultFileSystem(), dir.Join("p")));
    uint32_t end = 0;
    {
      file_io stream(DefaultFileSystem(), dir.Join("p"), StreamMode::kWrite);
      ASSERT_TRUE(stream.open().ok());
      ASSERT_TRUE(stream.seek_end().ok());
      end = stream.tell();
      std::vector<PackageEntry> entries(1);
      entries[0].name = "b.jpg";
      ASSERT_TRUE(WriteDirectory(stream, entries).ok());
    }
    std::string after;
    ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("p"), &after).ok());
    std::string expected = b.bytes();
    if (magic.size() == 14) expected.replace(20, 4, U32(end));
    EXPECT_EQ(after.substr(0, end), expected) << magic.size();
  }
}

TEST(ReadDirectory, MissingFileIsUnreadable) {
  TempDir dir;
  std::vector<PackageEntry> entries;
  Status read = ReadDirectory(DefaultFileSystem(), dir.Join("none"), entries);
  EXPECT_EQ(read.words(), DescribeOpenError(PackageOpenError::kUnreadable));
  EXPECT_EQ(read.code(), ERROR_FILE_NOT_FOUND);
  ShowPackage package(DefaultFileSystem());
  Status opened = package.OpenPackage(dir.Join("none"), false);
  EXPECT_EQ(opened.words(), DescribeOpenError(PackageOpenError::kMissing));
  EXPECT_EQ(opened.code(), ERROR_FILE_NOT_FOUND);
}

}  // namespace

}  // namespace tavirelle
