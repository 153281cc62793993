#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "com/bstr.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "automation/clip.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "automation/show_objects.h"
#include "testing/com_properties.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// Reads the reference count without changing it.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

CPhotoDesc* NamedPhoto(const std::string& online_name) {
  auto* photo = new CPhotoDesc();
  ScopedBstr name(BstrFromAnsi(online_name));
  photo->put__OnlineName(name.get());
  return photo;
}

std::string OnlineName(CQXHelper* show, LONG index) {
  IPhotoDesc* photo = nullptr;
  EXPECT_EQ(show->GetPhoto(index, &photo), S_OK);
  std::string name = Text(photo, &IPhotoDesc::get__OnlineName);
  photo->Release();
  return name;
}

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override { show_ = new CQXHelper(); }
  void TearDown() override { show_->Release(); }

  // Adds photos named A, B, C... to the show.
  void AddPhotos(const std::string& names) {
    for (char c : names) {
      CPhotoDesc* photo = NamedPhoto(std::string(1, c));
      show_->AppendPhoto(photo);
      photo->Release();
    }
  }
  std::string Order() {
    LONG count = 0;
    show_->get_PhotoCount(&count);
    std::string order;
    for (LONG i = 0; i < count; ++i) order += OnlineName(show_, i);
    return order;
  }

  CQXHelper* show_ = nullptr;
};

