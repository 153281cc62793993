#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

using namespace testing_images;

class ThumbnailCommandTest : public ShowCommandTest {
 protected:
  CommandRun Thumbnail(const std::string& arguments) {
    return Tavirelle("thumbnail " + arguments);
  }
  CommandRun Thumbnail(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "thumbnail");
    return RunTavirelle(arguments);
  }

  std::string Photo(const std::string& name, uint32_t width, uint32_t height,
                    const JpegOptions& options = {}) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), path, EncodeJpeg(width, height, GradientPixel, options))
            .ok());
    return path;
  }
};

TEST_F(ThumbnailCommandTest, PrintsTheSizeWritten) {
  std::string photo = Photo("photo.jpg", 1600, 1200);
  JpegOptions ycck;
  ycck.color = JpegColor::kYcck;
  std::string print = Photo("print.jpg", 1600, 1200, ycck);
  const struct {
    std::string photo, options, printed;
  } cases[] = {
      {photo, "", "thumbnail: 133 100\n"},
      {photo, "--height 50 --quality 60", "thumbnail: 66 50\n"},
      // The narrow box makes the decoder reduce to 1/8, which is no taller
      // than the box: kept as decoded.
      {photo, "--width 20 --height 300", "thumbnail: 200 150\n"},
      {photo, "--width 2000 --height 1500", "thumbnail: 1600 1200\n"},  // never enlarged
      // The ends of each option's range are accepted.
      {photo, "--width 65500 --height 65500 --quality 100", "thumbnail: 1600 1200\n"},
      {photo, "--width 1 --height 1 --quality 0", "thumbnail: 1 1\n"},
      // A photo from a print workflow gets its thumbnail like any other.
      {print, "", "thumbnail: 133 100\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.photo + " " + c.options);
    std::string out = dir_.Join("thumbs/t.jpg");
    CommandRun run = Thumbnail(Quoted(c.photo) + " " + Quoted(out) + " " + c.options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.printed);
    EXPECT_EQ(Read(out).substr(0, 2), "\xFF\xD8");
  }
}

TEST_F(ThumbnailCommandTest, NamesThatLookLikeOptionsFollowTheirEnd) {
  Photo("--title.jpg", 400, 300);
  ASSERT_EQ(TavirelleHere("thumbnail --height 50 -- --title.jpg thumb.jpg").status, 0);
  EXPECT_EQ(Read(dir_.Join("thumb.jpg")).substr(0, 2), "\xFF\xD8");
}

TEST_F(ThumbnailCommandTest, FailuresAreOneLineNamingTheCause) {
  std::string photo = Photo("photo.jpg", 64, 48);
  std::string text = dir_.Join("notes.txt");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), text, "hello").ok());
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  std::string huge = dir_.Join("huge.jpg");
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), huge,
                     WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive), 40000, 40000))
          .ok());
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{dir_.Join("missing.jpg"), dir_.Join("a.jpg")}, "missing.jpg: no such file"},
      {{text, dir_.Join("b.jpg")}, "notes.txt: not a JPEG or BMP picture"},
      {{dir_.path(), dir_.Join("b.jpg")}, ": not a JPEG or BMP picture"},
      {{huge, dir_.Join("b.jpg")},
       "huge.jpg: too large to decode (40000\u00D740000, progressive)"},
      {{photo, dir_.Join("c.jpg"), "--quality", "101"},
       "--quality wants a whole number from 0 to 100"},
      {{photo, dir_.Join("d.jpg"), "--width", "x"}, "--width wants"},
      {{photo, dir_.Join("d.jpg"), "--width", "65501"}, "from 1 to 65500, not '65501'"},
      {{photo, dir_.Join("d.jpg"), "--height", "0"}, "from 1 to 65500, not '0'"},
      {{photo, dir_.Join("d.jpg"), "--size", "3"}, "unknown option --size"},
      {{photo, dir_.Join("e.jpg"), "--height"}, "usage: tavirelle thumbnail"},
      {{photo}, "usage: tavirelle thumbnail"},
      {{Photo("tall.jpg", 10, 2000), dir_.Join("f.jpg")},
       "tall.jpg: no thumbnail 100 pixels high can hold its shape (10\u00D72000)"},
      {{photo, text + "/g.jpg"}, "notes.txt/g.jpg: cannot be written: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    CommandRun run = Thumbnail(c.arguments);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

// A progressive photo that would need gigabytes is refused at once, also
// where memory is limited, instead of being decoded or dying of it.
TEST_F(ThumbnailCommandTest, RefusesAHugeProgressivePhotoWithinLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  // As large as such a file is in the field, so that only the decoder's
  // memory bound can refuse it.
  std::vector<std::string> padding(90, Segment(0xFE, std::string(65000, 'x')));
  std::string photo = dir_.Join("scan.jpg");
  ASSERT_TRUE(
      WriteWholeFile(
          DefaultFileSystem(), photo,
          WithSegments(WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive), 40000, 40000),
                       padding))
          .ok());
  CommandOptions within_a_gigabyte;
  within_a_gigabyte.address_space_limit = uint64_t{1} << 30;
  CommandRun run = RunTavirelle({"thumbnail", photo, dir_.Join("t.jpg")}, within_a_gigabyte);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tavirelle: " + photo +
                         ": too large to decode (40000\u00D740000, progressive)\n");
