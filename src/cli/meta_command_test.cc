#include "package/show_package.h"
#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"
#include "testing/test_packages.h"

namespace tavirelle {

namespace {

TEST_F(ShowCommandTest, MetaPrintsTheDescriptionUnchanged) {
  std::string package = PackShow();
  CommandRun run = Tavirelle("meta " + Quoted(package));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, meta_);
}

TEST_F(ShowCommandTest, PackagesThatDoNotOpenSayWhy) {
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("notes.txt"), "just some text, long enough")
          .ok());
  ASSERT_TRUE(
      WriteWholeFile(DefaultFileSystem(), dir_.Join("cut.pkg"),
                     std::string("\x4B\x01\x0E\x00Tavirelle File\x4C\x02\xFF\xFF\xFF\xFF", 24))
          .ok());
  const struct {
    std::string file, reason;
  } cases[] = {
      {dir_.Join("notes.txt"), "not a package"},
      {dir_.Join("cut.pkg"), "unfinished"},
      {dir_.Join("missing.pkg"), ""},
  };
  for (const char* command : {"meta", "info", "extract"}) {
    for (const auto& c : cases) {
      std::string arguments = std::string(command) + " " + Quoted(c.file);
      if (std::string(command) == "extract") arguments += " " + Quoted(dir_.Join("out"));
      CommandRun run = Tavirelle(arguments);
      EXPECT_EQ(run.status, 1) << arguments;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
      EXPECT_NE(run.err.find(c.file + ": " + c.reason), std::string::npos) << run.err;
    }
  }
}

// The whole road of a show made with the default style: when a newer
// meta.xml turns out broken, `meta` recovers the authored description from
// the package and writes it back as the current one.
TEST_F(ShowCommandTest, MetaRecoversAnAuthoredShowFromABrokenNewerDescription) {
  std::string photo = dir_.Join("a.jpg");
  ASSERT_TRUE(WriteWholeFile(DefaultFileSystem(), photo, testing_images::EncodeJpeg(64, 48)).ok());
  std::string show = dir_.Join("show");
  CommandRun run = Tavirelle("author --out " + Quoted(show) + " --title Summer " + Quoted(photo));
  ASSERT_EQ(run.status, 0) << run.err;
  std::string authored = Read(show + "/meta.xml");
  std::string package = dir_.Join("show.pkg");
  ASSERT_EQ(Tavirelle("pack " + Quoted(show) + " " + Quoted(package)).status, 0);

  // A newer description, cut off while it was written, appended with a new
  // directory as an update of the package would.
  {
    ShowPackage writer(DefaultFileSystem());
    ASSERT_TRUE(writer.OpenPackage(package, false).ok());
    std::string broken = authored.substr(0, authored.size() / 2);
    writer.StorePending("meta.xml", broken.data(), static_cast<uint32_t>(broken.size()));
    ASSERT_TRUE(writer.CommitPending().ok());
  }

  run = Tavirelle("meta " + Quoted(package));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, authored);
  EXPECT_EQ(run.err, "");
  // Repaired: the current description is the authored one, and reading it
  // again changes nothing.
  std::string repaired = Read(package);
  run = Tavirelle("meta " + Quoted(package));
  EXPECT_EQ(run.out, authored);
  EXPECT_TRUE(Read(package) == repaired);
  ShowPackage reader(DefaultFileSystem());
  ASSERT_TRUE(reader.OpenPackage(package, false).ok());
  EXPECT_EQ(reader.ReadEntryText("meta.xml"), authored);
  EXPECT_EQ(reader.ReadEntryText("meta.xml.0"), authored);
  EXPECT_EQ(reader.ReadEntryText("meta.xml.1"), authored.substr(0, authored.size() / 2));
}

TEST_F(ShowCommandTest, MetaFailsWhenNoUsableDescriptionExists) {
  const std::string frame =
      "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  const struct {
    std::vector<TestEntry> entries;
    const char* reason;
  } cases[] = {
      {{{"a.jpg", "A"}, {"meta.xml", "<qx><show>cut"}}, "no usable show description"},
      {{{"b.jpg", "B"}, {"meta.xml", frame}}, "no usable show description"},
      {{{"a.jpg", "A"}, {"meta.xml.0", "<qx"}, {"meta.xml", "<q"}}, "no usable show description"},
      {{{"a.jpg", "A"}}, "the package holds no meta.xml"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteTestPackage(dir_.Join("p.pkg"), c.entries));
    std::string before = Read(dir_.Join("p.pkg"));
    CommandRun run = Tavirelle("meta " + Quoted(dir_.Join("p.pkg")));
    EXPECT_EQ(run.status, 1) << c.reason;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tavirelle: " + dir_.Join("p.pkg") + ": " + c.reason +
                           (std::string(c.reason) == "no usable show description"
                                ? ": meta.xml and every older version are missing, broken or "
                                  "name no photo of the package\n"
                                : "\n"));
    EXPECT_TRUE(Read(dir_.Join("p.pkg")) == before);
  }
}

}  // namespace

}  // namespace tavirelle