TEST_F(ShowTest, NewShowIsEmptyAndChanged) {
  LONG count = -1;
  EXPECT_EQ(show_->get_PhotoCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  ScopedBstr text;
  EXPECT_EQ(show_->get_Title(text.Receive()), S_OK);
  EXPECT_EQ(SysStringLen(text.get()), 0u);
  EXPECT_EQ(show_->get_MUSIC_DEFAULT(text.Receive()), S_OK);
  EXPECT_EQ(text.Ansi(), "default_music");
  EXPECT_EQ(show_->get_MUSIC_NONE(text.Receive()), S_OK);
  EXPECT_EQ(text.Ansi(), "none_music");
  EXPECT_TRUE(show_->show_changed());
}

// Every text property of the three objects takes its text up to the first
// NUL, and refuses, changing nothing, a text the code page cannot hold.
TEST_F(ShowTest, TextPropertiesEndAtANulAndRefuseWhatTheCodePageLacks) {
  TempDir dir;
  CPhotoDesc* photo = new CPhotoDesc();
  CClip* clip = new CClip();
  using Text = std::u16string;
  struct Property {
    const char* name;
    std::function<HRESULT(BSTR)> put;
    std::function<HRESULT(BSTR*)> get;
    std::function<bool()> changed;  // whether the put counts as a change
    Text stored;                    // a value that fits, set first
  };
  auto show_changed = [&] { return show_->show_changed(); };
  auto photo_changed = [&] {
    LONG changed = 0;
    photo->get__Changed(&changed);
    return changed != 0;
  };
  auto show_text = [&](HRESULT (CQXHelper::*put)(BSTR), HRESULT (CQXHelper::*get)(BSTR*)) {
    return std::pair<std::function<HRESULT(BSTR)>, std::function<HRESULT(BSTR*)>>(
        [=, this](BSTR v) { return (show_->*put)(v); },
        [=, this](BSTR* v) { return (show_->*get)(v); });
  };
  auto photo_text = [&](HRESULT (IPhotoDesc::*put)(BSTR), HRESULT (IPhotoDesc::*get)(BSTR*)) {
    return std::pair<std::function<HRESULT(BSTR)>, std::function<HRESULT(BSTR*)>>(
        [=](BSTR v) { return (photo->*put)(v); }, [=](BSTR* v) { return (photo->*get)(v); });
  };
  std::vector<Property> properties;
  auto add = [&](const char* name, auto accessors, std::function<bool()> changed, Text stored) {
    properties.push_back({name, accessors.first, accessors.second, changed, stored});
  };
  add("Title", show_text(&CQXHelper::put_Title, &CQXHelper::get_Title), show_changed,
      u"Caf\u00E9");
  add("CreatBy", show_text(&CQXHelper::put_CreatBy, &CQXHelper::get_CreatBy), show_changed, u"C");
  add("Starring", show_text(&CQXHelper::put_Starring, &CQXHelper::get_Starring), show_changed,
      u"S");
  add("StyleId", show_text(&CQXHelper::put_StyleId, &CQXHelper::get_StyleId), show_changed, u"Y");
  add("MusicPath", show_text(&CQXHelper::put_MusicPath, &CQXHelper::get_MusicPath),
      show_changed, u"m.mp3");
  add("OutputPath", show_text(&CQXHelper::put_OutputPath, &CQXHelper::get_OutputPath),
      [] { return false; }, AnsiToWide(dir.Join("out/")));
  add("Path", photo_text(&IPhotoDesc::put_Path, &IPhotoDesc::get_Path), photo_changed, u"p.jpg");
  add("_OriginalName", photo_text(&IPhotoDesc::put__OriginalName, &IPhotoDesc::get__OriginalName),
      photo_changed, u"o.jpg");
  add("_OnlineName", photo_text(&IPhotoDesc::put__OnlineName, &IPhotoDesc::get__OnlineName),
      photo_changed, u"n.jpg");
  add("_PhotoDateTaken",
      photo_text(&IPhotoDesc::put__PhotoDateTaken, &IPhotoDesc::get__PhotoDateTaken),
      photo_changed, u"2024:01:02 03:04:05");
  add("_DisplayDate", photo_text(&IPhotoDesc::put__DisplayDate, &IPhotoDesc::get__DisplayDate),
      photo_changed, u"Monday");
  add("clip Path",
      std::pair<std::function<HRESULT(BSTR)>, std::function<HRESULT(BSTR*)>>(
          [&](BSTR v) { return clip->put_Path(v); }, [&](BSTR* v) { return clip->get_Path(v); }),
      [] { return false; }, u"star.swf");

  auto read = [](const Property& p) {
    ScopedBstr out;
    EXPECT_EQ(p.get(out.Receive()), S_OK) << p.name;
    return Text(BstrView(out.get()));
  };
  auto mark_unchanged = [&] {
    show_->set_show_changed(false);
    photo->put__Changed(0);
  };
  for (const Property& p : properties) {
    ScopedBstr stored(p.stored);
    ASSERT_EQ(p.put(stored.get()), S_OK) << p.name;
    // The whole string with its terminator is what a host hands over.
    mark_unchanged();
    ScopedBstr with_nul(Text(u"ab\0cd", 5));
    EXPECT_EQ(p.put(with_nul.get()), S_OK) << p.name;
    EXPECT_EQ(read(p), u"ab") << p.name;
    EXPECT_EQ(p.put(stored.get()), S_OK) << p.name;
    for (const Text& foreign : {Text(u"\u039A\u03B1\u03BB\u03BF\u03BA\u03B1\u03AF\u03C1\u03B9"),
                                Text(u"summer \u590F\u5929"), Text(u"x\U0001F600")}) {
      mark_unchanged();
      ScopedBstr refused(foreign);
      EXPECT_EQ(p.put(refused.get()), HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)) << p.name;
      EXPECT_EQ(read(p), p.stored) << p.name;
      EXPECT_FALSE(p.changed()) << p.name;
    }
    mark_unchanged();
    EXPECT_EQ(p.put(nullptr), S_OK) << p.name;  // null stores the empty text
    EXPECT_EQ(read(p), u"") << p.name;
    if (p.name != std::string("OutputPath") && p.name != std::string("clip Path")) {
      EXPECT_TRUE(p.changed()) << p.name;
    }
  }
  clip->Release();
  photo->Release();
}

