#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/status.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/folder_names.h"
#include "testing/memory_file_system.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

TEST(FileSystem, FindListsDotsFirstThenNamesIgnoringCase) {
  TempDir dir;
  for (const char* name : {"b.jpg", "A.jpg", "c.JPG", "d.txt"}) {
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join(name), "x").ok());
  }
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("Sub")).ok());
  std::vector<FindData> found;
  ASSERT_TRUE(DefaultFileSystem().Find(dir.Join("*.jpg"), &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"A.jpg", "b.jpg", "c.JPG"}));
  ASSERT_TRUE(DefaultFileSystem().Find(dir.Join("*"), &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{".", "..", "A.jpg", "b.jpg",
                                                    "c.JPG", "d.txt", "Sub"}));
  EXPECT_TRUE(found[0].IsFolder());
  // Windows-style separators and a drive reach the same folder.
  std::string windows = dir.path();
  for (char& c : windows) c = c == '/' ? '\\' : c;
  if (windows.size() < 2 || windows[1] != ':') windows = "C:" + windows;
  ASSERT_TRUE(DefaultFileSystem().Find(windows + "*.TXT", &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"d.txt"}));
  EXPECT_EQ(DefaultFileSystem().Find(dir.Join("*.none"), &found).code(), ERROR_FILE_NOT_FOUND);
}

TEST(FileSystem, ReadOnlyFilesRefuseWritersAndDeletion) {
  TempDir dir;
  std::string path = dir.Join("ro.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, "keep").ok());
  FileSystem* fs = &DefaultFileSystem();
  ASSERT_TRUE(fs->SetFileAttributes(path, FILE_ATTRIBUTE_READONLY).ok());
  DWORD attributes = 0;
  ASSERT_TRUE(fs->GetFileAttributes(path, &attributes).ok());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  std::unique_ptr<File> file;
  EXPECT_EQ(fs->Open(path, GENERIC_WRITE, Disposition::kOpenExisting, &file).code(),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(fs->DeleteFile(path).code(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(fs->SetFileAttributes(path, 0).ok());
  EXPECT_TRUE(fs->DeleteFile(path).ok());
  EXPECT_EQ(fs->GetFileAttributes(path, &attributes).code(), ERROR_FILE_NOT_FOUND);
}

TEST(FaultInjectingFileSystem, DiskFullAfterNBytes) {
  TempDir dir;
  FaultInjectingFileSystem faulty;
  faulty.SetDiskFullAfter(5);
  std::unique_ptr<File> file;
  ASSERT_TRUE(faulty.Open(dir.Join("f"), GENERIC_WRITE, Disposition::kCreateAlways, &file).ok());
  DWORD done = 0;
  EXPECT_TRUE(file->Write("abc", 3, &done).ok());
  EXPECT_EQ(file->Write("defg", 4, &done).code(), ERROR_DISK_FULL);
  EXPECT_EQ(done, 2u);
  EXPECT_TRUE(file->Close().ok());
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(faulty, dir.Join("f"), &contents).ok());
  EXPECT_EQ(contents, "abcde");
}

TEST(FaultInjectingFileSystem, WriteProtectedAndAccessDenied) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("in"), "data").ok());
  FaultInjectingFileSystem faulty;
  faulty.SetWriteProtected(true);
  std::unique_ptr<File> file;
  EXPECT_EQ(faulty.Open(dir.Join("new"), GENERIC_WRITE, Disposition::kCreateAlways, &file).code(),
            ERROR_WRITE_PROTECT);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(faulty.DeleteFile(dir.Join("in")).code(), ERROR_WRITE_PROTECT);
  std::string contents;
  EXPECT_TRUE(ReadWholeFile(faulty, dir.Join("in"), &contents).ok());
  faulty.Reset();
  faulty.DenyAccess("in");
  EXPECT_EQ(ReadWholeFile(faulty, dir.Join("in"), &contents).code(), ERROR_ACCESS_DENIED);
}

TEST(FaultInjectingFileSystem, ShortReadsAndNthOperation) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("in"), "0123456789").ok());
  FaultInjectingFileSystem faulty;
  faulty.SetShortReads(3);
  std::unique_ptr<File> file;
  ASSERT_TRUE(faulty.Open(dir.Join("in"), GENERIC_READ, Disposition::kOpenExisting, &file).ok());
  char buffer[10];
  DWORD done = 0;
  EXPECT_TRUE(file->Read(buffer, 10, &done).ok());
  EXPECT_EQ(done, 3u);
  faulty.FailOperation(2, ERROR_NOT_READY);
  EXPECT_TRUE(file->Read(buffer, 10, &done).ok());
  EXPECT_EQ(file->Read(buffer, 10, &done).code(), ERROR_NOT_READY);
  EXPECT_TRUE(file->Read(buffer, 10, &done).ok());
}

TEST(Status, MapsErrnoToWin32Codes) {
  EXPECT_EQ(Win32ErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
  EXPECT_EQ(Win32ErrorFromErrno(EROFS), ERROR_WRITE_PROTECT);
  EXPECT_EQ(Win32ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Win32ErrorFromErrno(EPERM), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Win32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DISK_FULL), static_cast<HRESULT>(0x80070070));
}

TEST(MoveFile, WithoutReplaceNeverReplacesAFile) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("a"), "a").ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir.Join("b"), "b").ok());
  EXPECT_EQ(DefaultFileSystem().MoveFile(dir.Join("a"), dir.Join("b"), IfExists::kFail).code(),
            ERROR_ALREADY_EXISTS);
  std::string a, b;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("a"), &a).ok());
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("b"), &b).ok());
  EXPECT_EQ(a + b, "ab");
  EXPECT_TRUE(DefaultFileSystem().MoveFile(dir.Join("a"), dir.Join("c"), IfExists::kFail).ok());
  DWORD attributes = 0;
  EXPECT_FALSE(DefaultFileSystem().GetFileAttributes(dir.Join("a"), &attributes).ok());
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir.Join("c"), &a).ok());
  EXPECT_EQ(a, "a");
}

}  // namespace

