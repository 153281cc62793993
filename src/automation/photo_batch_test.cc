#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "platform/file_system.h"
#include "automation/photo_batch.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "tavirelle/com_ptr.h"
#include "testing/com_properties.h"
#include "testing/folder_names.h"
#include "testing/image_builder.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

using namespace testing_images;

std::string Bitmap(int32_t width, int32_t height) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.rows = StoredRows(width, height, 24, [](uint32_t x, uint32_t y) { return x * 5 + y; });
  return BuildBmp(layout);
}

// Two shows on the real file system (the memory one is for one thread),
// each with its own output folder, fed the same source files.
class PhotoBatchTest : public ::testing::Test {
 protected:
  ComPtr<CQXHelper> NewShow(const std::string& folder) {
    auto show = ComPtr<CQXHelper>::Adopt(new CQXHelper());
    ScopedBstr out(BstrFromAnsi(dir_.Join(folder)));
    show->put_OutputPath(out.get());
    return show;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join(name), bytes).ok());
    return dir_.Join(name);
  }
  // Descriptions naming `sources`, as a host makes them.
  static std::vector<ComPtr<IPhotoDesc>> Descriptions(const std::vector<std::string>& sources) {
    std::vector<ComPtr<IPhotoDesc>> photos;
    for (const std::string& source : sources) {
      auto photo = ComPtr<IPhotoDesc>::Adopt(new CPhotoDesc());
      ScopedBstr path(BstrFromAnsi(source));
      photo->put_Path(path.get());
      photos.push_back(photo);
    }
    return photos;
  }
  static ComPtr<IPhotoBatch> BatchOf(CQXHelper* show) {
    HRESULT hr = E_FAIL;
    ComPtr<IPhotoBatch> batch =
        ComPtr<IQXHelper>::Share(show).As<IPhotoBatch>(IPhotoBatch::kIid, &hr);
    EXPECT_EQ(hr, S_OK);
    return batch;
  }
  // Calls AddPhotos on `photos` with `jobs`, recording the progress calls;
  // the progress refuses once `refuse_at` photos are done.
  HRESULT AddAll(CQXHelper* show, std::vector<ComPtr<IPhotoDesc>>& photos, LONG jobs,
                 LONG* added, LONG refuse_at = -1) {
    std::vector<IPhotoDesc*> pointers;
    for (auto& photo : photos) pointers.push_back(photo.get());
    progress_.clear();
    refuse_at_ = refuse_at;
    return BatchOf(show)->AddPhotos(pointers.data(), static_cast<LONG>(pointers.size()), jobs,
                                    &PhotoBatchTest::Progress, this, added);
  }
  static HRESULT Progress(void* context, LONG done) {
    auto* test = static_cast<PhotoBatchTest*>(context);
    test->progress_.push_back(done);
    return done == test->refuse_at_ ? S_FALSE : S_OK;
  }

  TempDir dir_;
  std::vector<LONG> progress_;
  LONG refuse_at_ = -1;
};

class PhotoBatchJobsTest : public PhotoBatchTest, public ::testing::WithParamInterface<LONG> {};

