#include "package/streams.h"

#include <gtest/gtest.h>

#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

TEST(DynamicBuffer, GrowsByTheTransferNotToTheWritePosition) {
  dynamic_buffer buffer(1024);
  std::string payload(5000, 'x');
  EXPECT_EQ(buffer.write(payload.data(), 5000), 5000u);
  EXPECT_EQ(buffer.capacity(), 6024u);
  EXPECT_EQ(buffer.write_position(), 5000u);
  // Readable bytes run to the end of the block, not to the write position.
  std::string out(7000, '\0');
  EXPECT_EQ(buffer.read(out.data(), 7000), 6024u);
}

TEST(DynamicBuffer, AllocateKeepsALargeEnoughBlockAndResetsPositions) {
  dynamic_buffer buffer(1024);
  buffer.write("abc", 3);
  uint8_t* block = buffer.data();
  EXPECT_TRUE(buffer.allocate(512));
  EXPECT_EQ(buffer.data(), block);
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(buffer.write_position(), 0u);
}

TEST(DynamicBuffer, GrowthThatWouldWrapFailsAndKeepsTheBlock) {
  dynamic_buffer buffer(1024);
  buffer.write("abcd", 4);
  dynamic_buffer target(1024);
  // size() + n past 32 bits must not become a small reservation.
  EXPECT_EQ(buffer.read_into(target, 0xFFFFFF00u), 0u);
  EXPECT_EQ(target.capacity(), 1024u);
  char big = 0;
  EXPECT_EQ(buffer.write(&big, 0xFFFFFF00u), 0u);
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(std::string(buffer.text(), 4), "abcd");
}

TEST(FileIo, ReadIntoGrowsTheBufferFirstAndReadsNothingForZero) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), std::string(3000, 'a')).ok());
  file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead);
  ASSERT_TRUE(file.open().ok());
  dynamic_buffer buffer(1024);
  EXPECT_EQ(file.read_into(buffer, 0), 0u);
  EXPECT_EQ(buffer.capacity(), 1024u);
  EXPECT_EQ(file.read_into(buffer, 2000), 2000u);
  EXPECT_EQ(buffer.capacity(), 3024u);
  EXPECT_EQ(file.tell(), 2000u);
  // Short at the end of the file.
  EXPECT_EQ(file.read_into(buffer, 2000), 1000u);
}

TEST(FileIo, ReadIntoAFileTargetReadsNothing) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), "abc").ok());
  file_io source(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead);
  file_io target(DefaultFileSystem(), dir.Join("g"), StreamMode::kWrite);
  ASSERT_TRUE(source.open().ok());
  ASSERT_TRUE(target.open().ok());
  EXPECT_EQ(source.read_into(target, 3), 0u);
}

TEST(FileIo, CountOnlyCountsEveryTransfer) {
  file_io counter(DefaultFileSystem(), "unused", StreamMode::kCount);
  EXPECT_TRUE(counter.open().ok());
  EXPECT_TRUE(counter.is_open());
  char buf[8];
  dynamic_buffer buffer(16);
  EXPECT_EQ(counter.read(buf, 8), 8u);
  EXPECT_EQ(counter.read_into(buffer, 5), 5u);
  EXPECT_EQ(counter.write(buf, 7), 7u);
  EXPECT_EQ(counter.write(nullptr, 100), 100u);
  EXPECT_EQ(counter.bytes_written(), 107u);
  EXPECT_TRUE(counter.write_all(buf, 3).ok());
  EXPECT_EQ(counter.bytes_written(), 110u);
  EXPECT_TRUE(counter.seek(42).ok());
  EXPECT_TRUE(counter.close().ok());
}

TEST(FileIo, WritingKeepsTheOldTailOfAnExistingFile) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), "0123456789").ok());
  {
    file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kWrite);
    ASSERT_TRUE(file.open().ok());
    EXPECT_EQ(file.write("ab", 2), 2u);
    EXPECT_TRUE(file.close().ok());
  }
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("f"), &contents).ok());
  EXPECT_EQ(contents, "ab23456789");
}

TEST(FileIo, FailuresComeBackWithThePlatformsReason) {
  TempDir dir;
  FaultInjectingFileSystem faulty;
  faulty.SetDiskFullAfter(3);
  file_io full(faulty, dir.Join("full"), StreamMode::kWrite);
  ASSERT_TRUE(full.open().ok());
  // The bytes that landed are counted, whether or not the caller asks why.
  EXPECT_EQ(full.write_all("abcdef", 6).code(), ERROR_DISK_FULL);
  EXPECT_EQ(full.bytes_written(), 3u);
  EXPECT_EQ(full.write("abcdef", 6), 0u);

  file_io missing(DefaultFileSystem(), dir.Join("missing"), StreamMode::kRead);
  EXPECT_EQ(missing.open().code(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(missing.is_open());
  char buf[4];
  uint32_t got = 7;
  EXPECT_EQ(missing.read_all(buf, 4, &got).code(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(missing.read(buf, 4), 0u);
  EXPECT_EQ(missing.write(buf, 4), 0u);
  EXPECT_FALSE(missing.seek(0).ok());
  EXPECT_FALSE(missing.close().ok());

  faulty.Reset();
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), std::string(100, 'x')).ok());
  faulty.SetReadFailAfter(40);
  file_io failing(faulty, dir.Join("f"), StreamMode::kRead);
  ASSERT_TRUE(failing.open().ok());
  std::string out(100, '\0');
  EXPECT_EQ(failing.read_all(out.data(), 100, &got).code(), ERROR_NOT_READY);
  EXPECT_EQ(got, 40u);
}

TEST(FileIo, BufferedReadsSurviveShortPlatformReadsAndSeeks) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 200000; ++i) data.push_back(static_cast<char>(i * 7));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), data).ok());
  FaultInjectingFileSystem faulty;
  faulty.SetShortReads(1000);
  file_io file(faulty, dir.Join("f"), StreamMode::kRead);
  ASSERT_TRUE(file.open().ok());
  std::string out(10, '\0');
  for (uint32_t at : {0u, 70000u, 69990u, 5u, 199995u}) {
    ASSERT_TRUE(file.seek(at).ok());
    uint32_t want = std::min<uint32_t>(10, 200000 - at);
    ASSERT_EQ(file.read(out.data(), 10), want) << at;
    EXPECT_EQ(out.substr(0, want), data.substr(at, want)) << at;
    EXPECT_EQ(file.tell(), at + want);
  }
  std::string big(150000, '\0');
  ASSERT_TRUE(file.seek(100).ok());
  ASSERT_EQ(file.read(big.data(), 150000), 150000u);
  EXPECT_EQ(big, data.substr(100, 150000));
  EXPECT_EQ(file.remaining(), 200000u - 150100u);
}

}  // namespace

}  // namespace tavirelle
