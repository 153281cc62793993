#include "metaxml/stored_show.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavirelle {

namespace {

// One line per show: what the readers of a description rely on.
std::string Summary(const StoredShow& show) {
  std::string out = "title=" + show.title + " by=" + show.created_by + " starring=" +
                    show.starring + " icon=" + show.icon;
  for (const StoredImage& image : show.images) {
    out += " | " + image.online_filename + " file=" + image.file + " video=" + image.is_video +
           " rot=" + image.rotation + " caption=" + image.audio_caption;
    if (image.music) out += " music=" + image.music->file + "@" + image.music->volume;
    for (const StoredClip& clip : image.clips) {
      out += " clip=" + clip.file + "(" + clip.loc_x + "," + clip.loc_y + "," + clip.scale + ")";
    }
  }
  return out;
}

TEST(StoredShowTest, ReadsEveryFormAWriterUses) {
  const struct {
    const char* what;
    const char* text;
    const char* summary;
  } cases[] = {
      {"the generator's layout",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qx><show>"
       "<title><![CDATA[Summer+Trip+%26+Friends]]></title><createdby>A&#x2B;B</createdby>"
       "<starring>Me</starring><icon>show_icon.jpg</icon></show><images>"
       "<image onlineFilename=\"a.jpg\" file=\"C:\\a.jpg\" isVideo=\"0\" rotation=\"90\">"
       "<music file=\"song.mp3\" volume=\"40\"/><clips><clip file=\"star.swf\" locX=\"0.1\" "
       "locY=\"0.2\" scale=\"1.5\"/></clips></image></images></qx>",
       "title=Summer Trip & Friends by=A B starring=Me icon=show_icon.jpg | a.jpg "
       "file=C:\\a.jpg video=0 rot=90 caption= music=song.mp3@40 clip=star.swf(0.1,0.2,1.5)"},
      // Before, the pack check read a music file given as an element but no
      // clip file given so, and the player the other way round.
      {"values as child elements, which win over attributes",
       "<qx><show icon=\"attr.jpg\"><icon>elem.jpg</icon></show><images>"
       "<image onlineFilename=\"attr.jpg\"><onlineFilename>b.jpg</onlineFilename>"
       "<audioCaption><file>note.wav</file></audioCaption>"
       "<music><file>m.mp3</file></music>"
       "<clips><clip><file>c.png</file></clip></clips></image></images></qx>",
       "title= by= starring= icon=elem.jpg | b.jpg file= video= rot= caption=note.wav "
       "music=m.mp3@ clip=c.png(,,)"},
      {"an empty child element still wins",
       "<qx><images><image onlineFilename=\"a.jpg\"><onlineFilename/></image></images></qx>",
       "title= by= starring= icon= | "
       " file= video= rot= caption="},
      {"only image and clip elements count, in order",
       "<qx><images><video onlineFilename=\"v.jpg\"/><!-- <image onlineFilename=\"c.jpg\"/> -->"
       "<image onlineFilename=\"1.jpg\"><clips><clip file=\"x\"/><sticker file=\"y\"/>"
       "</clips></image><image onlineFilename=\"2.jpg\"/></images></qx>",
       "title= by= starring= icon= | 1.jpg file= video= rot= caption= clip=x(,,) | "
       "2.jpg file= video= rot= caption="},
      {"a show without its show element or images", "<qx/>",
       "title= by= starring= icon="},
  };
  for (const auto& c : cases) {
    StoredShow show;
    ASSERT_TRUE(ReadStoredShow(c.text, &show).ok()) << c.what;
    EXPECT_EQ(Summary(show), c.summary) << c.what;
  }
}

// Every reader refused these before; the player alone did not check that
// the text loaded, which no text here tells apart.
TEST(StoredShowTest, RefusesWhatIsNoShowAndLeavesNothingBehind) {
  for (const char* text : {"", "not xml at all", "<qx><images>", "<qx><show></qx>",
                           "<other><icon>x</icon></other>", "<?qx version=\"1\"?>"}) {
    StoredShow show;
    show.title = "left over";
    show.images.resize(1);
    Status read = ReadStoredShow(text, &show);
    EXPECT_EQ(read.code(), ERROR_INVALID_DATA) << text;
    EXPECT_EQ(Summary(show), "title= by= starring= icon=") << text;
  }
}

TEST(StoredShowTest, HeadScansAssumeTheGeneratorsLayout) {
  const std::string head =
      "<qx><show><title>A+%26+B</title><createdby><![CDATA[me]]></createdby>"
      "<icon>i.jpg</icon></show><images><image onlineFilename=\"a.jpg\"/>"
      "<image file=\"x\" onlineFilename=\"b.swf\"/><image onlineFilename=\"cut";
  ShowHead scanned = ScanShowHead(head);
  EXPECT_EQ(scanned.title, "A & B");
  EXPECT_EQ(scanned.created_by, "me");
  EXPECT_EQ(scanned.starring, "");
  EXPECT_EQ(scanned.icon, "i.jpg");

  size_t position = ImagesScanStart(head);
  std::string name;
  EXPECT_EQ(ScanNextImageName(head, &position, &name), ImageScan::kFound);
  EXPECT_EQ(name, "a.jpg");
  EXPECT_EQ(ScanNextImageName(head, &position, &name), ImageScan::kFound);
  EXPECT_EQ(name, "b.swf");
  EXPECT_EQ(ScanNextImageName(head, &position, &name), ImageScan::kCut);
  EXPECT_EQ(name, "b.swf");
  position = head.size();
  EXPECT_EQ(ScanNextImageName(head, &position, &name), ImageScan::kNone);
  EXPECT_EQ(ImagesScanStart("<image onlineFilename=\"a.jpg\"/>"), 0u);
}

TEST(StoredShowTest, FirstImageNeedsTheShowsFrame) {
  const struct {
    const char* text;
    std::optional<std::string> first;
  } cases[] = {
      {"<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>", "a.jpg"},
      {"<qx><show></show><image onlineFilename=\"a.jpg\"/><images></images></qx>", std::nullopt},
      {"<qx><show></show><images><image onlineFilename=\"\"/></images></qx>", ""},
      {"<qx><images><image onlineFilename=\"a.jpg\"/></images></qx>", std::nullopt},
      {"<qx><show></show><images><image onlineFilename=\"a.jpg", std::nullopt},
      {"<qx><show></show><images><image file=\"a.jpg\"/></images></qx>", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ScanFirstImageName(c.text), c.first) << c.text;
}

}  // namespace

}  // namespace tavirelle
