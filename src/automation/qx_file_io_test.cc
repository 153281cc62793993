#include "automation/qx_file_io.h"

#include <string>

#include "gtest/gtest.h"
#include "com/bstr.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "testing/fault_injecting_file_system.h"
#include "testing/temp_dir.h"
#include "testing/test_packages.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

ScopedBstr Ansi(const std::string& text) { return ScopedBstr(AnsiToWide(text)); }

class QXFileIOTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateQXFileIO(IQXFileIO::kIid, reinterpret_cast<void**>(&io_)), S_OK);
  }
  void TearDown() override {
    if (io_ != nullptr) io_->Release();
  }
  HRESULT OpenPackage(const std::vector<TestEntry>& entries) {
    std::string path = dir_.Join("show.pkg");
    EXPECT_TRUE(WriteTestPackage(path, entries));
    return io_->OpenDotTavirelle(Ansi(path).get(), 0);
  }
  void SetOutput(const std::string& folder) {
    io_->put_OutputPath(Ansi(folder).get());
  }
  std::string Read(const std::string& path) {
    std::string text;
    return ReadWholeFile(DefaultFileSystem(), path, &text).ok() ? text : "<missing>";
  }
  // A show folder with a description, a photo and its thumbnail.
  std::string MakeShowFolder() {
    std::string folder = dir_.Join("show/");
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "meta.xml",
                               "<qx><show><title>T</title></show><images>"
                               "<image onlineFilename=\"photo.jpg\"/></images></qx>")
                    .ok());
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), folder + "photo.jpg", std::string(70000, 'p')).ok());
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), folder + "__w133_h100_photo.jpg", "thumb").ok());
    return folder;
  }

  TempDir dir_;
  IQXFileIO* io_ = nullptr;
};

TEST_F(QXFileIOTest, CreatesTheInterfacesItServes) {
  IDispatch* dispatch = nullptr;
  EXPECT_EQ(io_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  ASSERT_NE(dispatch, nullptr);
  dispatch->Release();
  void* other = &dispatch;
  EXPECT_EQ(CreateQXFileIO(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(CreateQXFileIO(IQXFileIO::kIid, nullptr), E_POINTER);
}

TEST_F(QXFileIOTest, NullOutPointersAreRefused) {
  ASSERT_EQ(OpenPackage({{"meta.xml", "<qx/>"}}), S_OK);
  BSTR text = nullptr;
  EXPECT_EQ(io_->QuickGetShowInfo(nullptr, &text), E_FAIL);
  EXPECT_EQ(io_->QuickGetShowInfo(&text, nullptr), E_FAIL);
  EXPECT_EQ(io_->GetShowCode(nullptr), E_FAIL);
  EXPECT_EQ(io_->GetServerModTime(nullptr), E_FAIL);
  EXPECT_EQ(io_->GetLocalModified(nullptr), E_FAIL);
  EXPECT_EQ(io_->get_OutputPath(nullptr), E_POINTER);
  EXPECT_EQ(io_->GetMetaXml(nullptr), E_POINTER);
  EXPECT_EQ(io_->Utils_MakeLegalName(Ansi("a").get(), nullptr), E_POINTER);
  ScopedBstr target = Ansi(dir_.Join("never.pkg"));
  EXPECT_EQ(io_->WriteDotTavirelle(target.get(), Ansi(dir_.path()).get(), nullptr), E_POINTER);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("never.pkg")));
}

TEST_F(QXFileIOTest, QueriesOnAClosedPackageFail) {
  for (int opened = 0; opened < 2; ++opened) {
    if (opened == 1) {
      ASSERT_EQ(OpenPackage({{"meta.xml", "<qx/>"}}), S_OK);
      EXPECT_EQ(io_->CloseDotTavirelle(), S_OK);
    }
    ScopedBstr a, b;
    LONG flag = 7;
    EXPECT_EQ(io_->GenerateTavirelleData(), E_FAIL);
    EXPECT_EQ(io_->QuickGetShowInfo(a.Receive(), b.Receive()), E_FAIL);
    EXPECT_EQ(io_->GetShowCode(a.Receive()), E_FAIL);
    EXPECT_EQ(io_->GetServerModTime(a.Receive()), E_FAIL);
    EXPECT_EQ(io_->GetLocalModified(&flag), E_FAIL);
    EXPECT_EQ(flag, 7);
    EXPECT_EQ(io_->GetMetaXml(a.Receive()), E_FAIL);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(io_->CloseDotTavirelle(), S_OK);
  }
}

TEST_F(QXFileIOTest, OpenFailsForWhatIsNotAPackage) {
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("plain.txt"), "Tavirelle file, honest").ok());
  EXPECT_EQ(io_->OpenDotTavirelle(Ansi(dir_.Join("plain.txt")).get(), 0), E_FAIL);
  EXPECT_EQ(io_->OpenDotTavirelle(Ansi(dir_.Join("missing.pkg")).get(), 1), E_FAIL);
  EXPECT_EQ(io_->OpenDotTavirelle(nullptr, 0), E_FAIL);
}

