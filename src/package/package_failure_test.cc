// The package writer, the repair, extraction and checking under failing
// media: every operation failing in turn, a disk that fills up after N
// bytes, write protection, denied access and damaged places, on one thread
// and on the paths that work eight files at a time on several threads.
#include <gtest/gtest.h>

#include <cstring>

#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/package_builder.h"
#include "testing/package_test_support.h"
#include "testing/temp_dir.h"
#include "util/lane_groups.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

bool Exists(const std::string& path) {
  DWORD attributes = 0;
  return DefaultFileSystem().GetFileAttributes(path, &attributes).ok();
}

std::string Contents(const std::string& path) {
  std::string contents;
  ReadWholeFile(DefaultFileSystem(), path, &contents).IgnoreError();  // empty when missing
  return contents;
}

class WriterFailure : public ShowFolderTest {
 protected:
  void SetUp() override {
    MakeShow({{"meta.xml", "<qx>meta</qx>"},
              {"a.jpg", std::string(70000, 'a')},
              {"__w133_h100_a.jpg", "thumb"},
              {"tune.mp3", std::string(3000, 'm')}});
    std::string target = Target();
    ShowPackage package(DefaultFileSystem());
    ASSERT_TRUE(package.WritePackage(target, show_).ok());
    reference_ = Contents(target);
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(target).ok());
  }
  // Nothing but a complete, correct package may be left in the out folder.
  void ExpectCompleteOrNothing(bool written, const std::string& context) {
    size_t files = OutFiles().size();
    if (written) {
      EXPECT_EQ(files, 1u) << context;
      EXPECT_TRUE(Contents(Target()) == reference_) << context;
    } else {
      EXPECT_EQ(files, 0u) << context;
    }
  }

  std::string reference_;
};

// The same on a medium that serves several threads at once, where the
// packer reads ahead on a thread of its own while the records are written.
class WriterFailureOnThreads : public WriterFailure, public testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(OneOrSeveral, WriterFailureOnThreads, testing::Bool(),
                         [](const auto& info) { return info.param ? "Threads" : "InTurn"; });

TEST_P(WriterFailureOnThreads, EveryOperationFailingInTurnLeavesNoPartialPackage) {
  FaultInjectingFileSystem faulty;
  faulty.ServeThreads(GetParam());
  uint64_t total = 0;
  {
    std::string target = Target();
    ShowPackage package(faulty);
    ASSERT_TRUE(package.WritePackage(target, show_).ok());
    total = faulty.operations();
  }
  ASSERT_TRUE(DefaultFileSystem().DeleteFile(Target()).ok());
  ASSERT_GT(total, 10u);
  for (uint64_t n = 1; n <= total + 1; ++n) {
    faulty.Reset();
    faulty.FailOperation(n, ERROR_NOT_READY);
    Status status;
    ShowPackage package(faulty);
    {
      std::string target = Target();
      status = package.WritePackage(target, show_);
    }
    const bool written = status.ok();
    ExpectCompleteOrNothing(written, "operation " + std::to_string(n));
    if (!written) {
      EXPECT_NE(ToHresult(status), S_OK);
    }
    if (written) {
      DWORD attributes = 0;
      ASSERT_TRUE(DefaultFileSystem().GetFileAttributes(Target(), &attributes).ok());
      EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
      DefaultFileSystem().SetFileAttributes(Target(), 0).IgnoreError();
      DefaultFileSystem().DeleteFile(Target()).IgnoreError();
    }
  }
}

TEST_P(WriterFailureOnThreads, FullDiskAfterAnyNumberOfBytes) {
  FaultInjectingFileSystem faulty;
  faulty.ServeThreads(GetParam());
  // The 'L' record is written twice: first as "unfinished", last for real.
  uint64_t needed = reference_.size() + 6;
  for (uint64_t limit = 0; limit < needed; limit += limit < 200 || limit + 200 > needed ? 1 : 997) {
    faulty.Reset();
    faulty.SetDiskFullAfter(limit);
    ShowPackage package(faulty);
    Status status;
    {
      std::string target = Target();
      status = package.WritePackage(target, show_);
    }
    EXPECT_EQ(ToHresult(status), static_cast<HRESULT>(0x80070070)) << limit;
    EXPECT_EQ(package.lastError(), 112);
    EXPECT_EQ(package.lastErrorText(), "#write_error_disc_full");
    ExpectCompleteOrNothing(false, "limit " + std::to_string(limit));
  }
  faulty.Reset();
  faulty.SetDiskFullAfter(needed);
  ShowPackage package(faulty);
  std::string target = Target();
  EXPECT_TRUE(package.WritePackage(target, show_).ok()) << package.lastError();
  EXPECT_TRUE(Contents(Target()) == reference_);
}