#endif
}

// However the output names the photo, the photo is never replaced.
TEST_F(ThumbnailCommandTest, RefusesToWriteOverThePhoto) {
  const std::string photo = Photo("s.jpg", 400, 300);
  const std::string bytes = Read(photo);
  ASSERT_EQ(::link(photo.c_str(), dir_.Join("hard.jpg").c_str()), 0);
  ASSERT_EQ(::symlink(photo.c_str(), dir_.Join("soft.jpg").c_str()), 0);
  // The folder's own name, behind any alias of the scratch folder.
  const std::string folder = std::filesystem::canonical(dir_.path()).string();
  const std::string around = "../" + folder.substr(folder.rfind('/') + 1) + "/s.jpg";
  for (const std::string& out : {std::string("s.jpg"), std::string("./s.jpg"), around,
                                 std::string("hard.jpg"), std::string("soft.jpg")}) {
    SCOPED_TRACE(out);
    CommandRun run = TavirelleHere("thumbnail s.jpg " + out);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavirelle: " + out + ": is the photo itself; give another file\n");
    EXPECT_EQ(Read(photo), bytes);
  }
}

// The batch form: many photos into one folder, each thumbnail the bytes the
// single form writes, whatever the number of jobs.
class ThumbnailBatchTest : public ThumbnailCommandTest {
 protected:
  void SetUp() override {
    ExifBuilder exif;
    exif.ifd0.push_back(exif.Ascii(0x0132, "2009:07:14 18:02:11"));
    exif.preview = EncodeJpeg(160, 120);
    WriteUtf8Path(dir_.Join("camera.jpg"), WithExif(EncodeJpeg(1200, 900), exif));
    BmpLayout bmp;
    bmp.width = 120;
    bmp.height = 150;
    bmp.rows = StoredRows(120, 150, 24, [](uint32_t x, uint32_t y) { return x * 2000 + y; });
    WriteUtf8Path(dir_.Join("scan.bmp"), BuildBmp(bmp));
    ASSERT_EQ(::mkdir(dir_.Join("sub").c_str(), 0777), 0);
    WriteUtf8Path(dir_.Join("sub/\u03C6\u03C9\u03C4\u03BF.JPEG"), EncodeJpeg(640, 480));
    // A bitmap is known by its name, which a Greek one reaches the decoder
    // without.
    WriteUtf8Path(dir_.Join("sub/\u03C3\u03AC\u03C1\u03C9\u03C3\u03B7.BMP"), BuildBmp(bmp));
    photos_ = {Photo("wide.jpg", 1600, 1200), Photo("tall", 600, 800),
               dir_.Join("camera.jpg"),       dir_.Join("scan.bmp"),
               Photo("small.jpg", 100, 75),   dir_.Join("sub/\u03C6\u03C9\u03C4\u03BF.JPEG"),
               Photo(".hidden", 200, 150),
               dir_.Join("sub/\u03C3\u03AC\u03C1\u03C9\u03C3\u03B7.BMP")};
    // A leading dot starts a hidden name, not an extension.
    names_ = {"wide.jpg",   "tall.jpg",  "camera.jpg",
              "scan.jpg",   "small.jpg", "\u03C6\u03C9\u03C4\u03BF.jpg",
              ".hidden.jpg", "\u03C3\u03AC\u03C1\u03C9\u03C3\u03B7.jpg"};
  }