// Photos of every kind the import treats differently: each ends exactly as
// AddPhoto one by one leaves it, in the same place, with the same thumbnail.
TEST_P(PhotoBatchJobsTest, MakesTheShowThatOneByOneMakes) {
  std::vector<std::string> sources = {
      Write("preview.jpg", CameraPhoto({.width = 640, .height = 480, .preview = EncodeJpeg(160, 120)})),
      Write("no-preview.jpg", CameraPhoto({.width = 320, .height = 240})),
      Write("scan.bmp", Bitmap(90, 120)),
      Write("turned-preview.jpg", CameraPhoto({.width = 480, .height = 640, .preview = EncodeJpeg(160, 120)})),
      Write("plain.jpg", EncodeJpeg(1200, 700)),
      Write("small.jpg", EncodeJpeg(50, 40)),
      Write("not-a-picture.jpg", "only words"),
      Write("grey.jpg", EncodeJpeg(300, 900, GradientPixel, {80, JpegColor::kGrey, true})),
      dir_.Join("missing.jpg"),
  };
  ComPtr<CQXHelper> one_by_one = NewShow("a/");
  std::vector<ComPtr<IPhotoDesc>> expected = Descriptions(sources);
  for (auto& photo : expected) ASSERT_EQ(one_by_one->AddPhoto(photo.get()), S_OK);

  ComPtr<CQXHelper> batched = NewShow("b/");
  batched->set_show_changed(false);
  std::vector<ComPtr<IPhotoDesc>> photos = Descriptions(sources);
  LONG added = -1;
  ASSERT_EQ(AddAll(batched.get(), photos, GetParam(), &added), S_OK);
  EXPECT_EQ(added, 8);
  EXPECT_TRUE(batched->show_changed());
  EXPECT_EQ(progress_, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

  LONG count = 0;
  batched->get_PhotoCount(&count);
  ASSERT_EQ(count, 8);
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IPhotoDesc> want, got;
    ASSERT_EQ(one_by_one->GetPhoto(i, want.Receive()), S_OK);
    ASSERT_EQ(batched->GetPhoto(i, got.Receive()), S_OK);
    EXPECT_EQ(got.get(), photos[static_cast<size_t>(i)].get()) << i;  // in order
    for (auto getter : {&IPhotoDesc::get__OriginalName, &IPhotoDesc::get__PhotoDateTaken}) {
      EXPECT_EQ(Text(got.get(), getter), Text(want.get(), getter)) << sources[i];
    }
    for (auto getter : {&IPhotoDesc::get__Width, &IPhotoDesc::get__Height,
                        &IPhotoDesc::get__IsVideo, &IPhotoDesc::get__Changed}) {
      EXPECT_EQ(Number(got.get(), getter), Number(want.get(), getter)) << sources[i];
    }
    std::string want_name = Text(want.get(), &IPhotoDesc::get__OnlineName);
    std::string got_name = Text(got.get(), &IPhotoDesc::get__OnlineName);
    EXPECT_NE(got_name, want_name);
    std::string want_copy, got_copy, want_thumb = "<none>", got_thumb = "<none>";
    ReadWholeFile(DefaultFileSystem(), dir_.Join("a/" + want_name), &want_copy).IgnoreError();
    ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir_.Join("b/" + got_name), &got_copy).ok());
    EXPECT_EQ(got_copy, want_copy) << sources[i];
    ReadWholeFile(DefaultFileSystem(), ThumbnailPathOf(dir_.Join("a/" + want_name)), &want_thumb)
        .IgnoreError();
    ReadWholeFile(DefaultFileSystem(), ThumbnailPathOf(dir_.Join("b/" + got_name)), &got_thumb)
        .IgnoreError();
    EXPECT_EQ(got_thumb, want_thumb) << sources[i];
  }
  // Nothing else was written: 8 copies, and a thumbnail for all but the
  // picture that does not decode.
  EXPECT_EQ(NamesIn(dir_.Join("b/")).size(), 15u);
  EXPECT_EQ(NamesIn(dir_.Join("a/")).size(), 15u);
  // The missing photo was dealt with as AddPhoto deals with it.
  EXPECT_EQ(Text(photos.back().get(), &IPhotoDesc::get__OnlineName), "");
}

INSTANTIATE_TEST_SUITE_P(Jobs, PhotoBatchJobsTest, ::testing::Values(1, 4));

