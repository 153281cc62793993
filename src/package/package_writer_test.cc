// The package writer's limits and publishing: packages past what 32-bit
// offsets address, files copied in several chunks, and the move of the
// finished package to its name.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "testing/package_test_support.h"
#include "util/file_utils.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

// Passes every call to the real file system, except for files of several
// gigabytes that it only pretends to hold (listed with one size, opened with
// another when the file "grew" in between, read as a repeated byte), and an
// optional hook run when a file is created.
class StandInFileSystem final : public FileSystem {
 public:
  struct Large {
    std::string name;
    uint64_t listed;
    uint64_t actual;
  };
  void AddLarge(const std::string& name, uint64_t listed, uint64_t actual) {
    large_.push_back({name, listed, actual});
  }
  std::function<void(const std::string&)> on_create;
  uint64_t bytes_served = 0;

  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override {
    if (const Large* large = Find(path)) {
      if (access & GENERIC_WRITE) {
        SetLastError(ERROR_ACCESS_DENIED);
        return Status::Error(ERROR_ACCESS_DENIED);
      }
      *file = std::make_unique<LargeFile>(large->actual, &bytes_served);
      return Status::Ok();
    }
    bool creates = disposition != Disposition::kOpenExisting && !PathExists(*real_, path);
    Status opened = real_->Open(path, access, disposition, file);
    if (opened.ok() && creates && on_create) on_create(path);
    return opened;
  }
  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    return real_->CopyFile(from, to, if_exists);
  }
  Status DeleteFile(const std::string& path) override { return real_->DeleteFile(path); }
  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    return real_->MoveFile(from, to, if_exists);
  }
  Status CreateDirectory(const std::string& path) override { return real_->CreateDirectory(path); }
  Status RemoveDirectory(const std::string& path) override { return real_->RemoveDirectory(path); }
  Status GetFileAttributes(const std::string& path, DWORD* attributes) override {
    if (!Find(path)) return real_->GetFileAttributes(path, attributes);
    *attributes = FILE_ATTRIBUTE_ARCHIVE;
    return Status::Ok();
  }
  Status SetFileAttributes(const std::string& path, DWORD attributes) override {
    return real_->SetFileAttributes(path, attributes);
  }
  Status Find(const std::string& pattern, std::vector<FindData>* matches) override {
    Status found = real_->Find(pattern, matches);
    std::string wanted = Extension(pattern);
    for (const Large& large : large_) {
      if (Extension(large.name) != wanted) continue;
      FindData data;
      data.name = large.name;
      data.attributes = FILE_ATTRIBUTE_ARCHIVE;
      data.size = large.listed;
      matches->push_back(data);
      found = Status::Ok();
    }
    return found;
  }

 private:
  class LargeFile final : public File {
   public:
    LargeFile(uint64_t size, uint64_t* served) : size_(size), served_(served) {}
    Status Read(void* buffer, DWORD n, DWORD* done) override {
      uint64_t left = size_ - position_;
      *done = static_cast<DWORD>(std::min<uint64_t>(n, left));
      std::memset(buffer, 'x', *done);
      position_ += *done;
      *served_ += *done;
      return Status::Ok();
    }
    Status Write(const void*, DWORD, DWORD* done) override {
      *done = 0;
      SetLastError(ERROR_ACCESS_DENIED);
      return Status::Error(ERROR_ACCESS_DENIED);
    }
    Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
      uint64_t base = origin == SeekOrigin::kBegin ? 0
                      : origin == SeekOrigin::kEnd ? size_
                                                   : position_;
      position_ = base + static_cast<uint64_t>(offset);
      if (position) *position = position_;
      return Status::Ok();
    }
    Status Size(uint64_t* size) override {
      *size = size_;
      return Status::Ok();
    }
    Status Truncate() override { return Status::Error(ERROR_ACCESS_DENIED); }
    Status Close() override { return Status::Ok(); }

   private:
    uint64_t size_;
    uint64_t position_ = 0;
    uint64_t* served_;
  };

  const Large* Find(const std::string& path) const {
    for (const Large& large : large_) {
      if (FileNameOf(path) == large.name) return &large;
    }
    return nullptr;
  }

  FileSystem* real_ = &DefaultFileSystem();
  std::vector<Large> large_;
};

class PackageWriter : public ShowFolderTest {
 protected:
  void SetUp() override {
    MakeShow({{"meta.xml", "<qx>meta</qx>"}, {"a.jpg", std::string(7000, 'a')}});
  }
};