  // The single form's thumbnail of each photo and its "W H".
  void SingleForm(const std::string& options, std::vector<std::string>* bytes,
                  std::vector<std::string>* sizes) {
    for (size_t i = 0; i < photos_.size(); ++i) {
      const std::string out = dir_.Join("single.jpg");
      CommandRun run = Thumbnail(Quoted(photos_[i]) + " " + Quoted(out) + " " + options);
      ASSERT_EQ(run.status, 0) << run.err;
      ASSERT_EQ(run.out.compare(0, 11, "thumbnail: "), 0);
      sizes->push_back(run.out.substr(11));
      bytes->push_back(ReadUtf8Path(out));
    }
  }

  std::string Photos(const std::vector<std::string>& photos) {
    std::string list;
    for (const std::string& photo : photos) list += " " + Quoted(photo);
    return list;
  }

  // The names in a folder, hidden ones included.
  static std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (struct dirent* entry = ::readdir(dir)) names.insert(entry->d_name);
      ::closedir(dir);
    }
    names.erase(".");
    names.erase("..");
    return names;
  }

  std::vector<std::string> photos_, names_;
};

TEST_F(ThumbnailBatchTest, MakesTheSingleFormsBytesWithAnyNumberOfJobs) {
  for (const std::string options : {"", "--width 90 --height 60 --quality 70"}) {
    std::vector<std::string> bytes, sizes;
    SingleForm(options, &bytes, &sizes);
    for (const char* jobs : {"1", "3"}) {
      SCOPED_TRACE(options + " --jobs " + jobs);
      // Greek in the folder's name too: it is made here, as the single form
      // reaches any name. The second options replace the first ones' files.
      const std::string out = dir_.Join(std::string("\u0391\u03B8\u03AE\u03BD\u03B1-") + jobs);
      CommandRun run = Thumbnail(options + " --jobs " + jobs + " --overwrite --out-dir " +
                                 Quoted(out) + Photos(photos_));
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "");
      std::string lines;
      for (size_t i = 0; i < photos_.size(); ++i) {
        lines += "thumbnail: " + out + "/" + names_[i] + " " + sizes[i];
        EXPECT_TRUE(ReadUtf8Path(out + "/" + names_[i]) == bytes[i]) << names_[i];
      }
      EXPECT_EQ(run.out, lines);
      EXPECT_EQ(Listing(out), std::set<std::string>(names_.begin(), names_.end()));
    }
  }
}

TEST_F(ThumbnailBatchTest, FailedPhotosAreToldAsAloneWhileTheOthersAreMade) {
  const std::string corrupt = dir_.Join("corrupt.jpg");
  WriteUtf8Path(corrupt, WithFrameSize(EncodeJpeg(64, 48), 30000, 30000));
  const std::string missing = dir_.Join("missing.jpg");
  std::string told;
  for (const std::string& photo : {corrupt, missing}) {
    CommandRun run = Thumbnail(Quoted(photo) + " " + Quoted(dir_.Join("alone.jpg")));
    ASSERT_EQ(run.status, 1);
    told += run.err;
  }
  std::vector<std::string> bytes, sizes;
  SingleForm("", &bytes, &sizes);
  const std::vector<std::string> photos = {photos_[0], corrupt, photos_[1], missing, photos_[4]};
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir_.Join(std::string("out") + jobs);
    CommandRun run = Thumbnail(std::string("--jobs ") + jobs + " --out-dir " + Quoted(out) +
                               Photos(photos));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, told);
    EXPECT_EQ(run.out, "thumbnail: " + out + "/wide.jpg " + sizes[0] +
                           "thumbnail: " + out + "/tall.jpg " + sizes[1] +
                           "thumbnail: " + out + "/small.jpg " + sizes[4]);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"wide.jpg", "tall.jpg", "small.jpg"}));
    EXPECT_TRUE(ReadUtf8Path(out + "/small.jpg") == bytes[4]);
  }
}