TEST_F(QXFileIOTest, OutputPathIsStoredUnchanged) {
  ScopedBstr value;
  EXPECT_EQ(io_->get_OutputPath(value.Receive()), S_OK);
  ASSERT_NE(value.get(), nullptr);
  EXPECT_EQ(value.Ansi(), "");
  EXPECT_EQ(io_->put_OutputPath(Ansi("C:\\shows\\Caf\xE9").get()), S_OK);
  EXPECT_EQ(io_->get_OutputPath(value.Receive()), S_OK);
  EXPECT_EQ(BstrView(value.get()), u"C:\\shows\\Caf\u00E9");
  EXPECT_EQ(io_->put_OutputPath(nullptr), S_OK);
  EXPECT_EQ(io_->get_OutputPath(value.Receive()), S_OK);
  EXPECT_EQ(value.Ansi(), "");
}

TEST_F(QXFileIOTest, MetaXmlComesBackAsUtf16) {
  ASSERT_EQ(OpenPackage({{"meta.xml", "<qx><show><title>Caf\xC3\xA9 \xE2\x82\xAC</title>"
                                      "</show></qx>"}}),
            S_OK);
  ScopedBstr meta;
  EXPECT_EQ(io_->GetMetaXml(meta.Receive()), S_OK);
  EXPECT_EQ(BstrView(meta.get()), u"<qx><show><title>Caf\u00E9 \u20AC</title></show></qx>");
  ASSERT_EQ(OpenPackage({{"other.xml", "<x/>"}}), S_OK);
  EXPECT_EQ(io_->GetMetaXml(meta.Receive()), S_OK);
  EXPECT_EQ(meta.get(), nullptr);
}

TEST_F(QXFileIOTest, MakeLegalName) {
  ScopedBstr name;
  EXPECT_EQ(io_->Utils_MakeLegalName(Ansi("a/b:c").get(), name.Receive()), S_OK);
  EXPECT_EQ(name.Ansi(), "a b c");
  EXPECT_EQ(io_->Utils_MakeLegalName(nullptr, name.Receive()), S_OK);
  EXPECT_EQ(name.Ansi(), "");
}

TEST_F(QXFileIOTest, ShowQueriesAndIconSave) {
  ASSERT_EQ(OpenPackage({{"meta.xml", "<qx><show><title>Caf&#xE9;&#x21;</title>"
                                      "<icon>w133\\h100\\i.jpg</icon></show></qx>"},
                         {"w133\\h100\\i.jpg", "icon bytes"},
                         {"onlineInfo.xml", "<onlineInfo><showCode> S1 </showCode>"
                                            "<modTime>T</modTime></onlineInfo>"},
                         {"localInfo.xml", "<localInfo><localModified>True</localModified>"
                                           "</localInfo>"}}),
            S_OK);
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  SetOutput(out);
  ScopedBstr icon, title, code, time;
  LONG modified = 0;
  // The icon's subfolders are the host's to make: without them the icon is
  // not saved, which the method does not tell.
  EXPECT_EQ(io_->QuickGetShowInfo(icon.Receive(), title.Receive()), S_OK);
  EXPECT_FALSE(FolderExists(DefaultFileSystem(), out + "w133"));
  ASSERT_TRUE(CreateFolderPath(DefaultFileSystem(), out + "w133\\h100\\").ok());
  EXPECT_EQ(io_->QuickGetShowInfo(icon.Receive(), title.Receive()), S_OK);
  EXPECT_EQ(icon.Ansi(), "w133\\h100\\i.jpg");
  EXPECT_EQ(BstrView(title.get()), u"Caf\u00E9!");
  EXPECT_EQ(Read(out + "w133/h100/i.jpg"), "icon bytes");
  EXPECT_EQ(io_->GetShowCode(code.Receive()), S_OK);
  EXPECT_EQ(code.Ansi(), "S1");
  EXPECT_EQ(io_->GetServerModTime(time.Receive()), S_OK);
  EXPECT_EQ(time.Ansi(), "T");
  EXPECT_EQ(io_->GetLocalModified(&modified), S_OK);
  EXPECT_EQ(modified, 1);
}

