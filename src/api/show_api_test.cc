// The photo import of the API: per-photo results, a failure told with its
// code, and a failed or cancelled import leaving nothing behind.
#include "api/show_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

using namespace testing_images;

class ShowApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = dir_.Join("out/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out_).ok());
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join(name), bytes).ok());
    return dir_.Join(name);
  }
  size_t FilesInOut() {
    std::vector<FindData> found;
    if (!DefaultFileSystem().Find(out_ + "*", &found).ok()) return 0;
    size_t files = 0;
    for (const FindData& entry : found) {
      if (entry.name != "." && entry.name != "..") ++files;
    }
    return files;
  }

  TempDir dir_;
  std::string out_;
  FaultInjectingFileSystem medium_;
};

// Each photo's result says whether it got a thumbnail and, when not, why, in
// the words a host prints.
TEST_F(ShowApiTest, ResultsTellEachPhotoAndWhyItHasNoThumbnail) {
  JpegOptions progressive;
  progressive.progressive = true;
  progressive.color = JpegColor::kGrey;
  const struct {
    std::string name, bytes, no_thumbnail;
  } cases[] = {
      {"fine.jpg", EncodeJpeg(400, 300), ""},
      {"text.jpg", "hello", "not a JPEG or BMP picture"},
      {"tall.jpg", EncodeJpeg(10, 2000),
       "no thumbnail 100 pixels high can hold its shape (10\u00D72000)"},
      {"huge.jpg", WithFrameSize(EncodeJpeg(16, 16, GradientPixel, progressive), 40000, 30000),
       "too large to decode (40000\u00D730000, progressive)"},
      {"claim.jpg", WithFrameSize(EncodeJpeg(16, 16), 65000, 65000),
       "damaged: its data cannot be decoded"},
  };
  std::vector<std::string> sources;
  for (const auto& c : cases) sources.push_back(Write(c.name, c.bytes));
  std::vector<uint64_t> progress;
  PhotoImportOptions options;
  options.jobs = 3;
  options.progress = [&](uint64_t done, uint64_t total) {
    EXPECT_EQ(total, sources.size());
    progress.push_back(done);
  };
  PhotoImport import = ImportPhotos(medium_, out_, sources, options);
  ASSERT_TRUE(import.status.ok());
  ASSERT_EQ(import.photos.size(), sources.size());
  EXPECT_EQ(progress, (std::vector<uint64_t>{1, 2, 3, 4, 5}));
  for (size_t i = 0; i < sources.size(); ++i) {
    const ImportedPhotoResult& photo = import.photos[i];
    SCOPED_TRACE(cases[i].name);
    EXPECT_TRUE(photo.status.ok());
    EXPECT_EQ(photo.source, sources[i]);
    EXPECT_EQ(photo.original_name, cases[i].name);
    EXPECT_EQ(photo.thumbnail, cases[i].no_thumbnail.empty());
    EXPECT_EQ(photo.no_thumbnail, cases[i].no_thumbnail);
    EXPECT_TRUE(PathExists(DefaultFileSystem(), out_ + photo.online_name));
  }
  EXPECT_EQ(import.photos[0].width, 400);
  EXPECT_EQ(import.photos[0].height, 300);
  EXPECT_FALSE(import.photos[0].date_taken.empty());
  RemoveImportedPhotos(medium_, out_, import);
  EXPECT_EQ(FilesInOut(), 0u);
}