TEST_F(PackageWriter, ShowBeyondFourGigabytesIsRefusedBeforeAnythingIsWritten) {
  StandInFileSystem fs;
  fs.AddLarge("big1.jpg", 2500000000u, 2500000000u);
  fs.AddLarge("big2.jpg", 2500000000u, 2500000000u);
  std::vector<PackageSource> sources;
  ASSERT_TRUE(ListPackageSources(fs, show_, &sources).ok());
  EXPECT_GT(PackageSizeOf(sources), 5000000000u);

  ShowPackage package(fs);
  std::string target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_)), static_cast<HRESULT>(0x800700DF));
  EXPECT_EQ(package.lastError(), static_cast<int32_t>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(fs.bytes_served, 0u);
  EXPECT_TRUE(OutFiles().empty());
}

TEST_F(PackageWriter, FileThatGrewPastTheLimitFailsTheWriteAndLeavesNothing) {
  // Listed small, so the show passes the first check; when opened it would
  // put the package's offsets past 32 bits.
  StandInFileSystem fs;
  fs.AddLarge("grown.jpg", 100, 0xFFFFFFF0u);
  ShowPackage package(fs);
  std::string target = Target();
  EXPECT_FALSE(package.WritePackage(target, show_).ok());
  EXPECT_EQ(package.lastError(), static_cast<int32_t>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(fs.bytes_served, 0u);
  EXPECT_TRUE(OutFiles().empty());
}

TEST_F(PackageWriter, AFolderThatIsNotThereIsRefusedAndNothingIsWritten) {
  ShowPackage package(DefaultFileSystem());
  std::string target = Target();
  EXPECT_EQ(ToHresult(package.WritePackage(target, show_ + "missing/")),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(package.lastError(), static_cast<int32_t>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(OutFiles().empty());
}

TEST_F(PackageWriter, PlannedSizeIsTheWrittenSize) {
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show_ + "__w133_h100_a.jpg", "thumb").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show_ + "tune.mp3", std::string(3000, 'm')).ok());
  std::vector<PackageSource> sources;
  ASSERT_TRUE(ListPackageSources(DefaultFileSystem(), show_, &sources).ok());
  ShowPackage package(DefaultFileSystem());
  std::string target = Target();
  ASSERT_TRUE(package.WritePackage(target, show_).ok());
  uint64_t written = 0;
  std::unique_ptr<File> file;
  ASSERT_TRUE(
      DefaultFileSystem().Open(target, GENERIC_READ, Disposition::kOpenExisting, &file).ok());
  ASSERT_TRUE(file->Size(&written).ok());
  EXPECT_EQ(PackageSizeOf(sources), written);
}

TEST_F(PackageWriter, FilesOfSeveralChunksAreDigestedWhole) {
  // Larger than the copy chunk and not a multiple of it, with bytes that
  // differ in every chunk.
  std::string big(kCopyChunk * 2 + 12345, '\0');
  std::mt19937 random(7);
  for (char& c : big) c = static_cast<char>(random());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), show_ + "big.jpg", big).ok());
  ShowPackage package(DefaultFileSystem());
  std::string target = Target();
  ASSERT_TRUE(package.WritePackage(target, show_).ok());
  ASSERT_TRUE(package.OpenPackage(target, false).ok());
  const PackageEntry* entry = package.FindEntry("big.jpg");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->size, big.size());
  EXPECT_EQ(entry->md5, Md5BufferHex(big.data(), big.size()));
  std::string stored;
  ASSERT_TRUE(package.ReadEntry("big.jpg", &stored));
  EXPECT_TRUE(stored == big);
}

TEST_F(PackageWriter, NameTakenWhileWritingGetsTheNextFreeNameAndIsKept) {
  // Someone creates the package's name while the writer works: the finished
  // package moves to "show (2).pkg" and the other file stays as it was.
  StandInFileSystem fs;
  fs.on_create = [&](const std::string& path) {
    if (path.find(kPartialPackageMarker) == std::string::npos) return;
    EXPECT_EQ(FileNameOf(path).rfind(".show.pkg.tavirelle-partial-", 0), 0u) << path;
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Target(), "theirs").ok());
  };
  ShowPackage package(fs);
  std::string target = Target();
  ASSERT_TRUE(package.WritePackage(target, show_).ok());
  EXPECT_EQ(target, dir_.Join("out/show (2).pkg"));
  std::string theirs;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), Target(), &theirs).ok());
  EXPECT_EQ(theirs, "theirs");
  EXPECT_TRUE(package.OpenPackage(target, false).ok());
  EXPECT_EQ(OutFiles().size(), 2u);
}

}  // namespace

}  // namespace tavirelle