TEST_F(ThumbnailBatchTest, RefusesBeforeWritingAnything) {
  const std::string out = dir_.Join("out");
  const std::string wide = photos_[0], tall = photos_[1];
  const std::string sub = dir_.Join("sub");
  // Outputs that are photos under other names: sub/wide.jpg is wide.jpg,
  // and so is sub/tall.jpg, where the thumbnail of "tall" would go.
  ASSERT_EQ(::link(wide.c_str(), (sub + "/wide.jpg").c_str()), 0);
  ASSERT_EQ(::link(wide.c_str(), (sub + "/tall.jpg").c_str()), 0);
  WriteUtf8Path(sub + "/wide.png", "not read");
  const struct {
    std::vector<std::string> arguments;
    std::string message;
    int status = 1;  // 2: wrong arguments
  } cases[] = {
      {{"--out-dir", out, wide, sub + "/wide.png"},
       wide + " and " + sub + "/wide.png would both make " + out + "/wide.jpg"},
      {{"--out-dir", out, wide, wide}, " would both make "},
      {{"--out-dir", sub, wide}, sub + "/wide.jpg: is the photo " + wide + " itself"},
      {{"--out-dir", sub, tall, wide},
       sub + "/tall.jpg: is the photo " + wide + " itself; give another folder"},
      {{"--out-dir", dir_.path(), wide}, "wide.jpg: is the photo "},
      // The two forms mixed up: the photo given as the folder.
      {{"--out-dir", wide, dir_.Join("thumb.jpg")}, wide + ": not a folder"},
      {{"--out-dir", out, "--out-dir", out, wide}, "--out-dir given twice", 2},
      {{"--out-dir", out}, "--out-dir " + out + ": no photos given", 2},
      {{"--out-dir", out, "--"}, ": no photos given", 2},
      {{"--jobs", "0", "--out-dir", out, wide},
       "--jobs wants a whole number from 1 to 256, not '0'", 2},
      {{"--jobs", "257", "--out-dir", out, wide}, "not '257'", 2},
      {{"--out-dir", dir_.Join("none/out"), wide},
       dir_.Join("none/out") + ": cannot be made: no such folder"},
      {{"--out-dir", out, wide, "--width", "0"}, "--width wants a whole number", 2},
  };
  const std::set<std::string> before = Listing(dir_.path());
  const std::set<std::string> before_sub = Listing(sub);
  const std::string wide_bytes = ReadUtf8Path(wide);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    CommandRun run = Thumbnail(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(Listing(dir_.path()), before);
    EXPECT_EQ(Listing(sub), before_sub);
    EXPECT_TRUE(ReadUtf8Path(wide) == wide_bytes);
  }
}

