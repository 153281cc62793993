#include "metaxml/meta_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "xml/encoding.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

const std::string kMeta =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx>\n\t<show>\n"
    "\t\t<title><![CDATA[Caf&#xE9;&#x21;]]></title>\n\t\t<createdby>A+B</createdby>\n"
    "\t\t<icon>show_icon.jpg</icon>\n\t</show>\n</qx>";

TEST(MetaTextTest, CutsOutElementsByName) {
  std::string show = ExtractElementText(kMeta, "show");
  EXPECT_EQ(show.find("\n\t\t<title>"), 0u);
  EXPECT_EQ(ExtractElementText(show, "icon"), "show_icon.jpg");
  EXPECT_EQ(StripCData(ExtractElementText(show, "title")), "Caf&#xE9;&#x21;");
  EXPECT_EQ(DecodeUrlText(StripCData(ExtractElementText(show, "title"))), "Caf\xE9!");
  EXPECT_EQ(DecodeUrlText(ExtractElementText(show, "createdby")), "A B");
  EXPECT_EQ(ExtractElementText(show, "starring"), "");
  EXPECT_EQ(ExtractElementText("<title>no end", "title"), "");
  EXPECT_EQ(ExtractElementText("<title", "title"), "");
}

TEST(MetaTextTest, ANameAlsoMatchesLongerTagNames) {
  // "title" finds the start tag "titles" first and runs to the next "</title>".
  EXPECT_EQ(ExtractElementText("<titles>a</titles><title>b</title>", "title"),
            "a</titles><title>b");
}

TEST(MetaTextTest, AnEmptyElementRunsToTheNextEndTagOfItsName) {
  EXPECT_EQ(ExtractElementText("<icon/><x>1</x><icon>i.jpg</icon>", "icon"),
            "<x>1</x><icon>i.jpg");
  EXPECT_EQ(ExtractElementText("<icon/><x>1</x>", "icon"), "");
}

TEST(MetaTextTest, PositionIsAnInOutSearchStart) {
  const std::string text = "<a>1</a><a>2</a>";
  int32_t position = -1;
  EXPECT_EQ(ExtractElementText(text, "a", &position), "1");
  EXPECT_EQ(position, 0);
  position = 1;
  EXPECT_EQ(ExtractElementText(text, "a", &position), "2");
  EXPECT_EQ(position, 8);
  position = 9;
  EXPECT_EQ(ExtractElementText(text, "a", &position), "");
  EXPECT_EQ(position, -1);
  position = 1000;
  EXPECT_EQ(ExtractElementText(text, "a", &position), "");
  EXPECT_EQ(position, -1);
}

TEST(MetaTextTest, StripCDataOnlyAtBothEnds) {
  EXPECT_EQ(StripCData("<![CDATA[x]]>"), "x");
  EXPECT_EQ(StripCData("![CDATA[x]]"), "x");
  EXPECT_EQ(StripCData("<![CDATA[]]>"), "");
  EXPECT_EQ(StripCData("<![CDATA[x"), "<![CDATA[x");
  EXPECT_EQ(StripCData("<![CDATA[x]]"), "<![CDATA[x]]");
  EXPECT_EQ(StripCData("<![cdata[x]]>"), "<![cdata[x]]>");
  EXPECT_EQ(StripCData(" <![CDATA[x]]>"), " <![CDATA[x]]>");
  EXPECT_EQ(StripCData("plain"), "plain");
}

