// Copying and renaming where the machine's fast calls are not offered or
// misbehave, as on other file systems: system calls that fail the way those
// file systems' do are handed to the file system through its seam.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"
#include "platform/system_calls.h"
#include "testing/file_times.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

std::string Contents(const std::string& path) {
  std::string contents;
  return ReadWholeFile(DefaultFileSystem(), path, &contents).ok() ? contents : "<missing>";
}

bool Exists(const std::string& path) {
  DWORD attributes = 0;
  return DefaultFileSystem().GetFileAttributes(path, &attributes).ok();
}

int64_t LastWrite(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

class CopyAndMove : public testing::Test {
 protected:
  void SetUp() override {
    // More than the fallback's one-mebibyte buffer, ending part way into one.
    source_bytes_.resize(3 * 1024 * 1024 + 7);
    for (size_t i = 0; i < source_bytes_.size(); ++i) {
      source_bytes_[i] = static_cast<char>(i * 7 + i / 4093);
    }
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Source(), source_bytes_).ok());
    SetLastWrite(Source(), 1000000000);
  }
  std::string Source() const { return dir_.Join("source.jpg"); }
  std::string Target() const { return dir_.Join("target.jpg"); }

  TempDir dir_;
  std::string source_bytes_;
  SystemCalls calls_ = RealSystemCalls();
};

// Where the kernel cannot copy between the two files (other devices, a file
// system without the call), the bytes are read and written, through
// interrupted calls and writes that take part of what they are given.
TEST_F(CopyAndMove, CopyFallsBackToReadingAndWritingWhateverTheCallSays) {
  for (int refusal : {EXDEV, ENOSYS, EINVAL, EOPNOTSUPP}) {
    SCOPED_TRACE(refusal);
    int copies = 0, reads = 0, writes = 0;
    calls_.copy_file_range = [&](int, int, size_t) -> ssize_t {
      errno = ++copies == 1 ? EINTR : refusal;  // interrupted, then refused
      return -1;
    };
    calls_.read = [&](int fd, void* buffer, size_t length) -> ssize_t {
      if (++reads % 3 == 1) {
        errno = EINTR;
        return -1;
      }
      return ::read(fd, buffer, length);
    };
    calls_.write = [&](int fd, const void* buffer, size_t length) -> ssize_t {
      if (++writes % 5 == 2) {
        errno = EINTR;
        return -1;
      }
      return ::write(fd, buffer, std::min<size_t>(length, 65521));
    };
    auto fs = NewPosixFileSystem(calls_);
    Status copied = fs->CopyFile(Source(), Target(), IfExists::kReplace);
    ASSERT_TRUE(copied.ok()) << copied.code();
    EXPECT_TRUE(Contents(Target()) == source_bytes_);
    EXPECT_EQ(LastWrite(Target()), 1000000000);  // the copy keeps the source's time
    EXPECT_GT(writes, 50);
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(Target()).ok());
  }
}

// A copy that fails part way leaves no target behind, and says why.
TEST_F(CopyAndMove, ACopyThatFailsPartWayLeavesNoTarget) {
  calls_.copy_file_range = [](int, int, size_t) -> ssize_t {
    errno = EXDEV;
    return -1;
  };
  const struct {
    int read_error, write_error;
    DWORD expected;
  } cases[] = {{EIO, 0, Win32ErrorFromErrno(EIO)}, {0, ENOSPC, ERROR_DISK_FULL}};
  for (const auto& c : cases) {
    int calls = 0;
    calls_.read = [&](int fd, void* buffer, size_t length) -> ssize_t {
      if (c.read_error != 0 && ++calls == 2) {
        errno = c.read_error;
        return -1;
      }
      return ::read(fd, buffer, length);
    };
    calls_.write = [&](int fd, const void* buffer, size_t length) -> ssize_t {
      if (c.write_error != 0 && ++calls == 2) {
        errno = c.write_error;
        return -1;
      }
      return ::write(fd, buffer, length);
    };
    auto fs = NewPosixFileSystem(calls_);
    EXPECT_EQ(fs->CopyFile(Source(), Target(), IfExists::kReplace).code(), c.expected);
    EXPECT_FALSE(Exists(Target()));
  }
}

