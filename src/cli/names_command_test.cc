// The command reaches files and folders named in any script, and a name the
// code page cannot hold never reaches the file its lossy form names.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

using namespace testing_images;

bool RawExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void RawFolder(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0777), 0) << path; }

class NamesCommandTest : public ShowCommandTest {
 protected:
  // A folder named in Greek holding a photo named in Cyrillic, beside a
  // decoy at the names a lossy conversion would make of both.
  void SetUp() override {
    RawFolder(greek_);
    WriteUtf8Path(photo_,
                  CameraPhoto({.stated_width = 4000, .stated_height = 3000, .preview = preview_}));
    RawFolder(dir_.Join("?????\?"));
    WriteUtf8Path(dir_.Join("?????\?/???\?.jpg"),
                  CameraPhoto({.stated_width = 1111, .stated_height = 3000,
                               .preview = EncodeJpeg(20, 15)}));
  }

  const std::string greek_ = dir_.Join("Ελλάδα");
  const std::string photo_ = greek_ + "/фото.jpg";
  const std::string preview_ = EncodeJpeg(40, 30);
};

TEST_F(NamesCommandTest, PhotoToolsReadAndWriteNamesInAnyScript) {
  RawFolder(dir_.Join("中文"));
  std::string preview = dir_.Join("中文/预览.jpg");
  CommandRun run = Tavirelle("exif " + Quoted(photo_) + " --preview " + Quoted(preview));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("width: 4000\n"), std::string::npos) << run.out;
  EXPECT_EQ(ReadUtf8Path(preview), preview_);

  std::string thumbnail = dir_.Join("中文/缩略图.jpg");
  for (int pass = 0; pass < 2; ++pass) {  // the second replaces the first
    run = Tavirelle("thumbnail " + Quoted(photo_) + " " + Quoted(thumbnail));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadUtf8Path(thumbnail).substr(0, 2), "\xFF\xD8");
  }
  run = Tavirelle("exif " + Quoted(greek_ + "/нет.jpg"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("нет.jpg"), std::string::npos) << run.err;
}

TEST_F(NamesCommandTest, AuthorUsesTheNamedPhotosAndFolderAndTheExactCase) {
  std::string chinese = greek_ + "/照片.jpg";
  WriteUtf8Path(chinese,
                CameraPhoto({.stated_width = 2000, .stated_height = 3000, .preview = preview_}));
  // A bitmap is known by its name alone: the alias a name outside the code
  // page is reached through must not hide it.
  std::string bitmap = greek_ + "/εικόνα.bmp";
  WriteUtf8Path(bitmap, BuildBmp({.width = 40, .height = 30,
                                  .rows = StoredRows(40, 30, 24, [](uint32_t, uint32_t) {
                                    return 0x336699u;
                                  })}));
  std::string out = dir_.Join("Παράσταση");
  CommandRun run = Tavirelle("author --out " + Quoted(out) + " --music none " + Quoted(photo_) +
                             " " + Quoted(chinese) + " " + Quoted(bitmap));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");  // every photo got its thumbnail
  const std::string meta = ReadUtf8Path(out + "/meta.xml");
  // The original names as the code page holds them (a '?' for each letter
  // it lacks, written as a reference), never an alias's number.
  const std::string q = "&#x3F;";
  for (const std::string& name : {q + q + q + q + ".jpg", q + q + ".jpg",
                                  q + q + q + q + q + q + ".bmp"}) {
    EXPECT_NE(meta.find("original_filename=\"" + name + "\""), std::string::npos)
        << name << "\n" << meta;
  }
  EXPECT_FALSE(RawExists(dir_.Join("????????\?")));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3) << run.out;

  // A name in another letter case is not the photo, however a folder
  // listing would match it.
  RawFolder(dir_.Join("ci"));
  WriteUtf8Path(dir_.Join("ci/hills.jpg"), EncodeJpeg(40, 30));
  run =
      Tavirelle("author --out " + Quoted(dir_.Join("o")) + " " + Quoted(dir_.Join("ci/HILLS.JPG")));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + dir_.Join("ci/HILLS.JPG") + ": no such file\n");
  EXPECT_FALSE(RawExists(dir_.Join("o")));
}