TEST_F(WriterFailure, WriteProtectedAndAccessDeniedGiveTheirStatus) {
  FaultInjectingFileSystem faulty;
  faulty.SetWriteProtected(true);
  ShowPackage package(faulty);
  std::string target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_)), static_cast<HRESULT>(0x80070013));
  EXPECT_EQ(package.lastErrorText(), "#write_error_write_protected");
  EXPECT_FALSE(Exists(Target()));

  faulty.Reset();
  faulty.DenyAccess("show.pkg");
  target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_)), E_ACCESSDENIED);
  EXPECT_EQ(package.lastErrorText(), "#write_access_denied");
  EXPECT_FALSE(Exists(Target()));

  // The codes stay until the next failure: a success does not clear them.
  faulty.Reset();
  target = Target();
  EXPECT_TRUE(package.WritePackage(target, show_).ok());
  EXPECT_EQ(package.lastError(), 5);
}

TEST_F(WriterFailure, WriteProtectionPartWayLeavesOnlyATemporaryThatNeverOpens) {
  FaultInjectingFileSystem faulty;
  // Some operation after the file was created fails as write-protected: the
  // medium refuses both the rest of the package and its removal. What stays
  // is the temporary file, never a file under the package's name.
  uint64_t before = 0;
  {
    std::string target = Target();
    ShowPackage probe(faulty);
    faulty.Reset();
    ASSERT_TRUE(probe.WritePackage(target, show_).ok());
    before = faulty.operations();
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(Target()).ok());
  }
  bool leftBehind = false;
  for (uint64_t n = 1; n <= before && !leftBehind; ++n) {
    faulty.Reset();
    faulty.FailOperation(n, ERROR_WRITE_PROTECT);
    ShowPackage package(faulty);
    std::string target = Target();
    Status status = package.WritePackage(target, show_);
    if (status.ok()) {
      DefaultFileSystem().DeleteFile(Target()).IgnoreError();
      continue;
    }
    EXPECT_FALSE(Exists(Target())) << n;
    std::vector<FindData> found;
    DefaultFileSystem().Find(dir_.Join("out/.show.pkg.tavirelle-partial-*"), &found).IgnoreError();
    for (const FindData& partial : found) {
      leftBehind = true;
      EXPECT_EQ(ToHresult(status), static_cast<HRESULT>(0x80070013));
      faulty.Reset();
      ShowPackage reader(DefaultFileSystem());
      std::string path = dir_.Join("out/" + partial.name);
      const std::string why = reader.OpenPackage(path, false).words();
      // Cut before the magic or before the directory: either way unusable.
      EXPECT_TRUE(why == DescribeOpenError(PackageOpenError::kUnfinished) ||
                  why == DescribeOpenError(PackageOpenError::kNotPackage))
          << why;
    }
  }
  EXPECT_TRUE(leftBehind);
}

TEST_P(WriterFailureOnThreads, SourceThatCannotBeReadFailsTheWholeWrite) {
  FaultInjectingFileSystem faulty;
  faulty.ServeThreads(GetParam());
  faulty.DenyAccess("tune.mp3");
  ShowPackage package(faulty);
  std::string target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_)), E_ACCESSDENIED);
  EXPECT_FALSE(Exists(Target()));

  faulty.Reset();
  faulty.SetReadFailAfter(40000);
  target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_)), static_cast<HRESULT>(0x80070015));
  EXPECT_FALSE(Exists(Target()));
}

// --- The repair of a broken show description -----------------------------

