#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "imaging/photo_image.h"
#include "com/bstr.h"
#include "testing/com_properties.h"
#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "tavirelle/types.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "testing/file_times.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

using namespace testing_images;

// A camera photo that states its own size, with an embedded preview when
// asked.
std::string CameraPhoto(uint16_t width, uint16_t height, const std::string& preview = "") {
  return testing_images::CameraPhoto({.width = width, .height = height, .stated_width = width,
                                      .stated_height = height, .preview = preview});
}

class PhotoImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    show_ = new CQXHelper(medium_);
    out_ = dir_.Join("out/");
    ScopedBstr out(BstrFromAnsi(out_));
    show_->put_OutputPath(out.get());
  }
  void TearDown() override { show_->Release(); }

  // Adds the file at `path` through AddPhoto and returns its description,
  // which lives on in the show (the test's own reference is given up).
  CPhotoDesc* Import(const std::string& path, HRESULT expected = S_OK) {
    auto* photo = new CPhotoDesc();
    ScopedBstr source(BstrFromAnsi(path));
    photo->put_Path(source.get());
    photo->put__Changed(0);
    EXPECT_EQ(show_->AddPhoto(photo), expected);
    photo->Release();
    return photo;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join(name), bytes).ok());
    return dir_.Join(name);
  }
  LONG Count() {
    LONG count = -1;
    show_->get_PhotoCount(&count);
    return count;
  }

  TempDir dir_;
  std::string out_;
  // Passes every call to the real file system until a test sets a fault.
  FaultInjectingFileSystem medium_;
  CQXHelper* show_ = nullptr;
};

TEST_F(PhotoImportTest, CopiesUnderAGuidNameAndFillsTheDescription) {
  std::string source = Write("holiday.jpg", CameraPhoto(640, 480));
  show_->set_show_changed(false);
  CPhotoDesc* photo = Import(source);
  ASSERT_EQ(Count(), 1);
  EXPECT_TRUE(show_->show_changed());
  std::string online = Text(photo, &IPhotoDesc::get__OnlineName);
  ASSERT_EQ(online.size(), 36u + 4u);
  EXPECT_EQ(online.substr(36), ".jpg");
  EXPECT_EQ(online.find_first_of("abcdef{}"), std::string::npos);
  std::string copy, original;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), out_ + online, &copy).ok());
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), source, &original).ok());
  EXPECT_EQ(copy, original);
  EXPECT_EQ(Text(photo, &IPhotoDesc::get__OriginalName), "holiday.jpg");
  EXPECT_EQ(Text(photo, &IPhotoDesc::get__PhotoDateTaken), "2021:05:06 07:08:09");
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__Width), 640);
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__Height), 480);
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__IsVideo), 0);
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__Changed), 1);
  // No preview: a thumbnail made for the 133 x 100 box.
  int32_t width = 0, height = 0;
  ASSERT_TRUE(ReadImageSize(DefaultFileSystem(), out_ + "__w133_h100_" + online, &width, &height));
  EXPECT_EQ(width, 133);
  EXPECT_EQ(height, 100);
}

TEST_F(PhotoImportTest, AFittingPreviewBecomesTheThumbnailUnscaled) {
  CPhotoDesc* landscape = Import(Write("a.jpg", CameraPhoto(640, 480, EncodeJpeg(160, 120))));
  int32_t width = 0, height = 0;
  std::string thumb = out_ + "__w133_h100_" + Text(landscape, &IPhotoDesc::get__OnlineName);
  ASSERT_TRUE(ReadImageSize(DefaultFileSystem(), thumb, &width, &height));
  EXPECT_EQ(width, 160);  // the preview as stored, not rescaled
  EXPECT_EQ(height, 120);
  // A preview turned the other way is dropped and a thumbnail is made.
  CPhotoDesc* portrait = Import(Write("b.jpg", CameraPhoto(480, 640, EncodeJpeg(160, 120))));
  thumb = out_ + "__w133_h100_" + Text(portrait, &IPhotoDesc::get__OnlineName);
  ASSERT_TRUE(ReadImageSize(DefaultFileSystem(), thumb, &width, &height));
  EXPECT_EQ(width, 75);
  EXPECT_EQ(height, 100);
}

TEST_F(PhotoImportTest, BitmapsAreCopiedAsTheyAreUnderAJpgName) {
  BmpLayout layout;
  layout.width = 80;
  layout.height = 100;
  layout.rows = StoredRows(80, 100, 24, [](uint32_t x, uint32_t y) { return x * 3 + y; });
  std::string bytes = BuildBmp(layout);
  const std::string scan = Write("scan.BMP", bytes);
  SetLastWrite(scan, 1609444800);  // 2020-12-31 20:00:00 UTC
  CPhotoDesc* photo = Import(scan);
  std::string online = Text(photo, &IPhotoDesc::get__OnlineName);
  EXPECT_EQ(online.substr(online.size() - 4), ".jpg");
  std::string copy;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), out_ + online, &copy).ok());
  EXPECT_EQ(copy, bytes);
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__Width), 80);
  EXPECT_EQ(Number(photo, &IPhotoDesc::get__Height), 100);
  // It gets a thumbnail like any photo, although its copy's name says JPEG.
  int32_t width = 0, height = 0;
  ASSERT_TRUE(ReadImageSize(DefaultFileSystem(), out_ + "__w133_h100_" + online, &width, &height));
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 100);
  // Without a date in the file, the source file's local time stands in.
  if (InTestTimeZone()) {
    EXPECT_EQ(Text(photo, &IPhotoDesc::get__PhotoDateTaken), "2021:01:01 01:45:00");
  }
}