TEST_F(CopyAndMove, CopyOntoWhatIsThereReplacesOnlyWhenAskedAndNeverAProtectedFile) {
  FileSystem& fs = DefaultFileSystem();
  ASSERT_TRUE(WriteWholeFile(fs, Target(), "the user's own").ok());
  EXPECT_EQ(fs.CopyFile(Source(), Target(), IfExists::kFail).code(), ERROR_FILE_EXISTS);
  EXPECT_EQ(Contents(Target()), "the user's own");
  ASSERT_TRUE(fs.SetFileAttributes(Target(), FILE_ATTRIBUTE_READONLY).ok());
  EXPECT_EQ(fs.CopyFile(Source(), Target(), IfExists::kReplace).code(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Contents(Target()), "the user's own");
  ASSERT_TRUE(fs.SetFileAttributes(Target(), 0).ok());
  EXPECT_TRUE(fs.CopyFile(Source(), Target(), IfExists::kReplace).ok());
  EXPECT_TRUE(Contents(Target()) == source_bytes_);
  ASSERT_TRUE(fs.CreateDirectory(dir_.Join("folder")).ok());
  EXPECT_EQ(fs.CopyFile(Source(), dir_.Join("folder"), IfExists::kReplace).code(),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.CopyFile(dir_.Join("folder"), dir_.Join("copy"), IfExists::kReplace).code(),
            ERROR_ACCESS_DENIED);
}

// Where renaming cannot be told to keep an existing file, a file is linked
// under its new name (which fails on an existing one) and its old name
// removed; a folder is renamed once nothing stands under the new name.
TEST_F(CopyAndMove, MoveWithoutReplacingWhereTheFileSystemCannotBeToldSo) {
  for (int refusal : {EINVAL, ENOSYS}) {
    SCOPED_TRACE(refusal);
    calls_.renameat2 = [&](const char*, const char*, unsigned) {
      errno = refusal;
      return -1;
    };
    auto fs = NewPosixFileSystem(calls_);
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), Target(), "the user's own").ok());
    EXPECT_EQ(fs->MoveFile(Source(), Target(), IfExists::kFail).code(),
              ERROR_ALREADY_EXISTS);  // as where the rename can say so
    EXPECT_EQ(Contents(Target()), "the user's own");
    EXPECT_TRUE(Contents(Source()) == source_bytes_);

    EXPECT_TRUE(fs->MoveFile(Source(), dir_.Join("moved.jpg"), IfExists::kFail).ok());
    EXPECT_FALSE(Exists(Source()));
    EXPECT_TRUE(Contents(dir_.Join("moved.jpg")) == source_bytes_);
    EXPECT_TRUE(fs->MoveFile(dir_.Join("moved.jpg"), Source(), IfExists::kFail).ok());

    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("folder")).ok());
    EXPECT_EQ(fs->MoveFile(dir_.Join("folder"), Target(), IfExists::kFail).code(),
              ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(fs->MoveFile(dir_.Join("folder"), dir_.Join("renamed"), IfExists::kFail).ok());
    EXPECT_TRUE(DefaultFileSystem().RemoveDirectory(dir_.Join("renamed")).ok());
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(Target()).ok());
  }
  // Any other failure of the rename is the failure of the move.
  calls_.renameat2 = [](const char*, const char*, unsigned) {
    errno = EACCES;
    return -1;
  };
  EXPECT_EQ(NewPosixFileSystem(calls_)->MoveFile(Source(), Target(), IfExists::kFail).code(),
            ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Contents(Source()) == source_bytes_);
}

// A copy is readable by no one who could not read its source, whether it is
// made new or replaces a file that others could read.
TEST(CopyFile, NeverMakesAFileMoreReadableThanItsSource) {
  TempDir dir;
  struct Case {
    mode_t source;
    bool replace;
  };
  for (const Case& c :
       {Case{0640, false}, Case{0600, false}, Case{0600, true}, Case{0644, false}}) {
    std::string from = dir.Join("from"), to = dir.Join("to");
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), from, "private").ok());
    ASSERT_EQ(::chmod(from.c_str(), c.source), 0);
    if (c.replace) {
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), to, "old").ok());
      ASSERT_EQ(::chmod(to.c_str(), 0644), 0);
    }
    ASSERT_TRUE(DefaultFileSystem()
                    .CopyFile(from, to, c.replace ? IfExists::kReplace : IfExists::kFail)
                    .ok());
    struct stat st {};
    ASSERT_EQ(::stat(to.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0444 & ~c.source, 0u) << std::oct << c.source;
    EXPECT_NE(st.st_mode & S_IRUSR, 0u);
    std::string copied;
    ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), to, &copied).ok());
    EXPECT_EQ(copied, "private");
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(from).ok());
    ASSERT_TRUE(DefaultFileSystem().DeleteFile(to).ok());
  }
}

}  // namespace

}  // namespace tavirelle