class RepairFailure : public testing::Test {
 protected:
  void SetUp() override {
    usable_ = kUsableMeta;
    original_ = PackageWithBrokenMeta();
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Path(), original_).ok());
    ShowPackage package(DefaultFileSystem());
    ASSERT_TRUE(package.OpenPackage(Path(), true).ok());
    repaired_ = Contents(Path());
    ASSERT_NE(repaired_, original_);
  }
  std::string Path() const { return dir_.Join("p"); }

  // After a failed or successful repair the package opens, with either the
  // previous directory or the repaired one, and its description is usable.
  void ExpectOpensEitherWay(const std::string& context) {
    ShowPackage reader(DefaultFileSystem());
    ASSERT_TRUE(reader.OpenPackage(Path(), false).ok()) << context;
    size_t count = reader.entries().size();
    EXPECT_TRUE(count == 3 || count == 4) << context;
    if (count == 3) {
      EXPECT_EQ(reader.entries()[1].name, "meta.xml") << context;
      EXPECT_EQ(reader.ReadEntryText("meta.xml"), "broken") << context;
    } else {
      EXPECT_TRUE(Contents(Path()) == repaired_) << context;
    }
  }

  TempDir dir_;
  std::string usable_;
  std::string original_;
  std::string repaired_;
};

TEST_F(RepairFailure, EveryOperationFailingInTurnKeepsThePackageOpenable) {
  FaultInjectingFileSystem faulty;
  for (uint64_t n = 1;; ++n) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Path(), original_).ok());
    ShowPackage package(faulty);
    ASSERT_TRUE(package.OpenPackage(Path(), false).ok());
    faulty.Reset();
    faulty.FailOperation(n, ERROR_NOT_READY);
    std::string text;
    uint64_t used = 0;
    {
      text = package.GetMetaText();
      used = faulty.operations();
    }
    std::string context = "operation " + std::to_string(n);
    ExpectOpensEitherWay(context);
    if (package.IsOpen()) {
      // What the object believes matches what the file says.
      ShowPackage reader(DefaultFileSystem());
      ASSERT_TRUE(reader.OpenPackage(Path(), false).ok());
      EXPECT_EQ(package.entries().size(), reader.entries().size()) << context << " of " << used;
    }
    if (n > used) break;
  }
}

TEST_F(RepairFailure, FullDiskLeavesThePreviousDirectory) {
  FaultInjectingFileSystem faulty;
  uint64_t appended = repaired_.size() - original_.size();
  // The last few limits would cut the six bytes of the 'L' record itself,
  // which overwrite bytes already on the medium and cannot run out of room
  // on a real disk.
  for (uint64_t limit = 0; limit + 6 <= appended; ++limit) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Path(), original_).ok());
    ShowPackage package(faulty);
    ASSERT_TRUE(package.OpenPackage(Path(), false).ok());
    faulty.Reset();
    faulty.SetDiskFullAfter(limit);
    std::string text;
    {
      text = package.GetMetaText();
    }
    EXPECT_EQ(text, usable_);
    EXPECT_TRUE(Contents(Path()) == original_) << limit;
    ExpectOpensEitherWay("limit " + std::to_string(limit));
  }
}

TEST_F(RepairFailure, ReadOnlyPackageIsClosedButUnchanged) {
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Path(), original_).ok());
  FaultInjectingFileSystem faulty;
  ShowPackage package(faulty);
  ASSERT_TRUE(package.OpenPackage(Path(), false).ok());
  faulty.SetWriteProtected(true);
  EXPECT_EQ(package.GetMetaText(), usable_);
  EXPECT_FALSE(package.IsOpen());
  EXPECT_EQ(package.OpenPackage(Path(), true).words(),
            DescribeOpenError(PackageOpenError::kRepairFailed));
  EXPECT_EQ(Contents(Path()), original_);
}

