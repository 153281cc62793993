#include "util/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/host.h"
#include "platform/path.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/file_times.h"
#include "testing/memory_file_system.h"
#include "testing/temp_dir.h"
#include "util/md5.h"

namespace tavirelle {

namespace {

TEST(PathText, SeparatorsNamesFoldersAndExtensions) {
  std::string p = "C:\\a";
  EXPECT_EQ(WithTrailingSeparator(p, true, true), "C:\\a\\");
  EXPECT_EQ(WithTrailingSeparator(p, true, true), "C:\\a\\");  // not doubled
  EXPECT_EQ(WithTrailingSeparator(p, false, false), "C:\\a");
  std::string s = "x";
  EXPECT_EQ(WithTrailingSeparator(s, false, true), "x/");
  std::string empty;
  EXPECT_EQ(WithTrailingSeparator(empty, true, true), "\\");
  std::string empty2;
  EXPECT_EQ(WithoutTrailingSeparator(empty2), "");

  EXPECT_EQ(FileNameOf("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(FileNameOf("C:\\a\\b\\"), "b");
  EXPECT_EQ(FileNameOf("x/y"), "y");
  EXPECT_EQ(FileNameOf("plain"), "plain");
  EXPECT_EQ(FileNameOf(""), "");
  EXPECT_EQ(FolderOf("C:\\a\\b.txt"), "C:\\a\\");
  EXPECT_EQ(FolderOf("file.txt"), "file.txt");
  EXPECT_EQ(FolderOf("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(FolderOf(""), "");
  EXPECT_EQ(Extension("C:\\a.b\\Photo.JPG"), ".jpg");
  EXPECT_EQ(Extension("C:\\a.b\\noext"), "");
  EXPECT_EQ(WithoutExtension("My Show.ABC"), "My Show");
}

TEST(MakeLegalName, FollowsItsExamples) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a/b", "a b"},     {"*?", "__"},         {"name.", "name"},
      {"...", "___"},     {"", ""},             {"  :  ", "_"},
      {"a.b..", "a.b"},   {"x . . ", "x"},      {"caf\xE9 <1>", "caf\xE9  1"},
      {"\r\n", "__"},     {" . ", "_"},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeLegalName(c.in), c.out) << c.in;
}

TEST(FileUtils, ExistenceSizesAndFolders) {
  TempDir dir;
  std::string root = dir.path();
  EXPECT_FALSE(PathExists(DefaultFileSystem(), root + "missing"));
  uint32_t size = 0;
  EXPECT_EQ(FileSizeOf(DefaultFileSystem(), root + "missing", &size).code(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), root + "a.txt", "hello").ok());
  EXPECT_TRUE(PathExists(DefaultFileSystem(), root + "a.txt"));
  EXPECT_TRUE(PathExists(DefaultFileSystem(), root + "*.TXT"));
  ASSERT_TRUE(FileSizeOf(DefaultFileSystem(), root + "a.txt", &size).ok());
  EXPECT_EQ(size, 5u);
  EXPECT_FALSE(FolderExists(DefaultFileSystem(), ""));
  EXPECT_FALSE(FolderExists(DefaultFileSystem(), root + "a.txt"));

  // Mixed separators all create levels.
  std::string deep = root + "one\\two/three";
  EXPECT_TRUE(CreateFolderPath(DefaultFileSystem(), deep).ok());
  EXPECT_TRUE(FolderExists(DefaultFileSystem(), deep));
  EXPECT_TRUE(FolderExists(DefaultFileSystem(), root + "one\\two\\"));
  EXPECT_TRUE(EnsureFolderFor(DefaultFileSystem(), root + "x\\y\\file.bin").ok());
  // A bare name needs no folder, and none named like the file is made.
  EXPECT_TRUE(EnsureFolderFor(DefaultFileSystem(), "bare-name-of-a-test-file.bin").ok());
  EXPECT_FALSE(PathExists(DefaultFileSystem(), "bare-name-of-a-test-file.bin"));
  EXPECT_TRUE(FolderExists(DefaultFileSystem(), root + "x\\y"));
}

TEST(FileUtils, SaveBytesReplacesEarlierContent) {
  TempDir dir;
  std::string path = dir.Join("f.bin");
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), path, "a much longer earlier text").ok());
  ASSERT_TRUE(SaveBytesToFile(DefaultFileSystem(), path, "new", 3).ok());
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &contents).ok());
  EXPECT_EQ(contents, "new");
  EXPECT_FALSE(SaveBytesToFile(DefaultFileSystem(), dir.Join("no\\such\\folder.bin"), "x", 1).ok());
}