TEST(MetaTextTest, DecodeUrlText) {
  const struct {
    const char* stored;
    const char* text;
  } cases[] = {
      {"%41+b", "A b"},
      {"%4a%4A", "JJ"},
      {"50%", "50%"},
      {"50%4", "50%4"},
      {"%zz", "%zz"},
      {"%00", "%00"},
      {"%2B", "+"},  // one pass: the decoded "+" stays
      {"a&nbsp;b", "a b"},
      {"&apos;&quot;&lt;&gt;&frasl;", "'\"<>/"},
      {"&amp;lt;", "<"},  // "&amp;" goes before "&lt;"
      {"%26lt;", "<"},    // the form decoding goes before the entities
      // Numeric references come first: they are the XML writer's, not the
      // stored text's, so what they make is form-decoded and nothing after
      // the form decoding turns into one.
      {"Summer&#x2B;Trip", "Summer Trip"},
      {"&#x25;41&#x25;2B", "A+"},
      {"&amp;#x41;", "&#x41;"},
      {"%26#x41;", "&#x41;"},
      {"Caf&#xE9;&#x21;", "Caf\xE9!"},
      {"&#233;&#00065;&#x20AC;&#x20ac;", "\xE9" "A\x80\x80"},
      {"&#x4E2D;&#0;&#x0;&#65601;", "&#x4E2D;&#0;&#x0;&#65601;"},
      {"&#x12345;&#123456;&#X41;&#x;&#;&#x41", "&#x12345;&#123456;&#X41;&#x;&#;&#x41"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUrlText(c.stored), c.text) << c.stored;
}

// Show texts as they stand in meta.xml files: form-encoded by their host,
// inside CDATA or written by our XML writer outside it.
TEST(MetaTextTest, DecodeShowTextReadsEveryStoredForm) {
  const struct {
    const char* stored;
    const char* text;
  } cases[] = {
      {"<![CDATA[Summer+Trip+%26+Friends]]>", "Summer Trip & Friends"},
      {"Summer+Trip+%26+Friends", "Summer Trip & Friends"},
      {"Summer&#x2B;Trip", "Summer Trip"},
      {"<![CDATA[Summer&#x2B;Trip]]>", "Summer Trip"},
      {"100&#x25;25 &#x25;2B more", "100% + more"},
      {"<![CDATA[Caf\xE9%21]]>", "Caf\xE9!"},
      {"Caf&#xE9;&#x21;", "Caf\xE9!"},
      {"Tom &amp; Jerry", "Tom & Jerry"},
      {"<![CDATA[%3Cb%3E %5D%5D%3E]]>", "<b> ]]>"},
      {"<![CDATA[]]>", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeShowText(c.stored), c.text) << c.stored;
}

// Whatever a person types comes back through the host's encoding, the
// generator's quoting and the XML writer (CDATA or not), except a spelled
// entity name, which is the one documented limit.
TEST(MetaTextTest, TypedTextsComeBackThroughEveryStoredForm) {
  const std::string typed[] = {"Tom & Jerry ]]> the sequel", "100% + more", "Caf\xE9!",
                               "<b>bold</b>",           "a+b=c",       "%41 %2B %%",
                               "\xDC" "n\xEF" "c\xF8" "d\xE9", " \"quoted\" 'single' ",
                               "<![CDATA[x]]>"};
  for (const std::string& text : typed) {
    std::string stored = QuoteShowTextMarkup(EncodeTypedShowText(text));
    EXPECT_EQ(stored.find_first_of("<>&]"), std::string::npos) << stored;
    EXPECT_EQ(DecodeShowText("<![CDATA[" + stored + "]]>"), text);
    EXPECT_EQ(DecodeShowText(stored), text);
    for (bool as_cdata : {false, true}) {
      XmlDocument document;
      document.AddChild("title", stored.c_str(), as_cdata);
      std::string written = Utf8ToAnsi(document.DocumentText());
      EXPECT_EQ(DecodeShowText(ExtractElementText(written, "title")), text) << written;
    }
  }
  // A host that form-encodes everything passes nothing the quoting changes.
  EXPECT_EQ(QuoteShowTextMarkup("Summer+Trip+%26+Friends%5D"), "Summer+Trip+%26+Friends%5D");
  EXPECT_EQ(DecodeShowText(QuoteShowTextMarkup(EncodeTypedShowText("&lt;"))), "<");
}

}  // namespace

}  // namespace tavirelle