// Whether the real file system is Windows', whose names differ from the memory
// one's in case and in the characters they may hold.
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// The real file system and the memory one used by tests agree on names.
struct NameCase {
  const char* label;
  bool real;
};

class FileNames : public ::testing::TestWithParam<NameCase> {
 protected:
  FileSystem* fs() { return GetParam().real ? &DefaultFileSystem() : &memory_; }
  std::string root() { return GetParam().real ? dir_.path() : "/m/"; }
  // Makes a file or folder behind the platform layer's back, as another
  // program could: the layer itself refuses such names.
  void MakeFile(const std::string& name) {
    if (GetParam().real) {
      std::ofstream file(std::filesystem::path(dir_.Join(name)));
      ASSERT_TRUE(file.good());
    } else {
      memory_.SetFile(root() + name, "x");
    }
  }
  void MakeFolder(const std::string& name) {
    if (GetParam().real) {
      ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::path(dir_.Join(name))));
    } else {
      memory_.SetFile(root() + name + "/inner", "x");
    }
  }

  TempDir dir_;
  MemoryFileSystem memory_;
};

TEST_P(FileNames, WildcardsInANameAreInvalidEverywhereButAFindPattern) {
  if (GetParam().real && kWindows) {
    GTEST_SKIP() << "Windows file names cannot hold '?', '*', ':' or '|', so no program "
                    "can make the files this test refuses to reach";
  }
  // What a lossy conversion makes of a Greek name, and a folder named alike.
  MakeFile("??????.jpg");
  MakeFolder("??");
  MakeFile("ok.jpg");
  std::string lossy = root() + "??????.jpg", star = root() + "*.jpg", ok = root() + "ok.jpg";
  auto refused = [](const Status& status) { return status.code() == ERROR_INVALID_NAME; };
  FileSystem* f = fs();
  std::unique_ptr<File> file;
  DWORD attributes = 0;
  for (const std::string& name : {lossy, star, root() + "??\\inner"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(refused(f->Open(name, GENERIC_READ, Disposition::kOpenExisting, &file)));
    EXPECT_TRUE(refused(f->Open(name, GENERIC_WRITE, Disposition::kCreateAlways, &file)));
    EXPECT_EQ(file, nullptr);
    EXPECT_TRUE(refused(f->CopyFile(name, root() + "copy.jpg", IfExists::kReplace)));
    EXPECT_TRUE(refused(f->CopyFile(ok, name, IfExists::kReplace)));
    EXPECT_TRUE(refused(f->MoveFile(name, root() + "moved.jpg", IfExists::kReplace)));
    EXPECT_TRUE(refused(f->MoveFile(ok, name, IfExists::kReplace)));
    EXPECT_TRUE(refused(f->DeleteFile(name)));
    EXPECT_TRUE(refused(f->GetFileAttributes(name, &attributes)));
    EXPECT_TRUE(refused(f->SetFileAttributes(name, FILE_ATTRIBUTE_READONLY)));
    EXPECT_TRUE(refused(f->CreateDirectory(name)));
  }
  EXPECT_TRUE(refused(f->RemoveDirectory(root() + "??")));
  std::vector<FindData> found;
  EXPECT_TRUE(refused(f->Find(root() + "??\\*", &found)));
  // Nothing was touched, and as a pattern the name still matches.
  EXPECT_TRUE(f->GetFileAttributes(ok, &attributes).ok());
  ASSERT_TRUE(f->Find(lossy, &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"??????.jpg"}));
  // ':' and '|' never come from a conversion and stay legal here.
  ASSERT_TRUE(f->Open(root() + "a:b|c.txt", GENERIC_WRITE, Disposition::kCreateNew, &file).ok());
  EXPECT_TRUE(f->GetFileAttributes(root() + "a:b|c.txt", &attributes).ok());
}

TEST_P(FileNames, APlainNameIsFoundOnlyAsSpelledAndAPatternIgnoresCase) {
  if (GetParam().real && kWindows) {
    GTEST_SKIP() << "Windows resolves every name ignoring case, and a plain name is resolved "
                    "as the system does";
  }
  MakeFile("hills.jpg");
  MakeFolder("photos");
  FileSystem* f = fs();
  std::vector<FindData> found;
  EXPECT_EQ(f->Find(root() + "HILLS.JPG", &found).code(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(f->Find(root() + "gone\\hills.jpg", &found).code(), ERROR_PATH_NOT_FOUND);
  DWORD attributes = 0;
  EXPECT_FALSE(f->GetFileAttributes(root() + "HILLS.JPG", &attributes).ok());
  std::unique_ptr<File> file;
  EXPECT_FALSE(f->Open(root() + "HILLS.JPG", GENERIC_READ, Disposition::kOpenExisting, &file).ok());
  ASSERT_TRUE(f->Find(root() + "hills.jpg", &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"hills.jpg"}));
  ASSERT_TRUE(f->Find(root() + "HILLS.*", &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"hills.jpg"}));
  EXPECT_FALSE(f->Find(root() + "PHOTOS", &found).ok());
  ASSERT_TRUE(f->Find(root() + "photos", &found).ok());
  EXPECT_TRUE(found[0].IsFolder());
}

INSTANTIATE_TEST_SUITE_P(BothFileSystems, FileNames,
                         ::testing::Values(NameCase{"Real", true}, NameCase{"Memory", false}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace tavirelle