TEST(FileUtils, SavesReportDiskFullAndWriteProtection) {
  TempDir dir;
  FaultInjectingFileSystem faulty;
  faulty.SetDiskFullAfter(3);
  EXPECT_FALSE(SaveTextToFile(faulty, dir.Join("t"), "12345").ok());
  EXPECT_FALSE(SaveBytesToFile(faulty, dir.Join("b"), "12345", 5).ok());
  faulty.Reset();
  faulty.SetWriteProtected(true);
  EXPECT_FALSE(SaveTextToFile(faulty, dir.Join("t2"), "1").ok());
  // The cause is the folder that could not be made, not the levels that
  // were there already.
  EXPECT_EQ(CreateFolderPath(faulty, dir.Join("sub/deeper")).code(), ERROR_WRITE_PROTECT);
}

TEST(FileUtils, SaveTextLeavesAReadOnlyFileAlone) {
  TempDir dir;
  std::string path = dir.Join("meta.xml");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), path, "<qx>kept</qx>").ok());
  // The file's own attribute (no owner write bit), not a faulty medium.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(SaveTextToFile(DefaultFileSystem(), path, "<qx>new</qx>").code(),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &contents).ok());
  EXPECT_EQ(contents, "<qx>kept</qx>");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  std::vector<FindData> found;
  ASSERT_TRUE(DefaultFileSystem().Find(dir.Join("*"), &found).ok());
  EXPECT_EQ(found.size(), 3u);  // ".", ".." and the file: no scratch copy left
  // A folder standing at the name is not replaced either.
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("sub")).ok());
  EXPECT_FALSE(SaveTextToFile(DefaultFileSystem(), dir.Join("sub"), "x").ok());
  EXPECT_TRUE(FolderExists(DefaultFileSystem(), dir.Join("sub")));
  // Made writable again, it is replaced.
  ASSERT_TRUE(SetReadOnly(DefaultFileSystem(), path, false).ok());
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), path, "<qx>new</qx>").ok());
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), path, &contents).ok());
  EXPECT_EQ(contents, "<qx>new</qx>");
}

// Passes every call on, and lets another writer claim a folder right after
// it was seen empty: the moment two writers race for it.
class ClaimRacingFileSystem final : public FileSystem {
 public:
  explicit ClaimRacingFileSystem(std::string rival_claim) : rival_claim_(std::move(rival_claim)) {}
  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override {
    return base_->Open(path, access, disposition, file);
  }
  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    return base_->CopyFile(from, to, if_exists);
  }
  Status DeleteFile(const std::string& path) override { return base_->DeleteFile(path); }
  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override {
    return base_->MoveFile(from, to, if_exists);
  }
  Status CreateDirectory(const std::string& path) override { return base_->CreateDirectory(path); }
  Status RemoveDirectory(const std::string& path) override { return base_->RemoveDirectory(path); }
  Status GetFileAttributes(const std::string& path, DWORD* attributes) override {
    return base_->GetFileAttributes(path, attributes);
  }
  Status SetFileAttributes(const std::string& path, DWORD attributes) override {
    return base_->SetFileAttributes(path, attributes);
  }
  Status Find(const std::string& pattern, std::vector<FindData>* matches) override {
    Status found = base_->Find(pattern, matches);
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), rival_claim_, "the rival's show").ok());
    return found;
  }

 private:
  FileSystem* base_ = &DefaultFileSystem();
  std::string rival_claim_;
};