// A repair appends the description and a new directory at the end of the
// package, and every offset is 32 bits: a package that ends just under
// 4 GiB has no room for them, so the repair is refused, the package stays
// as it was and is read as it is. Sparse files: the records, a hole, the
// directory.
TEST(RepairNearFourGigabytes, IsRefusedAndLeavesThePackageAsItWas) {
  TempDir dir;
  const std::string original = PackageWithBrokenMeta();
  uint32_t directory_at = 0;
  std::memcpy(&directory_at, original.data() + kDirectoryOffsetPosition + 2, 4);
  const std::string directory = original.substr(directory_at);
  // The description's record fits before 4 GiB and the directory does not;
  // or the description's record itself would cross it.
  for (uint64_t room : {uint64_t{200}, uint64_t{40}}) {
    SCOPED_TRACE(room);
    const uint64_t end = kMaxPackageSize - room;
    const uint32_t moved = static_cast<uint32_t>(end - directory.size());
    std::string records = original.substr(0, directory_at);
    std::memcpy(records.data() + kDirectoryOffsetPosition + 2, &moved, 4);
    const std::string path = dir.Join("big.pkg");
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, records).ok());
    {
      std::unique_ptr<File> file;
      ASSERT_TRUE(
          DefaultFileSystem().Open(path, GENERIC_WRITE, Disposition::kOpenExisting, &file).ok());
      DWORD done = 0;
      ASSERT_TRUE(file->Seek(moved, SeekOrigin::kBegin, nullptr).ok());
      ASSERT_TRUE(file->Write(directory.data(), static_cast<DWORD>(directory.size()), &done).ok());
      ASSERT_TRUE(file->Close().ok());
    }
    // It still reads, with the older description standing in.
    ShowPackage package(DefaultFileSystem());
    ASSERT_TRUE(package.OpenPackage(path, true).ok());
    EXPECT_EQ(package.GetMetaText(), kUsableMeta);
    EXPECT_EQ(package.entries().size(), 3u);
    // As it was: its size, its records with the 'L' record, its directory.
    std::unique_ptr<File> file;
    ASSERT_TRUE(
        DefaultFileSystem().Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok());
    uint64_t size = 0;
    ASSERT_TRUE(file->Size(&size).ok());
    EXPECT_EQ(size, end);
    std::string head(records.size(), '\0'), tail(directory.size(), '\0');
    DWORD done = 0;
    ASSERT_TRUE(file->Read(head.data(), static_cast<DWORD>(head.size()), &done).ok());
    ASSERT_TRUE(file->Seek(moved, SeekOrigin::kBegin, nullptr).ok());
    ASSERT_TRUE(file->Read(tail.data(), static_cast<DWORD>(tail.size()), &done).ok());
    EXPECT_TRUE(head == records);
    EXPECT_TRUE(tail == directory);
  }
}

// --- Eight entries at a time, on several threads --------------------------

// A package of entries of awkward sizes, more than one group of eight,
// read through a medium that serves several threads at once: extraction
// and checking then take their grouped, parallel paths.
class GroupedFailure : public testing::Test {
 protected:
  void SetUp() override {
    PackageBuilder builder;
    builder.Magic().DirectoryOffset();
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < 19; ++i) {
      const size_t size = i % 3 == 0 ? 300000 + i * 4099 : i * 1013;
      std::string data(size, '\0');
      for (size_t k = 0; k < size; ++k) data[k] = static_cast<char>(k * 31 + i);
      items_.push_back({"e" + std::to_string(i) + ".jpg", data});
      uint32_t at = 0;
      builder.StoredFile(items_.back().first, data, &at);
      offsets.push_back(at);
    }
    builder.DirectoryHead(static_cast<uint32_t>(items_.size()));
    for (size_t i = 0; i < items_.size(); ++i) {
      const std::string& data = items_[i].second;
      entries_.push_back({items_[i].first, offsets[i], static_cast<uint32_t>(data.size()),
                          Md5BufferHex(data.data(), data.size())});
      builder.Entry(items_[i].first, offsets[i], static_cast<uint32_t>(data.size()),
                    entries_.back().md5);
    }
    ASSERT_TRUE(builder.PointAtDirectory().WriteTo(DefaultFileSystem(), Package()));
    faulty_.ServeThreads(true);
  }
  std::string Package() const { return dir_.Join("show.pkg"); }
  // Where the data of entry i begins in the package.
  uint64_t DataOffset(size_t i) const {
    return entries_[i].offset + 6 + 4 + items_[i].first.size() + 6;
  }
  // Every entry into a new folder, three groups at a time.
  std::vector<EntrySave> Extract(const std::string& folder) {
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join(folder)).ok());
    std::vector<std::pair<std::string, std::string>> targets;
    for (const auto& [name, data] : items_) targets.emplace_back(name, dir_.Join(folder + "/" + name));
    ShowPackage package(faulty_);
    EXPECT_TRUE(package.OpenPackage(Package(), false).ok());
    return package.SaveEntries(targets, 3);
  }

  TempDir dir_;
  FaultInjectingFileSystem faulty_;
  std::vector<std::pair<std::string, std::string>> items_;  // name, data
  std::vector<PackageEntry> entries_;
};