TEST_F(ShowTest, OutputPathIsStoredUnchangedCreatedAndNotAChange) {
  TempDir dir;
  std::string folder = dir.Join("show\\sub\\");
  show_->set_show_changed(false);
  ScopedBstr in(BstrFromAnsi(folder));
  EXPECT_EQ(show_->put_OutputPath(in.get()), S_OK);
  EXPECT_FALSE(show_->show_changed());
  EXPECT_TRUE(FolderExists(DefaultFileSystem(), folder));
  ScopedBstr out;
  EXPECT_EQ(show_->get_OutputPath(out.Receive()), S_OK);
  EXPECT_EQ(out.Ansi(), folder);
  // A folder that cannot be made does not fail the call.
  ScopedBstr bad(BstrFromAnsi(dir.Join("file\\x\\")));
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join("file"), "").ok());
  EXPECT_EQ(show_->put_OutputPath(bad.get()), S_OK);
}

TEST_F(ShowTest, NullOutPointersAndBadIndexes) {
  EXPECT_EQ(show_->get_Title(nullptr), E_POINTER);
  EXPECT_EQ(show_->get_PhotoCount(nullptr), E_POINTER);
  EXPECT_EQ(show_->GetPhoto(0, nullptr), E_POINTER);
  IPhotoDesc* photo = reinterpret_cast<IPhotoDesc*>(0x1);
  EXPECT_EQ(show_->GetPhoto(0, &photo), E_FAIL);
  EXPECT_EQ(photo, reinterpret_cast<IPhotoDesc*>(0x1));  // untouched
  show_->set_show_changed(false);
  EXPECT_EQ(show_->RemovePhoto(0), E_FAIL);
  EXPECT_EQ(show_->MovePhoto(0, 0), E_FAIL);
  EXPECT_FALSE(show_->show_changed());
  AddPhotos("AB");
  EXPECT_EQ(show_->GetPhoto(2, &photo), E_FAIL);
  EXPECT_EQ(show_->GetPhoto(-1, &photo), E_FAIL);
  EXPECT_EQ(show_->RemovePhoto(2), E_FAIL);
  EXPECT_EQ(show_->RemovePhoto(-1), E_FAIL);
}

TEST_F(ShowTest, MovePhotoFollowsItsExamples) {
  struct Case {
    LONG from, to;
    HRESULT result;
    const char* order;
    bool changed;
  } cases[] = {
      {0, 2, S_OK, "BCAD", true}, {3, 1, S_OK, "ADBC", true},
      {1, 4, E_FAIL, "ABCD", false}, {-1, 0, E_FAIL, "ABCD", false},
      {2, 2, S_OK, "ABCD", false}, {3, 0, S_OK, "DABC", true},
      {0, 3, S_OK, "BCDA", true},
  };
  for (const auto& c : cases) {
    CQXHelper* show = new CQXHelper();
    std::swap(show, show_);
    AddPhotos("ABCD");
    show_->set_show_changed(false);
    EXPECT_EQ(show_->MovePhoto(c.from, c.to), c.result);
    EXPECT_EQ(Order(), c.order) << c.from << "->" << c.to;
    EXPECT_EQ(show_->show_changed(), c.changed);
    std::swap(show, show_);
    show->Release();
  }
}

TEST_F(ShowTest, PhotosAreReferencedOnceByTheShow) {
  CPhotoDesc* photo = NamedPhoto("P");
  EXPECT_EQ(References(photo), 1u);
  show_->AppendPhoto(photo);
  EXPECT_EQ(References(photo), 2u);
  IPhotoDesc* fetched = nullptr;
  ASSERT_EQ(show_->GetPhoto(0, &fetched), S_OK);
  EXPECT_EQ(fetched, static_cast<IPhotoDesc*>(photo));
  EXPECT_EQ(fetched->Release(), 2u);
  show_->AppendPhoto(photo);  // the same photo twice holds two references
  EXPECT_EQ(References(photo), 3u);
  EXPECT_EQ(show_->RemovePhoto(0), S_OK);
  EXPECT_EQ(References(photo), 2u);
  EXPECT_EQ(show_->ClearPhotos(), S_OK);
  EXPECT_EQ(photo->Release(), 0u);
}

