// Crash safety of regenerating a show's meta.xml, a file other programs read
// and that holds the user's last saved show: with every operation failing
// in turn, the file must hold either the previous text or the complete new
// one, never a cut-off or empty one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "metaxml/meta_xml_generator.h"
#include "com/bstr.h"
#include "testing/fault_injecting_file_system.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "show/photo_desc.h"
#include "show/qx_helper.h"
#include "testing/temp_dir.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

class MetaXmlCrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    ASSERT_EQ(::chdir(work_.path().c_str()), 0);
    out_ = work_.Join("out/");
    ASSERT_TRUE(RealFileSystem()->CreateDirectory(out_));
    template_ = "metaxml_crash_" + NewGuidText(false) + ".xml";
    ASSERT_TRUE(SaveTextToFile(HostFolder() + template_,
                               "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><qx><show><title>"
                               "%SHOW_TITLE%</title></show><images><image/></images></qx>"));
    ASSERT_TRUE(SaveTextToFile(work_.Join("config.xml"),
                               "<config><templates><test>" + template_ +
                                   "</test></templates></config>"));
    show_ = new CQXHelper();
    SetText(&CQXHelper::put_OutputPath, out_);
    SetText(&CQXHelper::put_StyleId, "test");
    // Without photos there is no meta.xml to write.
    auto* photo = new CPhotoDesc();
    ScopedBstr name(BstrFromAnsi("a.jpg"));
    photo->put__OnlineName(name.get());
    show_->AppendPhoto(photo);
    photo->Release();
  }
  void TearDown() override {
    show_->Release();
    RealFileSystem()->DeleteFile(HostFolder() + template_);
    ASSERT_EQ(::chdir(old_cwd_.c_str()), 0);
  }

  void SetText(HRESULT (CQXHelper::*setter)(BSTR), const std::string& ansi) {
    ScopedBstr value(BstrFromAnsi(ansi));
    ASSERT_EQ((show_->*setter)(value.get()), S_OK);
  }
  std::string MetaXml() {
    std::string text;
    ScopedFileSystem real(RealFileSystem());
    if (!ReadWholeFile(out_ + "meta.xml", &text)) return "<none>";
    return text;
  }

  TempDir work_;
  std::string old_cwd_;
  std::string out_;
  std::string template_;
  CQXHelper* show_ = nullptr;
};

// meta.xml is written to a new file that then replaces the old one, so a
// failure at any point leaves the previous show or the new one, never a cut
// text, and no scratch file behind.
TEST_F(MetaXmlCrashSafety, EveryOperationFailingInTurnKeepsOldOrNewText) {
  SetText(&CQXHelper::put_Title, "Old title");
  ASSERT_EQ(show_->GenerateMetaXML(), S_OK);
  const std::string old_text = MetaXml();
  ASSERT_NE(old_text.find("Old title"), std::string::npos) << old_text;

  FaultInjectingFileSystem faulty;
  SetText(&CQXHelper::put_Title, "New title");
  {
    ScopedFileSystem scope(&faulty);
    ASSERT_EQ(show_->GenerateMetaXML(), S_OK);
  }
  const uint64_t total = faulty.operations();
  const std::string new_text = MetaXml();
  ASSERT_NE(new_text.find("New title"), std::string::npos);
  ASSERT_GT(total, 3u);

  for (uint64_t n = 1; n <= total + 1; ++n) {
    ASSERT_TRUE(WriteWholeFile(out_ + "meta.xml", old_text));
    SetText(&CQXHelper::put_Title, "Old title");
    SetText(&CQXHelper::put_Title, "New title");
    ASSERT_TRUE(show_->show_changed());
    faulty.Reset();
    faulty.FailOperation(n, ERROR_DISK_FULL);
    {
      ScopedFileSystem scope(&faulty);
      show_->GenerateMetaXML();
    }
    std::string now = MetaXml();
    EXPECT_TRUE(now == old_text || now == new_text)
        << "operation " << n << " of " << total << " left " << now.size() << " bytes";
    std::vector<FindData> scratch;
    EXPECT_FALSE(RealFileSystem()->Find(out_ + "meta.xml.~*", &scratch)) << "operation " << n;
  }
}

}  // namespace

}  // namespace tavirelle