TEST_F(QXFileIOTest, IconOutsideTheOutputFolderIsNotSaved) {
  ASSERT_EQ(OpenPackage({{"meta.xml", "<qx><show><title>T</title><icon>..\\evil.jpg</icon>"
                                      "</show></qx>"},
                         {"..\\evil.jpg", "evil"}}),
            S_OK);
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  SetOutput(out);
  ScopedBstr icon, title;
  EXPECT_EQ(io_->QuickGetShowInfo(icon.Receive(), title.Receive()), S_OK);
  EXPECT_EQ(icon.Ansi(), "..\\evil.jpg");
  EXPECT_EQ(title.Ansi(), "T");
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("evil.jpg")));
}

TEST_F(QXFileIOTest, PackageWithoutDescriptionGivesEmptyInfo) {
  ASSERT_EQ(OpenPackage({{"a.jpg", "x"}}), S_OK);
  ScopedBstr icon, title, code;
  EXPECT_EQ(io_->QuickGetShowInfo(icon.Receive(), title.Receive()), S_OK);
  ASSERT_NE(icon.get(), nullptr);
  EXPECT_EQ(icon.Ansi(), "");
  EXPECT_EQ(title.Ansi(), "");
  EXPECT_EQ(io_->GetShowCode(code.Receive()), S_OK);
  ASSERT_NE(code.get(), nullptr);
  EXPECT_EQ(code.Ansi(), "");
}