TEST_F(ShowTest, RemovingPhotosDeletesTheirCopiesAndThumbnails) {
  TempDir dir;
  ScopedBstr folder(BstrFromAnsi(dir.path()));
  show_->put_OutputPath(folder.get());
  AddPhotos("ABC");
  for (const char* name : {"A", "B", "C"}) {
    ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join(name), "copy").ok());
    ASSERT_TRUE(
        SaveTextToFile(DefaultFileSystem(), dir.Join(std::string("__w133_h100_") + name), "thumb")
            .ok());
  }
  ASSERT_TRUE(SaveTextToFile(DefaultFileSystem(), dir.Join("unrelated"), "keep").ok());
  show_->set_show_changed(false);
  EXPECT_EQ(show_->RemovePhoto(1), S_OK);
  EXPECT_TRUE(show_->show_changed());
  EXPECT_EQ(Order(), "AC");
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("B")));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("__w133_h100_B")));
  EXPECT_TRUE(PathExists(DefaultFileSystem(), dir.Join("A")));
  // Files already gone do not stop the removal.
  DefaultFileSystem().DeleteFile(dir.Join("A")).IgnoreError();
  EXPECT_EQ(show_->RemovePhoto(0), S_OK);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("__w133_h100_A")));
  show_->set_show_changed(false);
  EXPECT_EQ(show_->ClearPhotos(), S_OK);
  EXPECT_TRUE(show_->show_changed());
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("C")));
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir.Join("__w133_h100_C")));
  EXPECT_TRUE(PathExists(DefaultFileSystem(), dir.Join("unrelated")));
  show_->set_show_changed(false);
  EXPECT_EQ(show_->ClearPhotos(), S_OK);  // empty list: only the flag
  EXPECT_TRUE(show_->show_changed());
}

TEST_F(ShowTest, DescribesItselfAndItsPhotosThroughTheirInterfaces) {
  for (auto [setter, text] : {std::pair{&CQXHelper::put_Title, u"T"},
                              {&CQXHelper::put_CreatBy, u"C"},
                              {&CQXHelper::put_Starring, u"S"},
                              {&CQXHelper::put_StyleId, u"Y"},
                              {&CQXHelper::put_MusicPath, u"M"}}) {
    ScopedBstr value(text);
    ASSERT_EQ((show_->*setter)(value.get()), S_OK);
  }
  AddPhotos("AB");
  IPhotoDesc* video = show_->photos()[1].get();
  ScopedBstr original(u"orig"), taken(u"2024:01:02"), shown(u"Monday");
  video->put__OriginalName(original.get());
  video->put__PhotoDateTaken(taken.get());
  video->put__DisplayDate(shown.get());
  video->put_Orientation(Degree270);
  video->put__IsVideo(1);
  CClip* clip = new CClip();
  ScopedBstr path(u"art\\star.swf");
  clip->put_Path(path.get());
  clip->put_xPos(0.5f);
  clip->put_yPos(-1.25f);
  clip->put_scale(2.0f);
  video->AddClip(clip);
  video->AddClip(clip);  // the same clip twice is described twice
  clip->Release();
  show_->photos()[0]->put__Changed(0);

  ShowDescription show = show_->Describe();
  EXPECT_EQ(show.title + show.created_by + show.starring + show.style_id + show.music_path,
            "TCSYM");
  ASSERT_EQ(show.photos.size(), 2u);
  EXPECT_EQ(show.photos[0].online_name, "A");
  EXPECT_FALSE(show.photos[0].is_video);
  const PhotoDescription& described = show.photos[1];
  EXPECT_EQ(described.online_name, "B");
  EXPECT_EQ(described.original_name, "orig");
  EXPECT_EQ(described.date_taken, "2024:01:02");
  EXPECT_EQ(described.display_date, "Monday");
  EXPECT_EQ(described.orientation, 3);
  EXPECT_TRUE(described.is_video);
  ASSERT_EQ(described.clips.size(), 2u);
  for (const ClipDescription& c : described.clips) {
    EXPECT_EQ(c.path, "art\\star.swf");
    EXPECT_EQ(c.x, 0.5f);
    EXPECT_EQ(c.y, -1.25f);
    EXPECT_EQ(c.scale, 2.0f);
  }
}

