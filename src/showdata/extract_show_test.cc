// Extraction under failing media and from damaged packages: what the report
// says for each file, that nothing partial is left, and that a host still
// gets the documented status.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "showdata/show_data.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

const char kShow[] =
    "<qx><show><icon>show_icon.jpg</icon></show><images>"
    "<image onlineFilename=\"a.jpg\"><music file=\"song.mp3\"/></image>"
    "<image onlineFilename=\"b.jpg\"><audioCaption file=\"note.wav\"/></image>"
    "</images></qx>";

class ExtractShowTest : public testing::Test {
 protected:
  void SetUp() override {
    // a.jpg spans several copy blocks.
    std::string big(2 * 1024 * 1024 + 11, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13 + i / 1021);
    contents_ = {{"show_icon.jpg", "icon"}, {"a.jpg", big},          {"b.jpg", "BBBB"},
                 {"note.wav", "wave"},      {"song.mp3", "la la la"}};
    out_ = dir_.Join("out/");
    ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out_).ok());
  }

  void Write(const std::vector<std::string>& leave_out = {}) {
    std::vector<TestEntry> entries = {{"meta.xml", kShow}};
    for (const auto& [name, data] : contents_) {
      bool left_out = false;
      for (const std::string& omitted : leave_out) left_out |= omitted == name;
      if (!left_out) entries.push_back({name, data});
    }
    ASSERT_TRUE(WriteTestPackage(dir_.Join("show.pkg"), entries));
    ASSERT_TRUE(package_.OpenPackage(dir_.Join("show.pkg"), false).ok());
  }

  // Every name in the output folder, whatever it is.
  std::vector<std::string> Listing() {
    std::vector<FindData> found;
    DefaultFileSystem().Find(out_ + "*", &found).IgnoreError();
    std::vector<std::string> names;
    for (const FindData& f : found) {
      if (f.name != "." && f.name != "..") names.push_back(f.name);
    }
    return names;
  }

  void EmptyOutput() {
    for (const std::string& name : Listing())
      DefaultFileSystem().DeleteFile(out_ + name).IgnoreError();
  }

  // Each file is either whole or absent, and nothing else is in the folder.
  void ExpectWholeOrAbsent(const ExtractReport& report, const std::string& context) {
    size_t present = 0;
    for (const ExtractedFile& file : report.files) {
      std::string contents;
      bool exists = ReadWholeFile(DefaultFileSystem(), out_ + file.name, &contents).ok();
      EXPECT_EQ(exists, file.save.saved()) << context << " " << file.name;
      if (exists) {
        ++present;
        EXPECT_TRUE(contents == contents_[file.name]) << context << " " << file.name;
      }
    }
    present += report.meta_saved ? 1 : 0;
    EXPECT_EQ(Listing().size(), present) << context;
  }

  TempDir dir_;
  std::string out_;
  std::map<std::string, std::string> contents_;
  // The package's medium: passes every call through until a test sets a
  // fault.
  FaultInjectingFileSystem medium_;
  ShowPackage package_{medium_};
};

TEST_F(ExtractShowTest, ReportsEveryFileAndReadsEachEntryOnce) {
  Write();
  uint32_t package_size = 0;
  ASSERT_TRUE(FileSizeOf(DefaultFileSystem(), dir_.Join("show.pkg"), &package_size).ok());
  FaultInjectingFileSystem& fs = medium_;
  fs.Reset();
  // The directory was read at the open. One pass over the entries reads
  // the package once, give or take a read-ahead block at each of the six
  // entries; a second read of a.jpg (2 MiB) would go far past that.
  fs.SetReadFailAfter(package_size + 6 * 64 * 1024);
  ExtractReport report;
  ASSERT_TRUE(ExtractShow(package_, out_, &report));
  fs.Reset();
  std::vector<std::string> names;
  for (const ExtractedFile& file : report.files) {
    names.push_back(file.name);
    EXPECT_TRUE(file.save.saved()) << file.name;
    EXPECT_EQ(file.online_file, file.name == "a.jpg" || file.name == "b.jpg") << file.name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"show_icon.jpg", "a.jpg", "b.jpg", "note.wav",
                                             "song.mp3"}));
  EXPECT_TRUE(report.meta_saved);
  ExpectWholeOrAbsent(report, "");
}