// Wherever the disk fills up, the file being written is a failed write,
// named with the disk's error, and never passes for a damaged entry.
TEST_F(GroupedFailure, AFullDiskFailsTheWriteOfTheFilesItStops) {
  for (uint64_t limit : {uint64_t{0}, uint64_t{150000}, uint64_t{1000000}, uint64_t{2000000}}) {
    SCOPED_TRACE(limit);
    faulty_.Reset();
    faulty_.SetDiskFullAfter(limit);
    const std::string folder = "out" + std::to_string(limit);
    const std::vector<EntrySave> saves = Extract(folder);
    ASSERT_EQ(saves.size(), items_.size());
    size_t failed = 0;
    for (size_t i = 0; i < saves.size(); ++i) {
      const std::string target = dir_.Join(folder + "/" + items_[i].first);
      if (saves[i].result == EntrySaveResult::kSaved) {
        EXPECT_TRUE(Contents(target) == items_[i].second) << items_[i].first;
        continue;
      }
      ++failed;
      EXPECT_EQ(saves[i].result, EntrySaveResult::kWriteFailed) << items_[i].first;
      EXPECT_EQ(saves[i].error, ERROR_DISK_FULL) << items_[i].first;
      EXPECT_FALSE(Exists(target)) << items_[i].first;
    }
    EXPECT_GT(failed, 0u);
  }
}

// A read that fails in the middle of a record while its group is read
// leaves that entry to be read again alone, which finds the damage: it is
// reported damaged, its file is not kept, and the others are whole.
TEST_F(GroupedFailure, AReadFailingInsideARecordMakesThatEntryDamaged) {
  for (size_t damaged : {size_t{3}, size_t{10}, size_t{13}}) {
    SCOPED_TRACE(items_[damaged].first);
    faulty_.Reset();
    faulty_.SetDamagedByte("show.pkg", DataOffset(damaged) + items_[damaged].second.size() / 2);
    const std::string folder = "out" + std::to_string(damaged);
    const std::vector<EntrySave> saves = Extract(folder);
    ASSERT_EQ(saves.size(), items_.size());
    for (size_t i = 0; i < saves.size(); ++i) {
      const std::string target = dir_.Join(folder + "/" + items_[i].first);
      if (i == damaged) {
        EXPECT_EQ(saves[i].result, EntrySaveResult::kDamaged);
        EXPECT_FALSE(Exists(target));
      } else {
        EXPECT_EQ(saves[i].result, EntrySaveResult::kSaved) << items_[i].first;
        EXPECT_TRUE(Contents(target) == items_[i].second) << items_[i].first;
      }
    }
  }
}

// Checking groups of eight on several threads, each entry read through a
// stream of its own, tells the entry whose record cannot be read whole and
// no other.
TEST_F(GroupedFailure, CheckingTellsTheEntryThatCannotBeReadAndNoOther) {
  const size_t damaged = 9;
  faulty_.SetDamagedByte("show.pkg", DataOffset(damaged) + 1);
  std::vector<StoredEntryCheck> checks(entries_.size(), StoredEntryCheck::kDamagedRecord);
  RunInLaneGroups(
      entries_.size(), 3, nullptr,
      [&](size_t first, size_t size) {
        CheckStoredEntries(faulty_, Package(), entries_.data() + first, size, checks.data() + first);
      },
      [](size_t) { return true; });
  for (size_t i = 0; i < checks.size(); ++i) {
    EXPECT_EQ(checks[i], i == damaged ? StoredEntryCheck::kCutOff : StoredEntryCheck::kWhole)
        << items_[i].first;
  }
}

}  // namespace

}  // namespace tavirelle