// GenerateMetaXML writes only after a change of the show or of a photo, and
// then marks everything unchanged; a run that could write nothing says why
// and leaves everything marked, so that the next call tries again.
TEST_F(ShowTest, GeneratesMetaXmlOnlyAfterAChangeAndThenMarksEverythingUnchanged) {
  TempDir work;
  const std::string meta = work.Join("meta.xml");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), work.Join("config.xml"),
                             "<config><templates><s>s.xml</s></templates></config>")
                  .ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), work.Join("s.xml"), "<qx><images><image/></images></qx>")
          .ok());
  show_->set_template_source({work.Join("config.xml"), {work.path()}});
  ScopedBstr out(BstrFromAnsi(work.path())), style(u"s");
  show_->put_OutputPath(out.get());
  show_->put_StyleId(style.get());
  auto unchanged = [&] {
    LONG changed = -1;
    for (const ComPtr<IPhotoDesc>& photo : show_->photos()) {
      photo->get__Changed(&changed);
      if (changed != 0) return false;
    }
    return !show_->show_changed();
  };
  // Each step starts without a meta.xml, so what it finds is what it wrote.
  auto generate_afresh = [&](HRESULT expected = S_OK) {
    DefaultFileSystem().DeleteFile(meta).IgnoreError();
    EXPECT_EQ(show_->GenerateMetaXML(), expected);
    std::string text;
    return ReadWholeFile(DefaultFileSystem(), meta, &text).ok() ? text : "<none>";
  };

  EXPECT_EQ(generate_afresh(), "<none>");  // no photos: nothing to write
  EXPECT_TRUE(unchanged());
  AddPhotos("A");
  IPhotoDesc* photo = show_->photos()[0].get();
  EXPECT_NE(generate_afresh(), "<none>");
  EXPECT_TRUE(unchanged());
  EXPECT_EQ(generate_afresh(), "<none>");  // nothing changed: nothing written
  ScopedBstr date(u"Monday");
  photo->put__DisplayDate(date.get());
  EXPECT_NE(generate_afresh().find("display_date=\"Monday\""), std::string::npos);
  photo->put__Changed(7);  // any value other than 0 counts as a change
  EXPECT_NE(generate_afresh(), "<none>");
  EXPECT_EQ(generate_afresh(), "<none>");
  ScopedBstr starring(u"Ann");
  show_->put_Starring(starring.get());
  EXPECT_NE(generate_afresh(), "<none>");
  // A style without a template, a template that cannot be used and a
  // folder that cannot be written to each fail the call; once mended, the
  // next call writes without the show being touched.
  ScopedBstr unknown(u"unknown"), broken(u"broken");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), work.Join("config.xml"),
                             "<config><templates><s>s.xml</s><broken>b.xml</broken>"
                             "</templates></config>")
                  .ok());
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), work.Join("b.xml"), "<qx><show/></qx>").ok());
  show_->put_StyleId(unknown.get());
  EXPECT_EQ(generate_afresh(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), "<none>");
  EXPECT_FALSE(unchanged());
  show_->put_StyleId(broken.get());
  show_->set_show_changed(false);
  photo->put__Changed(1);
  EXPECT_EQ(generate_afresh(HRESULT_FROM_WIN32(ERROR_INVALID_DATA)), "<none>");
  EXPECT_EQ(show_->GenerateMetaXML(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));  // again
  EXPECT_FALSE(unchanged());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), work.Join("b.xml"), "<qx><images><image/></images></qx>")
          .ok());
  EXPECT_NE(generate_afresh(), "<none>");
  EXPECT_TRUE(unchanged());
  ScopedBstr gone(BstrFromAnsi(work.Join("gone/")));
  show_->put_OutputPath(gone.get());
  ASSERT_TRUE(DefaultFileSystem().RemoveDirectory(work.Join("gone")).ok());
  photo->put__Changed(1);
  EXPECT_EQ(show_->GenerateMetaXML(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(unchanged());
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(work.Join("gone")).ok());
  EXPECT_EQ(show_->GenerateMetaXML(), S_OK);
  EXPECT_TRUE(PathExists(DefaultFileSystem(), work.Join("gone/meta.xml")));
  EXPECT_TRUE(unchanged());
}