TEST_F(ExtractShowTest, AFullDiskFailsTheFileItHitsAndLeavesNoPartOfIt) {
  Write();
  // The files go out in the order icon (4 bytes), a.jpg, b.jpg (4),
  // note.wav (4), song.mp3 (8), then meta.xml; once full, the disk stays
  // full.
  uint64_t big = contents_["a.jpg"].size();
  const struct {
    uint64_t limit;
    size_t failed;
  } cases[] = {{0, 5}, {2, 5}, {4 + 1024 * 1024, 4}, {4 + big - 1, 4}, {4 + big + 4, 2},
               {4 + big + 4 + 4 + 8, 0}};
  for (const auto& [limit, expected_failures] : cases) {
    EmptyOutput();
    FaultInjectingFileSystem& fs = medium_;
    fs.Reset();
    fs.SetDiskFullAfter(limit);
    ExtractReport report;
    ASSERT_TRUE(ExtractShow(package_, out_, &report));
    fs.Reset();
    std::string context = "limit " + std::to_string(limit);
    size_t failed = 0;
    for (const ExtractedFile& file : report.files) {
      if (file.save.saved()) continue;
      ++failed;
      EXPECT_EQ(file.save.result, EntrySaveResult::kWriteFailed) << context << " " << file.name;
      EXPECT_EQ(file.save.error, ERROR_DISK_FULL) << context << " " << file.name;
    }
    EXPECT_FALSE(report.meta_saved) << context;
    EXPECT_EQ(report.meta_error, ERROR_DISK_FULL) << context;
    EXPECT_EQ(failed, expected_failures) << context;
    ExpectWholeOrAbsent(report, context);
  }
}

TEST_F(ExtractShowTest, AProtectedFolderFailsEveryFile) {
  Write();
  const struct {
    const char* what;
    DWORD error;
  } cases[] = {{"write-protected", ERROR_WRITE_PROTECT}, {"access denied", ERROR_ACCESS_DENIED}};
  for (const auto& c : cases) {
    FaultInjectingFileSystem& fs = medium_;
    fs.Reset();
    if (c.error == ERROR_WRITE_PROTECT) {
      fs.SetWriteProtected(true);
    } else {
      fs.DenyAccess(out_);
    }
    ExtractReport report;
    ASSERT_TRUE(ExtractShow(package_, out_, &report));
    ASSERT_EQ(report.files.size(), 5u);
    for (const ExtractedFile& file : report.files) {
      EXPECT_EQ(file.save.result, EntrySaveResult::kWriteFailed) << c.what << " " << file.name;
      EXPECT_EQ(file.save.error, c.error) << c.what << " " << file.name;
    }
    EXPECT_FALSE(report.meta_saved);
    EXPECT_EQ(report.meta_error, c.error) << c.what;
    EXPECT_TRUE(Listing().empty()) << c.what;
  }
}

TEST_F(ExtractShowTest, DamagedAndMissingEntriesAreToldApart) {
  contents_["b.jpg"] = "BBBB";
  Write({"b.jpg", "song.mp3"});
  // One byte of a.jpg flipped past its first copy block, in place.
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir_.Join("show.pkg"), &bytes).ok());
  size_t at = bytes.find(contents_["a.jpg"]);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 1024 * 1024 + 100] ^= 0x40;
  package_.ClosePackage();
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("show.pkg"), bytes).ok());
  ASSERT_TRUE(package_.OpenPackage(dir_.Join("show.pkg"), false).ok());

  ExtractReport report;
  ASSERT_TRUE(ExtractShow(package_, out_, &report));
  std::map<std::string, ExtractedFile> by_name;
  for (const ExtractedFile& file : report.files) by_name[file.name] = file;
  EXPECT_EQ(by_name["a.jpg"].save.result, EntrySaveResult::kMismatch);
  EXPECT_EQ(by_name["b.jpg"].save.result, EntrySaveResult::kMissing);
  EXPECT_TRUE(by_name["b.jpg"].online_file);
  EXPECT_EQ(by_name["song.mp3"].save.result, EntrySaveResult::kMissing);
  EXPECT_FALSE(by_name["song.mp3"].online_file);
  EXPECT_TRUE(by_name["note.wav"].save.saved());
  EXPECT_TRUE(report.meta_saved);
  ExpectWholeOrAbsent(report, "damaged");
}