TEST(FileUtils, OnlyOneWriterClaimsAnEmptyFolder) {
  TempDir dir;
  std::vector<std::string> created;
  ASSERT_TRUE(
      ClaimEmptyFolder(DefaultFileSystem(), dir.Join("new\\show"), "meta.xml", &created).ok());
  EXPECT_EQ(created, (std::vector<std::string>{dir.Join("new"), dir.Join("new\\show")}));
  EXPECT_TRUE(PathExists(DefaultFileSystem(), dir.Join("new/show/meta.xml")));
  struct Case {
    const char* what;
    std::string folder;
    DWORD error;
  } refused[] = {
      {"claimed before", dir.Join("new/show"), ERROR_DIR_NOT_EMPTY},
      {"holds a file", dir.Join("new"), ERROR_DIR_NOT_EMPTY},
      {"a file in the way", dir.Join("new/show/meta.xml/deeper"), ERROR_DIRECTORY},
  };
  for (const Case& c : refused) {
    std::vector<std::string> none;
    EXPECT_EQ(ClaimEmptyFolder(DefaultFileSystem(), c.folder, "meta.xml", &none).code(), c.error)
        << c.what;
    EXPECT_TRUE(none.empty()) << c.what;
  }
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("new/meta.xml")));

  // An existing empty folder is claimed without being counted as made...
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("empty")).ok());
  created.clear();
  ASSERT_TRUE(ClaimEmptyFolder(DefaultFileSystem(), dir.Join("empty"), "meta.xml", &created).ok());
  EXPECT_TRUE(created.empty());
  // ...but not when another writer claims it after it was seen empty.
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("raced")).ok());
  ClaimRacingFileSystem racing(dir.Join("raced/meta.xml"));
  EXPECT_EQ(ClaimEmptyFolder(racing, dir.Join("raced"), "meta.xml", &created).code(),
            static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  std::string rival;
  ASSERT_TRUE(ReadWholeFile(racing, dir.Join("raced/meta.xml"), &rival).ok());
  EXPECT_EQ(rival, "the rival's show");
}

TEST(FileUtils, FindFilesSkipsFoldersAndSortsIgnoringCase) {
  TempDir dir;
  for (const char* name : {"b.jpg", "A.JPG", "c.jpg", "skip.txt"}) {
    ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join(name), name).ok());
  }
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), dir.Join("folder.jpg")).ok());
  std::string windows = dir.path();
  for (char& c : windows) c = c == '/' ? '\\' : c;
  std::vector<std::string> found = FindFiles(DefaultFileSystem(), windows + "*.jpg");
  EXPECT_EQ(found, (std::vector<std::string>{windows + "A.JPG", windows + "b.jpg",
                                             windows + "c.jpg"}));
  EXPECT_TRUE(FindFiles(DefaultFileSystem(), windows + "*.none").empty());
}

TEST(FileUtils, MakeUniqueNameCountsUpFromTwo) {
  TempDir dir;
  std::string show = dir.Join("My Show.ABC");
  EXPECT_EQ(MakeUniqueName(DefaultFileSystem(), show), show);
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), show, "").ok());
  EXPECT_EQ(MakeUniqueName(DefaultFileSystem(), show), dir.Join("My Show (2).abc"));
  std::string plain = dir.Join("name");
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), plain, "").ok());
  EXPECT_EQ(MakeUniqueName(DefaultFileSystem(), plain), dir.Join("name (2)"));
  for (int n = 2; n < 300; ++n) {
    ASSERT_TRUE(
        SaveTextToFile(DefaultFileSystem(), dir.Join("name (" + std::to_string(n) + ")"), "").ok());
  }
  EXPECT_EQ(MakeUniqueName(DefaultFileSystem(), plain), dir.Join("name (300)"));
}

// A file date is the local time of the last write with every field in its
// place: a date a month, a day or a zone off reads differently.
TEST(FileUtils, FormatFileDateGivesTheLocalTimeOfTheLastWrite) {
  if (!InTestTimeZone()) GTEST_SKIP() << kNotInTestTimeZone;
  TempDir dir;
  const std::string file = dir.Join("f");
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), file, "x").ok());
  const struct {
    int64_t seconds;
    int32_t nanoseconds;
    const char *plain, *precise;
  } cases[] = {
      // 22:13:20 UTC is the next morning there.
      {1700000000, 123456789, "2023:11:15 03:58:20", "2023:11:15 03:58:20.123"},
      // New Year's Eve in UTC is already January; milliseconds are cut, not rounded.
      {1609444800, 999999999, "2021:01:01 01:45:00", "2021:01:01 01:45:00.999"},
      {1000000000, 0, "2001:09:09 07:31:40", "2001:09:09 07:31:40.000"},
  };
  for (const auto& c : cases) {
    SetLastWrite(file, c.seconds, c.nanoseconds);
    EXPECT_EQ(FormatFileDate(DefaultFileSystem(), file, false), c.plain);
    EXPECT_EQ(FormatFileDate(DefaultFileSystem(), file, true), c.precise);
  }
  // A folder named with its trailing separator reports its own date.
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir.Join("sub")).ok());
  SetLastWrite(dir.Join("sub"), 1262304000);
  EXPECT_EQ(FormatFileDate(DefaultFileSystem(), dir.Join("sub/"), false), "2010:01:01 05:45:00");
  EXPECT_EQ(FormatFileDate(DefaultFileSystem(), dir.Join("missing"), false), "");
}

