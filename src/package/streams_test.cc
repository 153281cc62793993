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
  file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead, OnError::kReport);
  ASSERT_TRUE(file.is_open());
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
  file_io source(DefaultFileSystem(), dir.Join("f"), StreamMode::kRead, OnError::kReport);
  file_io target(DefaultFileSystem(), dir.Join("g"), StreamMode::kWrite, OnError::kReport);
  EXPECT_EQ(source.read_into(target, 3), 0u);
}

TEST(FileIo, CountOnlyCountsEveryTransfer) {
  file_io counter(DefaultFileSystem(), "unused", StreamMode::kCount, OnError::kReport);
  EXPECT_TRUE(counter.is_open());
  char buf[8];
  dynamic_buffer buffer(16);
  EXPECT_EQ(counter.read(buf, 8), 8u);
  EXPECT_EQ(counter.read_into(buffer, 5), 5u);
  EXPECT_EQ(counter.write(buf, 7), 7u);
  EXPECT_EQ(counter.write(nullptr, 100), 100u);
  EXPECT_EQ(counter.bytes_written(), 107u);
  EXPECT_EQ(counter.seek(42), 42u);
  EXPECT_TRUE(counter.close());
}

TEST(FileIo, WritingKeepsTheOldTailOfAnExistingFile) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), "0123456789").ok());
  {
    file_io file(DefaultFileSystem(), dir.Join("f"), StreamMode::kWrite, OnError::kReport);
    EXPECT_EQ(file.write("ab", 2), 2u);
    EXPECT_TRUE(file.close());
  }
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("f"), &contents).ok());
  EXPECT_EQ(contents, "ab23456789");
}

TEST(FileIo, ShortWriteThrowsOnlyWhenAsked) {
  TempDir dir;
  FaultInjectingFileSystem faulty;
  faulty.SetDiskFullAfter(3);
  {
    file_io quiet(faulty, dir.Join("quiet"), StreamMode::kWrite, OnError::kReport);
    EXPECT_EQ(quiet.write("abcdef", 6), 3u);
    EXPECT_EQ(quiet.bytes_written(), 3u);
  }
  faulty.SetDiskFullAfter(3);
  file_io loud(faulty, dir.Join("loud"), StreamMode::kWrite, OnError::kThrow);
  try {
    loud.write("abcdef", 6);
    FAIL() << "no exception";
  } catch (const StreamError& e) {
    EXPECT_EQ(e.code, 1001);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  }
}

TEST(FileIo, FailedOpenThrowsOnlyWhenAsked) {
  TempDir dir;
  file_io quiet(DefaultFileSystem(), dir.Join("missing"), StreamMode::kRead, OnError::kReport);
  EXPECT_FALSE(quiet.is_open());
  char buf[4];
  EXPECT_EQ(quiet.read(buf, 4), 0u);
  EXPECT_EQ(quiet.write(buf, 4), 0u);
  try {
    file_io loud(DefaultFileSystem(), dir.Join("missing"), StreamMode::kRead, OnError::kThrow);
    FAIL() << "no exception";
  } catch (const StreamError& e) {
    EXPECT_EQ(e.code, 1000);
  }
}

TEST(FileIo, BufferedReadsSurviveShortPlatformReadsAndSeeks) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 200000; ++i) data.push_back(static_cast<char>(i * 7));
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("f"), data).ok());
  FaultInjectingFileSystem faulty;
  faulty.SetShortReads(1000);
  file_io file(faulty, dir.Join("f"), StreamMode::kRead, OnError::kReport);
  std::string out(10, '\0');
  for (uint32_t at : {0u, 70000u, 69990u, 5u, 199995u}) {
    ASSERT_EQ(file.seek(at), at);
    uint32_t want = std::min<uint32_t>(10, 200000 - at);
    ASSERT_EQ(file.read(out.data(), 10), want) << at;
    EXPECT_EQ(out.substr(0, want), data.substr(at, want)) << at;
    EXPECT_EQ(file.tell(), at + want);
  }
  std::string big(150000, '\0');
  ASSERT_EQ(file.seek(100), 100u);
  ASSERT_EQ(file.read(big.data(), 150000), 150000u);
  EXPECT_EQ(big, data.substr(100, 150000));
  EXPECT_EQ(file.remaining(), 200000u - 150100u);
}

}  // namespace

}  // namespace tavirelle