// What a host that extracts a show is told, for each way the extraction can
// go: ok only when the description and every entry the package holds for
// the show arrived whole, and never a file cut short.
TEST_F(ExtractShowTest, TheHostIsToldWhatCouldNotBeWritten) {
  const DWORD kCrc = ERROR_CRC;
  uint64_t big = contents_["a.jpg"].size();
  const std::string missing_folder = dir_.Join("missing/");
  struct Case {
    const char* what;
    std::vector<std::string> left_out;  // entries the package lacks
    std::function<void(std::string&)> damage;  // to the package's bytes
    std::function<void(FaultInjectingFileSystem&)> fault;
    DWORD status;
    std::vector<std::string> written;  // besides meta.xml
    bool meta = true;
    std::string output = "";
  } cases[] = {
      {"whole", {}, {}, {}, ERROR_SUCCESS, {"show_icon.jpg", "a.jpg", "b.jpg", "note.wav", "song.mp3"}},
      // Shared assets, and even a photo, that the package lacks are skipped.
      {"entries missing", {"song.mp3", "note.wav", "b.jpg"}, {}, {}, ERROR_SUCCESS,
       {"show_icon.jpg", "a.jpg"}},
      {"a damaged photo", {}, [&](std::string& bytes) {
         bytes[bytes.find(contents_["a.jpg"]) + 1024 * 1024 + 100] ^= 0x40;
       }, {}, kCrc, {"show_icon.jpg", "b.jpg", "note.wav", "song.mp3"}},
      // Still a show, but not the one the directory's digest states.
      {"a damaged description", {}, [](std::string& bytes) {
         bytes[bytes.find("song.mp3")] ^= 0x20;
       }, {}, kCrc, {}, false},
      {"no such folder", {}, {}, {}, ERROR_PATH_NOT_FOUND, {}, false,
       missing_folder},
      {"write-protected", {}, {}, [](FaultInjectingFileSystem& fs) { fs.SetWriteProtected(true); },
       ERROR_WRITE_PROTECT, {}, false},
      {"access denied", {}, {}, [&](FaultInjectingFileSystem& fs) { fs.DenyAccess(out_); },
       ERROR_ACCESS_DENIED, {}, false},
      {"disk full in a.jpg", {}, {}, [&](FaultInjectingFileSystem& fs) {
         fs.SetDiskFullAfter(4 + big / 2);
       }, ERROR_DISK_FULL, {"show_icon.jpg"}, false},
      {"disk full at meta.xml", {}, {}, [&](FaultInjectingFileSystem& fs) {
         fs.SetDiskFullAfter(4 + big + 4 + 4 + 8);
       }, ERROR_DISK_FULL,
       {"show_icon.jpg", "a.jpg", "b.jpg", "note.wav", "song.mp3"}, false},
  };
  for (const Case& c : cases) {
    package_.ClosePackage();
    EmptyOutput();
    Write(c.left_out);
    package_.ClosePackage();
    if (c.damage) {
      std::string bytes;
      ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir_.Join("show.pkg"), &bytes).ok());
      c.damage(bytes);
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("show.pkg"), bytes).ok());
    }
    medium_.Reset();
    ASSERT_TRUE(package_.OpenPackage(dir_.Join("show.pkg"), false).ok()) << c.what;
    if (c.fault) c.fault(medium_);
    EXPECT_EQ(GenerateShowData(package_, c.output.empty() ? out_ : c.output).code(), c.status)
        << c.what;
    medium_.Reset();
    // What is there is whole, and nothing else is.
    std::vector<std::string> expected = c.written;
    if (c.meta) expected.push_back("meta.xml");
    std::vector<std::string> listed = Listing();
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected) << c.what;
    for (const std::string& name : c.written) {
      std::string bytes;
      EXPECT_TRUE(ReadWholeFile(DefaultFileSystem(), out_ + name, &bytes).ok()) << c.what << name;
      EXPECT_TRUE(bytes == contents_[name]) << c.what << " " << name;
    }
    EXPECT_FALSE(FolderExists(DefaultFileSystem(), missing_folder)) << c.what;
  }
}

// A description listed in the directory that cannot be read whole names no
// files either.
TEST_F(ExtractShowTest, ADescriptionThatCannotBeReadWritesNothing) {
  std::vector<TestEntry> entries = {{"meta.xml", kShow, /*damaged_headers=*/true}};
  for (const auto& [name, data] : contents_) entries.push_back({name, data});
  ASSERT_TRUE(WriteTestPackage(dir_.Join("show.pkg"), entries));
  ASSERT_TRUE(package_.OpenPackage(dir_.Join("show.pkg"), false).ok());
  EXPECT_EQ(GenerateShowData(package_, out_).code(), static_cast<DWORD>(ERROR_CRC));
  EXPECT_TRUE(Listing().empty());
  // Without any description there is nothing to distrust: the (empty)
  // description is written, as for one that does not parse.
  ASSERT_TRUE(WriteTestPackage(dir_.Join("bare.pkg"), {{"a.jpg", "A"}}));
  ASSERT_TRUE(package_.OpenPackage(dir_.Join("bare.pkg"), false).ok());
  EXPECT_TRUE(GenerateShowData(package_, out_).ok());
  EXPECT_EQ(Listing(), std::vector<std::string>{"meta.xml"});
}