TEST(FileUtils, NewGuidTextIsRandomUpperCaseWithOrWithoutBraces) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    std::string plain = NewGuidText(false);
    ASSERT_EQ(plain.size(), 36u);
    EXPECT_EQ(plain.find_first_of("abcdef{}"), std::string::npos);
    EXPECT_TRUE(seen.insert(plain).second);
  }
  std::string braced = NewGuidText(true);
  EXPECT_EQ(braced.size(), 38u);
  EXPECT_EQ(braced.front(), '{');
}

// The maker's folder under the machine's application data, and the folder
// holding the program, with the separator of the system's own paths.
TEST(FileUtils, MakerDataAndHostFolders) {
  const std::string data = PlatformSpecialFolder(CSIDL_COMMON_APPDATA);
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(MakerDataFolder(), data + "Zelto\\");
  const std::string host = HostFolder();
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(host.back(), data.back());
  EXPECT_EQ(HostExecutablePath().substr(0, host.size()), host);
  EXPECT_EQ(HostExecutablePath().find_first_of("\\/", host.size()), std::string::npos);
}

TEST(Md5, FileDigestEqualsBufferDigest) {
  TempDir dir;
  std::string data(1000003, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 13);
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join("big"), data).ok());
  EXPECT_EQ(Md5FileHex(DefaultFileSystem(), dir.Join("big")),
            Md5BufferHex(data.data(), data.size()));
  EXPECT_EQ(Md5FileHex(DefaultFileSystem(), dir.Join("missing")), "");
}

// Passes every call on and counts the folder listings (wildcard finds).
class ListingCounter final : public FileSystem {
 public:
  explicit ListingCounter(FileSystem* base) : base_(base) {}
  int listings = 0;

  Status Open(const std::string& p, DWORD a, Disposition d, std::unique_ptr<File>* f) override {
    return base_->Open(p, a, d, f);
  }
  Status CopyFile(const std::string& f, const std::string& t, IfExists x) override {
    return base_->CopyFile(f, t, x);
  }
  Status DeleteFile(const std::string& p) override { return base_->DeleteFile(p); }
  Status MoveFile(const std::string& f, const std::string& t, IfExists r) override {
    return base_->MoveFile(f, t, r);
  }
  Status CreateDirectory(const std::string& p) override { return base_->CreateDirectory(p); }
  Status RemoveDirectory(const std::string& p) override { return base_->RemoveDirectory(p); }
  Status GetFileAttributes(const std::string& p, DWORD* a) override {
    return base_->GetFileAttributes(p, a);
  }
  Status SetFileAttributes(const std::string& p, DWORD a) override {
    return base_->SetFileAttributes(p, a);
  }
  Status Find(const std::string& pattern, std::vector<FindData>* matches) override {
    if (HoldsWildcard(FileNameOf(pattern))) ++listings;
    return base_->Find(pattern, matches);
  }

 private:
  FileSystem* base_;
};

TEST(FileUtils, ExistenceTestsLookUpTheExactNameWithoutListingTheFolder) {
  MemoryFileSystem memory;
  for (int i = 0; i < 200; ++i) memory.SetFile("/show/p" + std::to_string(i) + ".jpg", "x");
  memory.SetFile("/show/hills.jpg", "x");
  ListingCounter counter(&memory);
  EXPECT_TRUE(PathExists(counter, "\\show\\hills.jpg"));
  EXPECT_FALSE(PathExists(counter, "\\show\\HILLS.JPG"));  // as opening it would fail
  EXPECT_TRUE(FolderExists(counter, "\\show"));
  EXPECT_TRUE(FolderExists(counter, "\\show\\"));
  EXPECT_FALSE(FolderExists(counter, "\\SHOW"));
  EXPECT_FALSE(FolderExists(counter, "\\show\\hills.jpg"));
  EXPECT_TRUE(EnsureFolderFor(counter, "\\show\\new.jpg").ok());
  EXPECT_EQ(MakeUniqueName(counter, "\\show\\hills.jpg"), "\\show\\hills (2).jpg");
  uint32_t size = 0;
  ASSERT_TRUE(FileSizeOf(counter, "\\show\\hills.jpg", &size).ok());
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(counter.listings, 0);
  // A pattern still matches ignoring case, as the documented probe does.
  EXPECT_TRUE(PathExists(counter, "\\show\\HILLS.*"));
  EXPECT_EQ(counter.listings, 1);
}

}  // namespace

}  // namespace tavirelle