// A photo that yields no thumbnail of the box's height (far taller than
// wide, or not a picture at all) is added without one.
TEST_F(PhotoImportTest, APhotoWithoutAPossibleThumbnailIsAddedWithoutOne) {
  const struct {
    const char* name;
    std::string bytes;
    LONG width, height;
  } cases[] = {{"thin.jpg", EncodeJpeg(1, 300), 1, 300},
               {"narrow.jpg", EncodeJpeg(2, 300), 2, 300},
               {"notes.jpg", "not a picture at all", 0, 0}};
  LONG added = 0;
  for (const auto& c : cases) {
    CPhotoDesc* photo = Import(Write(c.name, c.bytes));
    ASSERT_EQ(Count(), ++added) << c.name;
    std::string online = Text(photo, &IPhotoDesc::get__OnlineName);
    std::string copy;
    ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), out_ + online, &copy).ok()) << c.name;
    EXPECT_EQ(copy, c.bytes) << c.name;
    EXPECT_FALSE(PathExists(DefaultFileSystem(), out_ + "__w133_h100_" + online)) << c.name;
    EXPECT_EQ(Number(photo, &IPhotoDesc::get__Width), c.width) << c.name;
    EXPECT_EQ(Number(photo, &IPhotoDesc::get__Height), c.height) << c.name;
  }
}

TEST_F(PhotoImportTest, MissingSourcesAndNullDescriptions) {
  show_->set_show_changed(false);
  EXPECT_EQ(show_->AddPhoto(nullptr), E_FAIL);
  EXPECT_FALSE(show_->show_changed());
  auto* photo = new CPhotoDesc();
  ScopedBstr source(BstrFromAnsi(dir_.Join("nowhere.jpg")));
  photo->put_Path(source.get());
  EXPECT_EQ(show_->AddPhoto(photo), S_OK);
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(show_->show_changed());
  EXPECT_EQ(Text(photo, &IPhotoDesc::get__OnlineName), "");
  EXPECT_EQ(photo->Release(), 0u);  // the show took no reference
  std::vector<FindData> found;
  EXPECT_FALSE(DefaultFileSystem().Find(out_ + "*.jpg", &found).ok());
}

// Each way the files of an import can fail to be made: the status says why,
// and the photo is neither added nor leaves a file behind.
TEST_F(PhotoImportTest, AFailedImportAddsNothingAndLeavesNothing) {
  std::string photo_bytes = CameraPhoto(320, 240);
  std::string source = Write("p.jpg", photo_bytes);
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("folder.jpg")).ok());
  struct Case {
    const char* what;
    std::string path;
    std::function<void(FaultInjectingFileSystem&)> fault;
    DWORD error;
  } cases[] = {
      {"disk full at the copy", source,
       [](FaultInjectingFileSystem& fs) { fs.SetDiskFullAfter(10); }, ERROR_DISK_FULL},
      {"unreadable source", source,
       [&](FaultInjectingFileSystem& fs) { fs.DenyAccess(source); }, ERROR_ACCESS_DENIED},
      {"protected output medium", source,
       [](FaultInjectingFileSystem& fs) { fs.SetWriteProtected(true); }, ERROR_WRITE_PROTECT},
      {"a folder as the photo", dir_.Join("folder.jpg"), [](FaultInjectingFileSystem&) {},
       ERROR_ACCESS_DENIED},
      // The copy fits, its thumbnail does not.
      {"disk full at the thumbnail", source,
       [&](FaultInjectingFileSystem& fs) { fs.SetDiskFullAfter(photo_bytes.size() + 50); },
       ERROR_DISK_FULL},
  };
  for (const Case& c : cases) {
    medium_.Reset();
    c.fault(medium_);
    show_->set_show_changed(false);
    auto* photo = new CPhotoDesc();
    ScopedBstr path(BstrFromAnsi(c.path));
    photo->put_Path(path.get());
    EXPECT_EQ(show_->AddPhoto(photo), HRESULT_FROM_WIN32(c.error)) << c.what;
    medium_.Reset();
    EXPECT_EQ(Count(), 0) << c.what;
    EXPECT_EQ(Text(photo, &IPhotoDesc::get__OnlineName), "") << c.what;
    std::vector<FindData> found;
    EXPECT_FALSE(medium_.Find(out_ + "*.jpg", &found).ok()) << c.what << ": " << found.size();
    EXPECT_EQ(photo->Release(), 0u) << c.what;  // the show took no reference
  }
  medium_.Reset();
  // The same photo imports once the medium is sound again.
  CPhotoDesc* photo = Import(source);
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(PathExists(DefaultFileSystem(),
                         out_ + "__w133_h100_" + Text(photo, &IPhotoDesc::get__OnlineName)));
}

TEST_F(PhotoImportTest, TheSameDescriptionTwiceStandsTwice) {
  auto* photo = new CPhotoDesc();
  ScopedBstr source(BstrFromAnsi(Write("p.jpg", CameraPhoto(320, 240))));
  photo->put_Path(source.get());
  ASSERT_EQ(show_->AddPhoto(photo), S_OK);
  std::string first = Text(photo, &IPhotoDesc::get__OnlineName);
  ASSERT_EQ(show_->AddPhoto(photo), S_OK);
  std::string second = Text(photo, &IPhotoDesc::get__OnlineName);
  EXPECT_NE(first, second);
  EXPECT_EQ(Count(), 2);
  EXPECT_TRUE(PathExists(DefaultFileSystem(), out_ + first));  // the first copy stays
  EXPECT_TRUE(PathExists(DefaultFileSystem(), out_ + "__w133_h100_" + first));
  photo->AddRef();
  EXPECT_EQ(photo->Release(), 3u);
  photo->Release();
}

}  // namespace

}  // namespace tavirelle