TEST_F(ExtractShowTest, AClosedPackageWritesNothing) {
  ExtractReport report;
  report.meta_saved = true;
  EXPECT_FALSE(ExtractShow(package_, out_, &report));
  EXPECT_FALSE(report.meta_saved);
  EXPECT_TRUE(report.files.empty());
  EXPECT_TRUE(Listing().empty());
}

// A run asked to stop finishes the files under way and begins no other:
// whatever it reports saved is there whole, nothing else is, and meta.xml is
// not written. One file at a time (the test medium) and eight at a time on
// several threads alike.
TEST_F(ExtractShowTest, AStoppedRunBeginsNoFurtherFile) {
  std::string images;
  std::vector<TestEntry> entries = {{"meta.xml", ""}};
  contents_.clear();
  for (int i = 0; i < 200; ++i) {
    const std::string name = "p" + std::to_string(i) + ".jpg";
    images += "<image onlineFilename=\"" + name + "\"/>";
    contents_[name] = std::string(100 + i, static_cast<char>(i));
    entries.push_back({name, contents_[name]});
  }
  entries[0].data = "<qx><show/><images>" + images + "</images></qx>";
  ASSERT_TRUE(WriteTestPackage(dir_.Join("show.pkg"), entries));
  ShowPackage together(DefaultFileSystem());
  ASSERT_TRUE(together.OpenPackage(dir_.Join("show.pkg"), false).ok());
  ASSERT_TRUE(package_.OpenPackage(dir_.Join("show.pkg"), false).ok());
  for (unsigned jobs : {1u, 3u}) {
    for (ShowPackage* package : {&package_, &together}) {
      const std::string context = std::to_string(jobs) + (package == &together ? " together" : "");
      EmptyOutput();
      bool stop = false;
      ExtractOptions options;
      options.jobs = jobs;
      options.stop = [&] { return stop; };
      ExtractReport report;
      ASSERT_TRUE(ExtractShow(
          *package, out_, &report, [&](size_t done, size_t) { stop = stop || done >= 5; },
          options));
      EXPECT_TRUE(report.stopped) << context;
      EXPECT_FALSE(report.meta_saved) << context;
      size_t saved = 0;
      for (const ExtractedFile& file : report.files) saved += file.save.saved() ? 1 : 0;
      EXPECT_GE(saved, 5u) << context;
      EXPECT_LT(saved, 150u) << context;
      if (package == &package_) {
        EXPECT_EQ(saved, 5u) << context;  // one file at a time: none ahead
      }
      ExpectWholeOrAbsent(report, context);
    }
  }
}

// A description whose bytes fail their digest, or that does not load,
// names no file that can be trusted: asked to, the extraction writes
// nothing. A host's extraction writes what it can, as it always did.
// A description that fails its digest is never used; one that is whole but
// does not load is written as it is, unless the caller wants a whole show.
TEST_F(ExtractShowTest, AnUntrustworthyDescriptionWritesNothingWhenAskedSo) {
  const std::string kept =
      "<qx><show><title>T</title></show><images>"
      "<image onlineFilename=\"a.jpg\"/></images></qx>";
  const struct {
    const char* what;
    std::string meta;
    bool intact, loads;
  } cases[] = {
      {"damaged", kept, false, false},
      {"a zero byte",
       std::string("<qx><show><title>T\0</title></show><images>"
                   "<image onlineFilename=\"a.jpg\"/></images></qx>",
                   87),
       true, false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestPackage(dir_.Join("meta.pkg"), {{"meta.xml", c.meta}, {"a.jpg", "A"}}));
    if (!c.intact) {
      std::string bytes;
      ASSERT_TRUE(ReadWholeFile(DefaultFileSystem(), dir_.Join("meta.pkg"), &bytes).ok());
      bytes[bytes.find("<title>T") + 7] = 'X';
      ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), dir_.Join("meta.pkg"), bytes).ok());
    }
    for (bool whole_only : {true, false}) {
      EmptyOutput();
      ShowPackage package(DefaultFileSystem());
      ASSERT_TRUE(package.OpenPackage(dir_.Join("meta.pkg"), false).ok());
      ExtractOptions options;
      options.whole_description_only = whole_only;
      ExtractReport report;
      ASSERT_TRUE(ExtractShow(package, out_, &report, {}, options));
      const bool written = c.intact && !whole_only;
      EXPECT_EQ(report.description.entry, "meta.xml") << c.what;
      EXPECT_EQ(report.description.intact, c.intact) << c.what;
      EXPECT_EQ(report.meta_damaged, !c.intact) << c.what;
      EXPECT_EQ(report.description_loads, c.loads) << c.what;
      EXPECT_EQ(report.meta_saved, written) << c.what;
      EXPECT_EQ(Listing().empty(), !written) << c.what;
    }
  }
}

}  // namespace

}  // namespace tavirelle
