// The Windows side of the platform layer where it meets the system: names
// the code page cannot hold, read-only files, the system's own last error,
// and the program's own place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_dates.h"
#include "platform/file_system.h"
#include "platform/guid.h"
#include "platform/host.h"
#include "platform/last_error.h"
#include "platform/links.h"
#include "platform/processors.h"
#include "platform/windows/win32.h"
#include "testing/folder_names.h"
#include "testing/temp_dir.h"

namespace tavirelle {
namespace {

// Makes a file by its UTF-16 name, as another program could.
void MakeFile(const TempDir& dir, const std::u16string& name) {
  std::u16string folder;
  ASSERT_TRUE(win32::CodePageToWide(dir.path(), &folder));
  std::ofstream file(std::filesystem::path(folder + name));
  ASSERT_TRUE(file.good());
}

// A name the code page cannot hold is listed with "?" in place of what it
// lacks, never as the nearest name it has ("A" for "Ā"): such a name would
// reach another file.
TEST(WindowsFileSystem, ListsNamesOutsideTheCodePageWithoutBestFitAndRefusesThem) {
  TempDir dir;
  MakeFile(dir, u"\u0100.txt");                          // Ā: best fit would be "A"
  MakeFile(dir, u"\u03a4\u03bf\u03c0\u03af\u03bf.txt");  // Τοπίο
  MakeFile(dir, u"A.txt");
  MakeFile(dir, u"caf\u00e9.txt");  // é is in the code page
  FileSystem& fs = DefaultFileSystem();
  std::vector<FindData> found;
  ASSERT_TRUE(fs.Find(dir.Join("*.txt"), &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"?.txt", "?????.txt", "A.txt",
                                                    "caf\xe9.txt"}));
  std::string contents;
  EXPECT_EQ(ReadWholeFile(fs, dir.Join("?.txt"), &contents).code(), ERROR_INVALID_NAME);
  EXPECT_TRUE(ReadWholeFile(fs, dir.Join("caf\xe9.txt"), &contents).ok());
}

TEST(WindowsFileSystem, ReadOnlyFilesAreNeitherReplacedNorOpenedForWriting) {
  TempDir dir;
  FileSystem& fs = DefaultFileSystem();
  ASSERT_TRUE(WriteWholeFile(fs, dir.Join("kept"), "kept").ok());
  ASSERT_TRUE(WriteWholeFile(fs, dir.Join("other"), "other").ok());
  ASSERT_TRUE(fs.SetFileAttributes(dir.Join("kept"), FILE_ATTRIBUTE_READONLY).ok());
  EXPECT_EQ(fs.CopyFile(dir.Join("other"), dir.Join("kept"), IfExists::kReplace).code(),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.MoveFile(dir.Join("other"), dir.Join("kept"), IfExists::kReplace).code(),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(WriteWholeFile(fs, dir.Join("kept"), "lost").code(), ERROR_ACCESS_DENIED);
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(fs, dir.Join("kept"), &contents).ok());
  EXPECT_EQ(contents, "kept");
  ASSERT_TRUE(fs.SetFileAttributes(dir.Join("kept"), 0).ok());
}

TEST(WindowsFileSystem, FindReportsTheDateSetAndTheSize) {
  TempDir dir;
  FileSystem& fs = DefaultFileSystem();
  ASSERT_TRUE(WriteWholeFile(fs, dir.Join("dated.jpg"), "12345").ok());
  ASSERT_TRUE(SetLastWriteTime(dir.Join("dated.jpg"), FileTime{1234567890, 500000000}).ok());
  std::vector<FindData> found;
  ASSERT_TRUE(fs.Find(dir.Join("dated.jpg"), &found).ok());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].last_write.seconds, 1234567890);
  EXPECT_EQ(found[0].last_write.nanoseconds, 500000000);
  EXPECT_EQ(found[0].size, 5u);
  // A plain name is resolved as the system does, and comes back as spelled
  // in the folder.
  ASSERT_TRUE(fs.Find(dir.Join("DATED.JPG"), &found).ok());
  EXPECT_EQ(Names(found), (std::vector<std::string>{"dated.jpg"}));
  EXPECT_EQ(fs.Find(dir.Join("missing.jpg"), &found).code(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Find(dir.Join("missing\\*.jpg"), &found).code(), ERROR_PATH_NOT_FOUND);
}