TEST_F(QXFileIOTest, WritesPackagesUnderUniqueNamesAndExtractsThem) {
  std::string folder = MakeShowFolder();
  ScopedBstr target = Ansi(dir_.Join("My Show.PKG"));
  ScopedBstr first, second;
  ASSERT_EQ(io_->WriteDotTavirelle(target.get(), Ansi(folder).get(), first.Receive()), S_OK);
  EXPECT_EQ(first.Ansi(), dir_.Join("My Show.PKG"));
  ASSERT_EQ(io_->WriteDotTavirelle(target.get(), Ansi(folder).get(), second.Receive()), S_OK);
  EXPECT_EQ(second.Ansi(), dir_.Join("My Show (2).pkg"));

  ASSERT_EQ(io_->OpenDotTavirelle(second.get(), 1), S_OK);
  std::string out = dir_.Join("out/");
  ASSERT_TRUE(DefaultFileSystem().CreateDirectory(out).ok());
  SetOutput(out);
  EXPECT_EQ(io_->GenerateTavirelleData(), S_OK);
  EXPECT_EQ(Read(out + "photo.jpg"), std::string(70000, 'p'));
  EXPECT_EQ(Read(out + "meta.xml"), Read(folder + "meta.xml"));
  // The output folder is the host's to make; a failure comes back as the
  // platform's code.
  SetOutput(dir_.Join("missing/"));
  EXPECT_EQ(io_->GenerateTavirelleData(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(FolderExists(DefaultFileSystem(), dir_.Join("missing/")));
}

// Texts a host hands over end at their first NUL; a text the code page
// cannot hold is refused and changes nothing, be it a name or a folder.
TEST_F(QXFileIOTest, TextArgumentsEndAtANulAndRefuseWhatTheCodePageLacks) {
  const HRESULT kNoTranslation = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  std::string folder = MakeShowFolder();
  auto with_tail = [](const std::string& text, const std::u16string& tail) {
    return ScopedBstr(AnsiToWide(text) + tail);
  };
  const std::u16string nul_tail(u"\0junk", 5), foreign = u"\u590F\u5929";

  ScopedBstr exact;
  EXPECT_EQ(io_->WriteDotTavirelle(with_tail(dir_.Join("a.pkg"), nul_tail).get(),
                                   with_tail(folder, nul_tail).get(), exact.Receive()),
            S_OK);
  EXPECT_EQ(BstrView(exact.get()), AnsiToWide(dir_.Join("a.pkg")));
  EXPECT_EQ(io_->WriteDotTavirelle(with_tail(dir_.Join("b"), foreign).get(),
                                   Ansi(folder).get(), exact.Receive()),
            kNoTranslation);
  EXPECT_EQ(io_->WriteDotTavirelle(Ansi(dir_.Join("c.pkg")).get(),
                                   with_tail(folder, foreign).get(), exact.Receive()),
            kNoTranslation);
  EXPECT_EQ(exact.get(), nullptr);
  EXPECT_FALSE(PathExists(DefaultFileSystem(), dir_.Join("c.pkg")));

  ASSERT_EQ(io_->OpenDotTavirelle(with_tail(dir_.Join("a.pkg"), nul_tail).get(), 0), S_OK);
  // A refused name leaves the open package open.
  EXPECT_EQ(io_->OpenDotTavirelle(with_tail(dir_.Join("a"), foreign).get(), 0), kNoTranslation);
  ScopedBstr code;
  EXPECT_EQ(io_->GetShowCode(code.Receive()), S_OK);

  SetOutput(dir_.Join("out/"));
  EXPECT_EQ(io_->put_OutputPath(with_tail(dir_.Join("x/"), foreign).get()), kNoTranslation);
  EXPECT_EQ(io_->put_OutputPath(with_tail(dir_.Join("out/"), nul_tail).get()), S_OK);
  ScopedBstr output;
  EXPECT_EQ(io_->get_OutputPath(output.Receive()), S_OK);
  EXPECT_EQ(output.Ansi(), dir_.Join("out/"));

  ScopedBstr legal;
  EXPECT_EQ(io_->Utils_MakeLegalName(with_tail("a/b", nul_tail).get(), legal.Receive()), S_OK);
  EXPECT_EQ(legal.Ansi(), "a b");
  EXPECT_EQ(io_->Utils_MakeLegalName(with_tail("a", foreign).get(), legal.Receive()),
            kNoTranslation);
  EXPECT_EQ(legal.get(), nullptr);
}

// An empty name or folder names nothing to write, rather than a package
// that "already exists".
TEST_F(QXFileIOTest, WritingWithAnEmptyNameOrFolderIsAnInvalidArgument) {
  std::string folder = MakeShowFolder();
  std::string target = dir_.Join("t.pkg");
  const struct {
    const char* what;
    ScopedBstr name, data;
  } cases[] = {{"both null", ScopedBstr(), ScopedBstr()},
               {"both empty", ScopedBstr(u""), ScopedBstr(u"")},
               {"no name", ScopedBstr(u""), Ansi(folder)},
               {"no folder", Ansi(target), ScopedBstr()},
               {"a name that ends at once", ScopedBstr(std::u16string(u"\0t.pkg", 6)),
                Ansi(folder)}};
  for (const auto& c : cases) {
    ScopedBstr exact;
    EXPECT_EQ(io_->WriteDotTavirelle(c.name.get(), c.data.get(), exact.Receive()), E_INVALIDARG)
        << c.what;
    EXPECT_EQ(exact.get(), nullptr) << c.what;
  }
  EXPECT_FALSE(PathExists(DefaultFileSystem(), target));
}

TEST_F(QXFileIOTest, WriteFailuresGiveThePlatformErrors) {
  std::string folder = MakeShowFolder();
  struct Case {
    const char* what;
    void (*arrange)(FaultInjectingFileSystem&);
    HRESULT expected;
    bool file_left;
  } cases[] = {
      {"disk full", [](FaultInjectingFileSystem& fs) { fs.SetDiskFullAfter(100); },
       static_cast<HRESULT>(0x80070070), false},
      {"write protected", [](FaultInjectingFileSystem& fs) { fs.SetWriteProtected(true); },
       static_cast<HRESULT>(0x80070013), false},
      {"access denied", [](FaultInjectingFileSystem& fs) { fs.DenyAccess("target"); },
       static_cast<HRESULT>(0x80070005), false},
  };
  for (const Case& c : cases) {
    std::string target = dir_.Join("target.pkg");
    ScopedBstr exact;
    HRESULT status;
    {
      FaultInjectingFileSystem fs;
      c.arrange(fs);
      CQXFileIO* io = new CQXFileIO(fs);  // starts with one reference
      status = io->WriteDotTavirelle(Ansi(target).get(), Ansi(folder).get(), exact.Receive());
      io->Release();
    }
    EXPECT_EQ(status, c.expected) << c.what;
    EXPECT_EQ(exact.get(), nullptr) << c.what;
    EXPECT_EQ(PathExists(DefaultFileSystem(), target), c.file_left) << c.what;
  }
}

}  // namespace

}  // namespace tavirelle