// A photo that fails ends the import with its code, and neither its files
// nor those of the photos before it stay.
TEST_F(ShowApiTest, AFailureOrACancelLeavesNothing) {
  const std::string photo_bytes = EncodeJpeg(320, 240);
  const std::vector<std::string> sources = {Write("a.jpg", photo_bytes),
                                            Write("b.jpg", photo_bytes),
                                            dir_.Join("missing.jpg"), Write("c.jpg", photo_bytes)};
  struct Case {
    const char* what;
    std::function<void(FaultInjectingFileSystem&)> fault;
    int cancel_after;  // photos told before the token says stop; -1: never
    DWORD error;
    size_t told;  // results in the answer
  } cases[] = {
      {"a missing photo", [](FaultInjectingFileSystem&) {}, -1, ERROR_FILE_NOT_FOUND, 3},
      {"a full disk",
       [&](FaultInjectingFileSystem& fs) { fs.SetDiskFullAfter(photo_bytes.size() + 10); },
       -1, ERROR_DISK_FULL, 1},
      {"cancelled at once", [](FaultInjectingFileSystem&) {}, 0, ERROR_CANCELLED, 0},
      {"cancelled after one", [](FaultInjectingFileSystem&) {}, 1, ERROR_CANCELLED, 1},
  };
  for (const Case& c : cases) {
    for (unsigned jobs : {1u, 4u}) {
      SCOPED_TRACE(std::string(c.what) + ", jobs " + std::to_string(jobs));
      medium_.Reset();
      c.fault(medium_);
      std::atomic<int> told{0};
      PhotoImportOptions options;
      options.jobs = jobs;
      options.progress = [&](uint64_t, uint64_t) { ++told; };
      options.cancel = [&] { return c.cancel_after >= 0 && told >= c.cancel_after; };
      PhotoImport import = ImportPhotos(medium_, out_, sources, options);
      medium_.Reset();
      EXPECT_FALSE(import.status.ok());
      EXPECT_EQ(import.status.code(), c.error);
      EXPECT_EQ(import.photos.size(), c.told);
      if (!import.photos.empty() && c.error != ERROR_CANCELLED) {
        EXPECT_EQ(import.photos.back().status.code(), c.error);
      }
      EXPECT_EQ(FilesInOut(), 0u);
    }
  }
}

// A thumbnail or a photo's facts that cannot be had come back with words
// fit for a message, and say whether the photo or the written file failed.
TEST_F(ShowApiTest, ThumbnailAndFactsTellTheirFailureInWords) {
  const std::string fine = Write("fine.jpg", EncodeJpeg(400, 300));
  const std::string text = Write("text.jpg", "hello");
  const std::string claim = Write("claim.jpg", WithFrameSize(EncodeJpeg(16, 16), 65000, 65000));

  ThumbnailMade made = WriteThumbnail(medium_, fine, out_ + "t.jpg", {});
  EXPECT_TRUE(made.status.ok());
  EXPECT_EQ(made.width, 133u);
  EXPECT_EQ(made.height, 100u);
  made = WriteThumbnail(medium_, text, out_ + "u.jpg", {});
  EXPECT_FALSE(made.write_failed);
  EXPECT_EQ(made.status.words(), "not a JPEG or BMP picture");
  medium_.SetDiskFullAfter(10);
  made = WriteThumbnail(medium_, fine, out_ + "v.jpg", {});
  medium_.Reset();
  EXPECT_TRUE(made.write_failed);
  EXPECT_EQ(made.status.code(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(made.status.words(), "disk full");
  EXPECT_FALSE(PathExists(DefaultFileSystem(), out_ + "v.jpg"));

  PhotoFacts facts = ReadPhotoFacts(medium_, fine, out_ + "p.jpg");
  EXPECT_TRUE(facts.status.ok());
  EXPECT_EQ(facts.width, 400);
  EXPECT_EQ(facts.height, 300);
  EXPECT_FALSE(facts.preview_kept);
  facts = ReadPhotoFacts(medium_, text, out_ + "q.jpg");
  EXPECT_EQ(facts.status.words(), "not a JPEG or BMP picture");
  facts = ReadPhotoFacts(medium_, claim, out_ + "r.jpg");
  EXPECT_TRUE(facts.status.ok());
  EXPECT_EQ(facts.width, 65000);
  EXPECT_TRUE(StatesPictureSize(medium_, claim));
  EXPECT_FALSE(StatesPictureSize(medium_, text));
}

// A document that does not load says where and why; one that cannot be
// read keeps the platform's code for the host's own words.
TEST_F(ShowApiTest, LoadXmlFileTellsWhyADocumentDoesNotLoad) {
  LoadedXml loaded = LoadXmlFile(medium_, Write("good.xml", "<qx><images/></qx>"));
  EXPECT_TRUE(loaded.status.ok());
  EXPECT_NE(loaded.text.find("<images"), std::string::npos);
  loaded = LoadXmlFile(medium_, Write("empty.xml", ""));
  EXPECT_EQ(loaded.status.words(), "does not load: no root element");
  loaded = LoadXmlFile(medium_, Write("bad.xml", "<qx><images></qx>"));
  EXPECT_EQ(loaded.status.code(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_EQ(loaded.status.words().rfind("does not load: error ", 0), 0u);
  EXPECT_TRUE(loaded.text.empty());
  loaded = LoadXmlFile(medium_, dir_.Join("missing.xml"));
  EXPECT_EQ(loaded.status.code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(loaded.status.words().empty());
}

}  // namespace

}  // namespace tavirelle