// A link among a folder's files is told from a plain file, and where it
// leads: a file inside the folder, something else, or a file outside.
TEST(WindowsLinks, TellWhereALinkAmongAFoldersFilesLeads) {
  TempDir outside_dir, dir;
  FileSystem& fs = DefaultFileSystem();
  ASSERT_TRUE(WriteWholeFile(fs, dir.Join("plain.jpg"), "x").ok());
  ASSERT_TRUE(WriteWholeFile(fs, outside_dir.Join("private"), "x").ok());
  ASSERT_TRUE(fs.CreateDirectory(dir.Join("sub")).ok());
  auto wide = [](const std::string& path) {
    std::u16string text;
    EXPECT_TRUE(win32::CodePageToWide(path, &text));
    return text;
  };
  struct Case {
    const char* link;
    std::string target;
    LinkReach reach;
  } cases[] = {
      {"inside.jpg", dir.Join("plain.jpg"), LinkReach::kFileInside},
      {"outside.jpg", outside_dir.Join("private"), LinkReach::kOutside},
      {"nowhere.jpg", dir.Join("missing"), LinkReach::kNotAFile},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(win32::CreateSymbolicLink(wide(dir.Join(c.link)), wide(c.target)))
        << win32::LastError();
  }
  uint32_t attributes = 0;
  if (!win32::GetFileAttributes(wide(dir.Join("inside.jpg")), &attributes)) {
    GTEST_SKIP() << "CreateSymbolicLinkW reported success and made no link (wine 8 does so); "
                    "wine shows a POSIX symbolic link as its target, whose final path the "
                    "check compares";
  }
  EXPECT_EQ(ReachOfLink(dir.path(), dir.Join("plain.jpg")), LinkReach::kNoLink);
  EXPECT_EQ(ReachOfLink(dir.path(), dir.Join("sub")), LinkReach::kNoLink);
  for (const Case& c : cases) {
    EXPECT_EQ(ReachOfLink(dir.path(), dir.Join(c.link)), c.reach) << c.link;
  }
}

// The layer's last error and the system's are one.
TEST(WindowsLastError, IsTheSystemsOwn) {
  SetLastError(ERROR_DISK_FULL);
  EXPECT_EQ(win32::LastError(), ERROR_DISK_FULL);
  win32::SetLastError(ERROR_WRITE_PROTECT);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  // A failed system call beneath the layer leaves its code there.
  uint32_t attributes = 0;
  EXPECT_FALSE(win32::GetFileAttributes(u"C:\\no such folder\\no such file", &attributes));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(WindowsHost, TheProgramAndTheCodeAreFoundWhereTheyWereLoadedFrom) {
  const std::string program = HostExecutablePath();
  ASSERT_GE(program.size(), 2u);
  EXPECT_EQ(program[1], ':') << program;
  EXPECT_NE(program.find("platform_tests.exe"), std::string::npos) << program;
  EXPECT_EQ(InstalledDataFolder(), program.substr(0, program.rfind('\\') + 1));
  const std::string data = PlatformSpecialFolder(CSIDL_COMMON_APPDATA);
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(data.back(), '\\');
  EXPECT_GE(ProcessorsOfThisProcess(), 1u);
}

TEST(WindowsGuid, TheSystemsGuidsAreRandomOnes) {
  std::set<std::string> seen;
  for (int i = 0; i < 8; ++i) {
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(guid.Data3 >> 12, 4) << GuidToString(guid);    // version 4
    EXPECT_EQ(guid.Data4[0] >> 6, 2) << GuidToString(guid);  // RFC 4122 variant
    seen.insert(GuidToString(guid));
  }
  EXPECT_EQ(seen.size(), 8u);
}

}  // namespace
}  // namespace tavirelle