// A host's own photo objects see the order of reads: with nothing changed
// only _Changed is read, photo by photo, up to the first that reads 1.
TEST_F(ShowTest, AnUnchangedShowReadsOnlyTheChangeFlagsInOrder) {
  class CountingPhoto : public CPhotoDesc {
   public:
    CountingPhoto(std::vector<std::string>* log, int id) : log_(log), id_(id) {}
    HRESULT get__Changed(LONG* value) override {
      log_->push_back(std::to_string(id_) + " _Changed");
      return CPhotoDesc::get__Changed(value);
    }
    HRESULT get__OnlineName(BSTR* value) override {
      log_->push_back(std::to_string(id_) + " _OnlineName");
      return CPhotoDesc::get__OnlineName(value);
    }
    HRESULT get_ClipCount(LONG* value) override {
      log_->push_back(std::to_string(id_) + " ClipCount");
      return CPhotoDesc::get_ClipCount(value);
    }

   private:
    std::vector<std::string>* log_;
    int id_;
  };
  TempDir work;
  ScopedBstr out(BstrFromAnsi(work.path()));
  show_->put_OutputPath(out.get());
  show_->set_template_source({work.Join("config.xml"), {work.path()}});
  std::vector<std::string> log;
  for (int id = 0; id < 4; ++id) {
    auto* photo = new CountingPhoto(&log, id);
    photo->put__Changed(0);
    show_->AppendPhoto(photo);
    photo->Release();
  }
  show_->set_show_changed(false);
  EXPECT_EQ(show_->GenerateMetaXML(), S_OK);
  EXPECT_EQ(log, (std::vector<std::string>{"0 _Changed", "1 _Changed", "2 _Changed",
                                           "3 _Changed"}));
  log.clear();
  show_->photos()[1]->put__Changed(1);
  // A change is found at the second photo; then the show is read (and the
  // missing template reported).
  EXPECT_EQ(show_->GenerateMetaXML(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
            (std::vector<std::string>{"0 _Changed", "1 _Changed", "0 _OnlineName"}));
  EXPECT_EQ(std::count(log.begin(), log.end(), "2 _Changed"), 0);
}

TEST(ThumbnailPath, SitsBesideTheCopy) {
  EXPECT_EQ(ThumbnailPathOf("C:\\out\\X.jpg"), "C:\\out\\__w133_h100_X.jpg");
  EXPECT_EQ(ThumbnailPathOf("/out/X.jpg"), "/out/__w133_h100_X.jpg");
  EXPECT_EQ(ThumbnailPathOf("X.jpg"), "__w133_h100_X.jpg");
}

TEST(PhotoDesc, EverySetterMarksItChanged) {
  CPhotoDesc* photo = new CPhotoDesc();
  ScopedBstr text(u"x");
  struct Step {
    const char* name;
    std::function<HRESULT()> call;
  } steps[] = {
      {"Path", [&] { return photo->put_Path(text.get()); }},
      {"Orientation", [&] { return photo->put_Orientation(static_cast<PhotoOrientation>(5)); }},
      {"OriginalName", [&] { return photo->put__OriginalName(text.get()); }},
      {"OnlineName", [&] { return photo->put__OnlineName(nullptr); }},
      {"Width", [&] { return photo->put__Width(0); }},
      {"Height", [&] { return photo->put__Height(-3); }},
      {"DateTaken", [&] { return photo->put__PhotoDateTaken(text.get()); }},
      {"DisplayDate", [&] { return photo->put__DisplayDate(text.get()); }},
      {"IsVideo", [&] { return photo->put__IsVideo(0); }},
      {"ClearClip", [&] { return photo->ClearClip(); }},
  };
  for (auto& step : steps) {
    ASSERT_EQ(photo->put__Changed(0), S_OK);
    EXPECT_EQ(step.call(), S_OK) << step.name;
    LONG changed = 0;
    photo->get__Changed(&changed);
    EXPECT_EQ(changed, 1) << step.name;
  }
  PhotoOrientation orientation = Degree0;
  photo->get_Orientation(&orientation);
  EXPECT_EQ(orientation, 5);  // stored unchecked
  photo->put__Changed(7);
  LONG changed = 0;
  photo->get__Changed(&changed);
  EXPECT_EQ(changed, 7);
  photo->Release();
}

TEST(PhotoDesc, IsVideoIsTrueOnlyForExactlyOne) {
  CPhotoDesc* photo = new CPhotoDesc();
  for (auto [in, out] : {std::pair<LONG, LONG>{-1, 0}, {1, 1}, {2, 0}, {0, 0}}) {
    photo->put__IsVideo(in);
    LONG value = -5;
    photo->get__IsVideo(&value);
    EXPECT_EQ(value, out) << in;
  }
  photo->Release();
}

TEST(PhotoDesc, ClipsAreReferencedAndIndexed) {
  CPhotoDesc* photo = new CPhotoDesc();
  CClip* clip = new CClip();
  IClip* out = reinterpret_cast<IClip*>(0x1);
  EXPECT_EQ(photo->GetClip(0, &out), E_FAIL);
  EXPECT_EQ(photo->GetClip(-1, &out), E_FAIL);
  EXPECT_EQ(out, reinterpret_cast<IClip*>(0x1));
  EXPECT_EQ(photo->GetClip(0, nullptr), E_POINTER);
  photo->put__Changed(0);
  EXPECT_EQ(photo->AddClip(nullptr), E_POINTER);
  LONG changed = 0, count = 0;
  photo->get__Changed(&changed);
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(photo->AddClip(clip), S_OK);
  EXPECT_EQ(photo->AddClip(clip), S_OK);
  EXPECT_EQ(References(clip), 3u);
  photo->get_ClipCount(&count);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(photo->GetClip(1, &out), S_OK);
  EXPECT_EQ(out, static_cast<IClip*>(clip));
  out->Release();
  // A clip carries no link back: changing it does not mark the photo.
  photo->put__Changed(0);
  clip->put_xPos(1.5f);
  photo->get__Changed(&changed);
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(photo->ClearClip(), S_OK);
  EXPECT_EQ(References(clip), 1u);
  photo->AddClip(clip);
  photo->Release();  // releases its clips
  FLOAT x = 0;
  clip->get_xPos(&x);
  EXPECT_EQ(x, 1.5f);
  EXPECT_EQ(clip->Release(), 0u);
}

TEST(ShowObjects, CreateAnswersItsInterfacesAndCountsModuleLocks) {
  LONG before = ModuleLockCount();
  IQXHelper* show = nullptr;
  ASSERT_EQ(CreateQXHelper(IQXHelper::kIid, reinterpret_cast<void**>(&show)), S_OK);
  EXPECT_EQ(ModuleLockCount(), before + 1);
  IDispatch* dispatch = nullptr;
  EXPECT_EQ(show->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  EXPECT_EQ(dispatch->Release(), 1u);
  void* other = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(show->QueryInterface(IClip::kIid, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(show->Release(), 0u);
  EXPECT_EQ(ModuleLockCount(), before);
  void* clip = nullptr;
  EXPECT_EQ(CreateClip(IPhotoDesc::kIid, &clip), E_NOINTERFACE);
  EXPECT_EQ(ModuleLockCount(), before);
  EXPECT_EQ(CreatePhotoDesc(IPhotoDesc::kIid, nullptr), E_POINTER);
}

}  // namespace

}  // namespace tavirelle
