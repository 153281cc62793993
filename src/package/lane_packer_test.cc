#include "package/lane_packer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {
namespace {

// Show files of every size that falls awkwardly on the lanes' blocks, more
// of them than there are lanes.
class LanePackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(3);
    const size_t sizes[] = {0,          1,          63,         64,     65,  262143, 262144,
                            262145,     1048576 + 3, 3 * 262144, 5000,   0,   777,    2097152,
                            100,        262144 * 2 + 1};
    for (size_t i = 0; i < std::size(sizes); ++i) {
      std::string bytes(sizes[i], '\0');
      for (auto& byte : bytes) byte = static_cast<char>(random());
      std::string name = "file" + std::to_string(i) + ".jpg";
      ASSERT_TRUE(WriteWholeFile(fs_, dir_.Join(name), bytes).ok());
      sources_.push_back({dir_.Join(name), name, sizes[i]});
    }
  }

  // The records one WriteFileRecord after another makes, and their entries.
  std::string OneAfterAnother(const std::vector<PackageSource>& sources,
                              std::vector<PackageEntry>* entries, DWORD* error) {
    const std::string path = dir_.Join("sequential.pkg");
    {
      file_io stream(fs_, path, StreamMode::kWrite);
      EXPECT_TRUE(stream.open().ok());
      EXPECT_TRUE(stream.write_all("head", 4).ok());
      Status status = WriteFileRecordsInTurn(stream, sources, entries);
      *error = status.code();
      if (!status.ok()) return {};
      EXPECT_TRUE(stream.write_all("tail", 4).ok());
    }
    std::string bytes;
    ReadWholeFile(fs_, path, &bytes).IgnoreError();
    return bytes;
  }

  std::string InLanes(const std::vector<PackageSource>& sources,
                      std::vector<PackageEntry>* entries, DWORD* error, bool* written) {
    const std::string path = dir_.Join("lanes.pkg");
    {
      file_io stream(fs_, path, StreamMode::kWrite);
      EXPECT_TRUE(stream.open().ok());
      EXPECT_TRUE(stream.write_all("head", 4).ok());
      Status status = WriteFileRecordsInLanes(stream, sources, entries);
      *error = status.code();
      *written = status.ok();
      if (*written) {
        EXPECT_TRUE(stream.write_all("tail", 4).ok());
      }
    }
    std::string bytes;
    ReadWholeFile(fs_, path, &bytes).IgnoreError();
    return bytes;
  }

  FileSystem& fs_ = DefaultFileSystem();
  TempDir dir_;
  std::vector<PackageSource> sources_;
};

TEST_F(LanePackerTest, WritesTheBytesAndEntriesOfOneRecordAfterAnother) {
  std::vector<PackageEntry> expected, got;
  DWORD error = ERROR_SUCCESS;
  bool written = false;
  const std::string reference = OneAfterAnother(sources_, &expected, &error);
  ASSERT_FALSE(reference.empty());
  const std::string lanes = InLanes(sources_, &got, &error, &written);
  ASSERT_TRUE(written);
  EXPECT_TRUE(lanes == reference) << "the package bytes differ";
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].name, expected[i].name);
    EXPECT_EQ(got[i].offset, expected[i].offset) << got[i].name;
    EXPECT_EQ(got[i].size, expected[i].size) << got[i].name;
    EXPECT_EQ(got[i].md5, expected[i].md5) << got[i].name;
  }
}

// A show file that cannot be opened stops the records where the sequential
// writer stops, with the error of the first such file in order.
TEST_F(LanePackerTest, TheFirstFileThatCannotBeReadIsTheOneReported) {
  ASSERT_TRUE(fs_.DeleteFile(sources_[9].path).ok());
  ASSERT_TRUE(fs_.CreateDirectory(sources_[9].path).ok());  // a folder where a file was
  ASSERT_TRUE(fs_.DeleteFile(sources_[12].path).ok());      // and one gone
  std::vector<PackageEntry> expected, got;
  DWORD sequential_error = ERROR_SUCCESS, lanes_error = ERROR_SUCCESS;
  bool written = true;
  EXPECT_TRUE(OneAfterAnother(sources_, &expected, &sequential_error).empty());
  InLanes(sources_, &got, &lanes_error, &written);
  EXPECT_FALSE(written);
  EXPECT_NE(lanes_error, ERROR_SUCCESS);
  EXPECT_EQ(lanes_error, sequential_error);

  sources_.resize(9);
  sources_.push_back({dir_.Join("gone.jpg"), "gone.jpg", 10});
  lanes_error = ERROR_SUCCESS;
  InLanes(sources_, &got, &lanes_error, &written);
  EXPECT_FALSE(written);
  EXPECT_EQ(lanes_error, ERROR_FILE_NOT_FOUND);
}

// An early source that fails part way is reported, not a later one that
// failed first in time: the missing file's open fails in the first round,
// the damage in the large file is met only in the second.
TEST_F(LanePackerTest, TheFirstSourceInOrderIsReportedNotTheFirstFailureInTime) {
  FaultInjectingFileSystem faulty;
  faulty.ServeThreads(true);
  const PackageSource& large = sources_[13];  // 2 MiB: eight blocks
  faulty.SetDamagedByte(large.path, 300000, ERROR_NOT_READY);
  const std::vector<PackageSource> sources = {large,
                                              {dir_.Join("gone.jpg"), "gone.jpg", 10}};
  for (bool in_lanes : {false, true}) {
    SCOPED_TRACE(in_lanes ? "in lanes" : "in turn");
    file_io stream(faulty, dir_.Join("p.pkg"), StreamMode::kWrite);
    ASSERT_TRUE(stream.open().ok());
    std::vector<PackageEntry> entries;
    const Status written = in_lanes ? WriteFileRecordsInLanes(stream, sources, &entries)
                                    : WriteFileRecordsInTurn(stream, sources, &entries);
    EXPECT_EQ(written.code(), ERROR_NOT_READY);
  }
}

// A package that cannot take more bytes stops either form with the medium's
// reason, its sources left unread.
TEST_F(LanePackerTest, AFailedWriteStopsTheRecordsWithItsReason) {
  FaultInjectingFileSystem faulty;
  faulty.ServeThreads(true);
  for (bool in_lanes : {false, true}) {
    SCOPED_TRACE(in_lanes ? "in lanes" : "in turn");
    faulty.SetDiskFullAfter(600000);
    file_io stream(faulty, dir_.Join(in_lanes ? "lanes.pkg" : "turn.pkg"), StreamMode::kWrite);
    ASSERT_TRUE(stream.open().ok());
    std::vector<PackageEntry> entries;
    const Status written = in_lanes ? WriteFileRecordsInLanes(stream, sources_, &entries)
                                    : WriteFileRecordsInTurn(stream, sources_, &entries);
    EXPECT_EQ(written.code(), ERROR_DISK_FULL);
    EXPECT_LT(stream.bytes_written(), 700000u);
  }
}

}  // namespace
}  // namespace tavirelle
