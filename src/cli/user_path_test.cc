#include "cli/user_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "testing/show_command_fixture.h"
#include "testing/temp_dir.h"

namespace tavirelle {

namespace {

const std::string kGreek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1";  // Ελλάδα

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

TEST(UserPaths, CodePageNamesPassAndOthersBecomeAsciiAliasesOfTheSameFile) {
  TempDir dir;
  UserPaths paths;
  std::string cafe = dir.Join("Caf\xC3\xA9.jpg");
  EXPECT_EQ(paths.In(cafe), cafe);
  EXPECT_EQ(paths.In(dir.Join("a:b|c.jpg")), dir.Join("a:b|c.jpg"));

  ASSERT_EQ(::mkdir(dir.Join(kGreek).c_str(), 0777), 0);
  std::string greek_file = dir.Join(kGreek + "/\xE4\xB8\xAD.jpg");  // 中
  WriteUtf8Path(greek_file, "photo");
  WriteUtf8Path(dir.Join("what?.jpg"), "question");
  std::string file = paths.In(greek_file);
  std::string folder = paths.In(dir.Join(kGreek));
  std::string question = paths.In(dir.Join("what?.jpg"));
  for (const std::string& alias : {file, folder, question}) EXPECT_TRUE(IsAscii(alias)) << alias;
  EXPECT_EQ(ReadUtf8Path(file), "photo");
  EXPECT_EQ(ReadUtf8Path(question), "question");
  EXPECT_EQ(folder.back(), '/');
  std::unique_ptr<File> made;
  EXPECT_TRUE(DefaultFileSystem()
                  .Open(folder + "new.txt", GENERIC_WRITE, Disposition::kCreateNew, &made)
                  .ok());
  EXPECT_EQ(ReadUtf8Path(dir.Join(kGreek + "/new.txt")), "");
  EXPECT_EQ(paths.Typed(file), greek_file);
  EXPECT_EQ(paths.Typed(folder + "new.txt"), dir.Join(kGreek + "/new.txt"));
  EXPECT_EQ(paths.Typed(file + ": not a package"), greek_file + ": not a package");
  EXPECT_EQ(paths.Typed("/elsewhere"), "/elsewhere");
  // A missing file keeps its text, so the component's failure names it.
  EXPECT_EQ(paths.In(dir.Join(kGreek + ".jpg")), dir.Join(kGreek + ".jpg"));
  EXPECT_FALSE(UserPathExists(dir.Join(kGreek + ".jpg")));
  EXPECT_TRUE(UserPathExists(greek_file));
  ASSERT_EQ(::mkdir(dir.Join("plain").c_str(), 0777), 0);
  WriteUtf8Path(dir.Join("plain/Caf\xC3\xA9.jpg"), "");
  ASSERT_EQ(::mkdir(dir.Join("plain/" + kGreek).c_str(), 0777), 0);  // a folder is not packed
  EXPECT_EQ(FirstUnreachableEntry(dir.Join("plain")), "");
  WriteUtf8Path(dir.Join("plain/\xD0\x9C.jpg"), "");  // М
  EXPECT_EQ(FirstUnreachableEntry(dir.Join("plain")), "\xD0\x9C.jpg");
}

TEST(UserPaths, OutputsAreCreatedUnderTheirOwnNames) {
  TempDir dir;
  std::string deep = dir.Join(kGreek + "/\xD0\x9C\xD0\xB8\xD1\x80");  // Мир
  {
    UserPaths paths;
    std::string folder = paths.OutFolder(deep);
    ASSERT_TRUE(IsAscii(folder)) << folder;
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "meta.xml", "m").ok());
    EXPECT_EQ(ReadUtf8Path(deep + "/meta.xml"), "m");

    // A new package never replaces a file: it takes the next free name.
    std::string package = deep + "/" + kGreek + ".PKG";
    WriteUtf8Path(package, "old");
    std::string alias = paths.OutFile(package);
    ASSERT_TRUE(IsAscii(alias)) << alias;
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), alias, "new").ok());
    Status committed = paths.Commit(false);
    ASSERT_TRUE(committed.ok()) << committed.words();
    EXPECT_EQ(ReadUtf8Path(package), "old");
    EXPECT_EQ(ReadUtf8Path(deep + "/" + kGreek + " (2).pkg"), "new");
    EXPECT_EQ(paths.Typed(alias), deep + "/" + kGreek + " (2).pkg");

    // A thumbnail replaces its file; one never written is not made.
    std::string thumb = paths.OutFile(package);
    ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), thumb, "thumb").ok());
    paths.OutFile(deep + "/" + kGreek + ".never");
    committed = paths.Commit(true);
    ASSERT_TRUE(committed.ok()) << committed.words();
    EXPECT_EQ(ReadUtf8Path(package), "thumb");
    EXPECT_FALSE(UserPathExists(deep + "/" + kGreek + ".never"));

    // Left uncommitted, the temporary file goes with the object.
    ASSERT_TRUE(
        WriteWholeFile(DefaultFileSystem(), paths.OutFile(deep + "/" + kGreek + ".tmp"), "x").ok());
  }
  std::vector<FindData> found;
  std::string listing;
  UserPaths again;
  ASSERT_TRUE(DefaultFileSystem().Find(again.In(deep) + "*", &found).ok());
  for (const FindData& entry : found) listing += entry.name + ";";
  EXPECT_EQ(listing, ".;..;?????? (2).pkg;??????.PKG;meta.xml;");
}

// Past ten or so aliases one's text begins with another's ("/proc/self/fd/4"
// and "/proc/self/fd/41"): each still reads back as its own path.
TEST(UserPaths, EachOfManyAliasesNamesItsOwnPath) {
  TempDir dir;
  UserPaths paths;
  std::vector<std::pair<std::string, std::string>> aliases;  // alias, typed
  // At least forty, and on until one alias begins with another, whichever
  // descriptor the first one got.
  bool nested = false;
  for (int i = 0; i < 400 && (i < 40 || !nested); ++i) {
    const std::string typed = dir.Join(kGreek + "-" + std::to_string(i) + ".jpg");
    WriteUtf8Path(typed, "photo");
    const std::string alias = paths.In(typed);
    for (const auto& [earlier, unused] : aliases) nested = nested || alias.rfind(earlier, 0) == 0;
    aliases.emplace_back(alias, typed);
  }
  ASSERT_TRUE(nested) << "no alias begins with another";
  for (const auto& [alias, typed] : aliases) {
    EXPECT_EQ(paths.Typed(alias), typed);
    EXPECT_EQ(paths.Typed(alias + ": not a package"), typed + ": not a package");
  }
}

}  // namespace

}  // namespace tavirelle