// A run that stops part-way keeps the photos before the stop, as one-by-one
// calls would, and nothing of the photos after it, although their files
// were made ahead.
TEST_F(PhotoBatchTest, AStoppedRunKeepsWhatCameBeforeAndLeavesNothingElse) {
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(dir_.Join("folder.jpg")).ok());
  std::vector<std::string> sources;
  for (int i = 0; i < 8; ++i) {
    sources.push_back(Write("p" + std::to_string(i) + ".jpg", CameraPhoto({.width = 200 + static_cast<uint32_t>(i), .height = 150})));
  }
  std::vector<std::string> failing = sources;
  failing[1] = dir_.Join("missing.jpg");  // skipped, not a failure
  failing[3] = dir_.Join("folder.jpg");
  ComPtr<CQXHelper> reference = NewShow("ref/");
  HRESULT folder_result = reference->AddPhoto(Descriptions({failing[3]})[0].get());
  ASSERT_TRUE(FAILED(folder_result));

  struct Case {
    const char* what;
    std::vector<std::string> sources;
    LONG refuse_at;
    HRESULT result;
    LONG added;
    std::vector<LONG> progress;
  } cases[] = {
      {"a photo that cannot be copied", failing, -1, folder_result, 2, {1, 2, 3}},
      {"a refusing progress", sources, 3, E_ABORT, 3, {1, 2, 3}},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string folder = "out" + std::to_string(n++) + "/";
    ComPtr<CQXHelper> show = NewShow(folder);
    std::vector<ComPtr<IPhotoDesc>> photos = Descriptions(c.sources);
    LONG added = -1;
    EXPECT_EQ(AddAll(show.get(), photos, 4, &added, c.refuse_at), c.result) << c.what;
    EXPECT_EQ(added, c.added) << c.what;
    EXPECT_EQ(progress_, c.progress) << c.what;
    LONG count = 0;
    show->get_PhotoCount(&count);
    EXPECT_EQ(count, c.added) << c.what;
    // Each photo added has its copy and thumbnail; no other file is there.
    std::vector<std::string> kept;
    for (const auto& photo : photos) {
      std::string name = Text(photo.get(), &IPhotoDesc::get__OnlineName);
      if (name.empty()) continue;
      kept.push_back(name);
      kept.push_back(FileNameOf(ThumbnailPathOf(name)));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept.size(), 2u * static_cast<size_t>(c.added)) << c.what;
    EXPECT_EQ(NamesIn(dir_.Join(folder)), kept) << c.what;
  }
}

TEST_F(PhotoBatchTest, BadArgumentsAndDescriptionsThatCannotBeRead) {
  ComPtr<CQXHelper> show = NewShow("out/");
  ComPtr<IPhotoBatch> batch = BatchOf(show.get());
  std::vector<ComPtr<IPhotoDesc>> photos = Descriptions({Write("p.jpg", EncodeJpeg(60, 40))});
  IPhotoDesc* list[] = {photos[0].get(), nullptr, photos[0].get()};
  LONG added = -1;
  EXPECT_EQ(batch->AddPhotos(list, 1, 1, nullptr, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(batch->AddPhotos(nullptr, 1, 1, nullptr, nullptr, &added), E_POINTER);
  EXPECT_EQ(batch->AddPhotos(list, -1, 1, nullptr, nullptr, &added), E_INVALIDARG);
  EXPECT_EQ(batch->AddPhotos(list, 1, 0, nullptr, nullptr, &added), E_INVALIDARG);
  EXPECT_EQ(batch->AddPhotos(list, 1, 257, nullptr, nullptr, &added), E_INVALIDARG);
  EXPECT_EQ(batch->AddPhotos(list, 0, 2, nullptr, nullptr, &added), S_OK);
  EXPECT_EQ(added, 0);
  // A null description ends the run where AddPhoto would have refused it.
  show->set_show_changed(false);
  EXPECT_EQ(batch->AddPhotos(list, 3, 2, nullptr, nullptr, &added), E_FAIL);
  EXPECT_EQ(added, 1);
  LONG count = 0;
  show->get_PhotoCount(&count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(NamesIn(dir_.Join("out/")).size(), 2u);
}

}  // namespace

}  // namespace tavirelle