// A file that stands under a thumbnail's name was named by nobody: it is
// refused, by name, while the other photos are made, unless --overwrite.
TEST_F(ThumbnailBatchTest, AFileInTheWayIsReplacedOnlyWithOverwrite) {
  const std::string holiday = Photo("holiday.jpg", 400, 300);
  const std::string holiday_bytes = ReadUtf8Path(holiday);
  WriteUtf8Path(dir_.Join("holiday.bmp"), ReadUtf8Path(dir_.Join("scan.bmp")));
  WriteUtf8Path(dir_.Join("sub/wide.jpg"), holiday_bytes);  // a photo, not wide.jpg
  ASSERT_EQ(::symlink("nowhere", dir_.Join("sub/small.jpg").c_str()), 0);
  const struct {
    std::string arguments;
    std::vector<std::string> refused, made;  // as printed, in the order given
  } cases[] = {
      {"--out-dir . holiday.bmp tall", {"./holiday.jpg"}, {"./tall.jpg"}},
      {"--out-dir sub wide.jpg tall small.jpg",
       {"sub/wide.jpg", "sub/small.jpg"},
       {"sub/tall.jpg"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    for (const char* jobs : {"1", "3"}) {
      CommandRun run = TavirelleHere(std::string("thumbnail --jobs ") + jobs + " " + c.arguments);
      EXPECT_EQ(run.status, 1);
      std::string refused;
      for (const std::string& name : c.refused) {
        refused += "tavirelle: " + name + ": it already exists; --overwrite replaces it\n";
      }
      EXPECT_EQ(run.err, refused);
      for (const std::string& name : c.made) {
        EXPECT_NE(run.out.find("thumbnail: " + name + " "), std::string::npos) << run.out;
        ASSERT_EQ(::unlink(dir_.Join(name).c_str()), 0) << name;
      }
      EXPECT_TRUE(ReadUtf8Path(holiday) == holiday_bytes);
      EXPECT_TRUE(ReadUtf8Path(dir_.Join("sub/wide.jpg")) == holiday_bytes);
      struct stat link {};
      EXPECT_TRUE(::lstat(dir_.Join("sub/small.jpg").c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    }
  }
  CommandRun run = TavirelleHere("thumbnail --overwrite --out-dir . holiday.bmp");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "thumbnail: ./holiday.jpg 80 100\n");
  EXPECT_FALSE(ReadUtf8Path(holiday) == holiday_bytes);
}

// A folder the run made for thumbnails of which none was made goes again;
// one that was there before stays, empty as it was.
TEST_F(ThumbnailBatchTest, WhenEveryPhotoFailsOnlyAFolderItMadeIsRemoved) {
  const std::string missing = Quoted(dir_.Join("missing.jpg"));
  ASSERT_EQ(::mkdir(dir_.Join("empty").c_str(), 0777), 0);
  for (const char* folder : {"empty", "new"}) {
    SCOPED_TRACE(folder);
    CommandRun run = Thumbnail("--out-dir " + Quoted(dir_.Join(folder)) + " " + missing);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Listing(dir_.Join(folder)), std::set<std::string>());
  }
  EXPECT_TRUE(Exists(dir_.Join("empty")));
  EXPECT_FALSE(Exists(dir_.Join("new")));
}

// Stopped half-way, the run makes no further thumbnail, and the folder
// holds only whole thumbnails, the ones that were told. A pipe among the
// photos holds the run there for as long as the test needs.
TEST_F(ThumbnailBatchTest, AnInterruptStopsTheRunAndLeavesOnlyTheThumbnailsTold) {
  const std::string photo = photos_[0];
  ASSERT_EQ(Thumbnail(Quoted(photo) + " " + Quoted(dir_.Join("single.jpg"))).status, 0);
  const std::string single = ReadUtf8Path(dir_.Join("single.jpg"));
  std::vector<std::string> arguments = {"thumbnail", "--jobs", "1", "--out-dir", dir_.Join("out")};
  for (int i = 0; i < 20; ++i) {
    const std::string copy = dir_.Join("p" + std::to_string(i) + ".jpg");
    ASSERT_EQ(::link(photo.c_str(), copy.c_str()), 0);
    arguments.push_back(copy);
    if (i == 9) {
      ASSERT_EQ(::mkfifo(dir_.Join("pipe.jpg").c_str(), 0600), 0);
      arguments.push_back(dir_.Join("pipe.jpg"));
    }
  }
  const std::string out = dir_.Join("out");
  const pid_t pid = StartTavirelle(arguments, dir_.Join("told.txt"));
  ASSERT_GT(pid, 0);
  auto told = [&]() {
    const std::string lines = ReadUtf8Path(dir_.Join("told.txt"));
    std::set<std::string> names;
    for (size_t at = 0; (at = lines.find(out + "/", at)) != std::string::npos;) {
      at += out.size() + 1;
      names.insert(lines.substr(at, lines.find(' ', at) - at));
    }
    return names;
  };
  // The ten photos before the pipe are made; the run waits on it.
  EXPECT_TRUE(WaitUntil([&] { return told().size() == 10; }));
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  // Whatever the signal did to the reading, the pipe ends now.
  const int writer = ::open(dir_.Join("pipe.jpg").c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  int status = 0;
  ASSERT_TRUE(WaitForExit(pid, &status)) << "the command did not stop";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(told().size(), 10u);
  EXPECT_EQ(Listing(out), told());
  for (const std::string& name : told()) {
    EXPECT_TRUE(ReadUtf8Path(out + "/" + name) == single) << name;
  }
}

}  // namespace

}  // namespace tavirelle