TEST_F(NamesCommandTest, PackageCommandsReadAndWriteNamesInAnyScript) {
  std::string show = dir_.Join("Σόου");
  ASSERT_EQ(std::rename(MakeShowFolder().c_str(), show.c_str()), 0);
  RawFolder(dir_.Join("包"));
  std::string package = dir_.Join("包/演示.pkg");
  CommandRun run = Tavirelle("pack " + Quoted(show) + " " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "written: " + package + "\n");
  run = Tavirelle("pack " + Quoted(show + "/") + " " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "written: " + dir_.Join("包/演示 (2).pkg") + "\n");
  EXPECT_EQ(ReadUtf8Path(package), ReadUtf8Path(dir_.Join("包/演示 (2).pkg")));

  run = Tavirelle("list " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("meta.xml\t"), std::string::npos) << run.out;
  run = Tavirelle("verify " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 4), "ok: ");
  run = Tavirelle("meta " + Quoted(package));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, meta_);
  std::string icons = dir_.Join("Мир");
  run = Tavirelle("info " + Quoted(package) + " --out " + Quoted(icons));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("title: Café & Co!\n"), std::string::npos) << run.out;
  EXPECT_EQ(ReadUtf8Path(icons + "/show_icon.jpg"), "icon");
  std::string played = dir_.Join("Εξαγωγή/παίκτης");
  run = Tavirelle("extract " + Quoted(package) + " " + Quoted(played));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "extracted: " + played + "/\n");
  EXPECT_EQ(ReadUtf8Path(played + "/meta.xml"), meta_);
  EXPECT_EQ(ReadUtf8Path(played + "/photo.jpg"), std::string(100000, 'p'));

  // A package entry name is code-page text: a file named outside it stops
  // the packing, named.
  WriteUtf8Path(show + "/φως.jpg", "x");
  run = Tavirelle("pack " + Quoted(show) + " " + Quoted(dir_.Join("more.pkg")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("φως.jpg"), std::string::npos) << run.err;
  EXPECT_FALSE(RawExists(dir_.Join("more.pkg")));
}

// A typed name holding '?' or '*' is a name, not a pattern: the command
// reaches that file and writes that name, never one the pattern would match.
TEST_F(NamesCommandTest, NamesHoldingWildcardsAreNamesNotPatterns) {
  WriteUtf8Path(dir_.Join("wh?t.jpg"), EncodeJpeg(400, 300));
  WriteUtf8Path(dir_.Join("whit.jpg"), EncodeJpeg(200, 300));  // what "?" would match
  WriteUtf8Path(dir_.Join("st*r.jpg"), EncodeJpeg(300, 300));
  const struct {
    std::string photo, out, printed;
  } cases[] = {
      {"wh?t.jpg", "o?.jpg", "thumbnail: 133 100\n"},
      {"st*r.jpg", "out*.jpg", "thumbnail: 100 100\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.photo);
    CommandRun run = RunTavirelle({"thumbnail", c.photo, c.out}, In(dir_.path()));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.printed);
    EXPECT_EQ(ReadUtf8Path(dir_.Join(c.out)).substr(0, 2), "\xFF\xD8");
  }
}

// info and exif write scratch files when no output is asked for: under a
// temporary folder named outside the code page they still work, and leave
// nothing there.
TEST_F(NamesCommandTest, ScratchFilesGoUnderATemporaryFolderNamedInAnyScript) {
  const std::string scratch = dir_.Join("ci tmp-λ");
  RawFolder(scratch);
  const std::string package = PackShow();
  auto listing = [&] {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  };
  const std::set<std::string> before = listing();
  CommandRun run = RunTavirelle({"info", package}, Scratch(scratch));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("icon: show_icon.jpg\n"), std::string::npos) << run.out;
  run = RunTavirelle({"exif", photo_}, Scratch(scratch));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("preview: kept\n"), std::string::npos) << run.out;
  // Nothing is left there, nor in a sibling that a misread name would make.
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(::rmdir(scratch.c_str()), 0) << "something was left in the scratch folder";
}

}  // namespace

}  // namespace tavirelle
