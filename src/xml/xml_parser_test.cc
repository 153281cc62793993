// Loading text into a document: encodings, the tree it builds, its quirks,
// its errors and the nesting limit.
#include <pthread.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "xml/xml_document.h"

namespace tavirelle {

namespace {

// The root element after a load (the document's last child).
XmlNode* Root(XmlDocument& document) {
  return document.ChildAt(document.ChildCount() - 1);
}

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<a>";
  for (int i = 0; i < depth; ++i) text += "</a>";
  return text;
}

TEST(XmlParserTest, ReadsElementsAttributesAndText) {
  XmlDocument document;
  ASSERT_TRUE(document
                  .LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<qx a=\"1\" b='two' c=3 d e = \"5\">\n"
                            "  <images>\n    <image file=\"x.jpg\"/>\n  </images>\n"
                            "  <title>Hello &amp; bye</title>\n</qx>")
                  .ok());
  ASSERT_EQ(document.ChildCount(), 2);
  XmlNode* qx = Root(document);
  EXPECT_EQ(qx->name, "qx");
  ASSERT_EQ(qx->attributes.size(), 5u);
  const char* names[] = {"a", "b", "c", "d", "e"};
  const char* values[] = {"1", "two", "3", "", "5"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(qx->attributes[i]->name, names[i]);
    EXPECT_EQ(qx->attributes[i]->value, values[i]);
    EXPECT_EQ(qx->attributes[i]->parent, qx);
  }
  ASSERT_EQ(qx->ChildCount(), 2);
  EXPECT_EQ(qx->FindChild("images")->FindChild("image")->AttrText("file"), "x.jpg");
  EXPECT_EQ(qx->ChildText("title"), "Hello & bye");
  EXPECT_EQ(qx->FindChild("images")->document, &document);
  // Each blank run replaces the one before; none is written out.
  EXPECT_EQ(qx->value, "\n");
}

TEST(XmlParserTest, RoundTripsThroughTheWriter) {
  const char* text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx style=\"a&amp;b\" >\n"
      "\t<show>\n\t\t<title><![CDATA[My <show>]]></title>\n\t\t<icon>i.jpg</icon>\n\t</show>"
      "<!-- generated -->\n\t<images>\n\t\t<image file=\"a.jpg\" n=\"caf&#xE9;&#x21;\" />\n"
      "\t\t<image file=\"b.jpg\" >\n\t\t\t<clips>\n\t\t\t\t<clip locX=\"0.500000\" />\n"
      "\t\t\t</clips>\n\t\t</image>\n\t</images>\n</qx>";
  XmlDocument first;
  ASSERT_TRUE(first.LoadText(text).ok());
  std::string written = first.DocumentText();
  EXPECT_EQ(written, text);
  XmlDocument second;
  ASSERT_TRUE(second.LoadText(written).ok());
  EXPECT_EQ(second.DocumentText(), written);
  EXPECT_EQ(Root(second)->FindChild("images")->ChildAt(0)->AttrText("n"), "caf\xE9!");
}

struct EncodingCase {
  const char* name;
  std::string text;
  std::string value;     // the root's text after loading
  std::string encoding;  // the declaration's encoding after loading
};

class EncodingDetectionTest : public testing::TestWithParam<EncodingCase> {};

TEST_P(EncodingDetectionTest, ConvertsFromUtf8UnlessAnotherEncodingIsDeclared) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadText(GetParam().text).ok());
  EXPECT_EQ(Root(document)->value, GetParam().value);
  EXPECT_EQ(document.Declaration()->AttrText("encoding"), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, EncodingDetectionTest,
    testing::Values(
        EncodingCase{"DeclaredUtf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>caf\xC3\xA9</r>",
                     "caf\xE9", "UTF-8"},
        EncodingCase{"Undeclared", "<r>caf\xC3\xA9</r>", "caf\xE9", "UTF-8"},
        EncodingCase{"DeclarationWithoutEncoding", "<?xml version=\"1.0\"?><r>\xE2\x82\xAC</r>",
                     "\x80", "UTF-8"},
        EncodingCase{"LowerCaseUtf8",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xC3\xA9</r>", "caf\xC3\xA9",
                     "utf-8"},
        EncodingCase{"BomAndLowerCaseUtf8",
                     "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xC3\xA9</r>",
                     "caf\xE9", "UTF-8"},
        EncodingCase{"Latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xE9</r>",
                     "caf\xE9", "ISO-8859-1"},
        EncodingCase{"IllFormedUtf8", "<r>a\xE9z</r>", "a?z", "UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlParserTest, LoadTextReadsUtf8TellsWhetherTheTextIsConverted) {
  EXPECT_TRUE(LoadTextReadsUtf8("<r/>"));
  EXPECT_TRUE(LoadTextReadsUtf8(""));
  EXPECT_TRUE(LoadTextReadsUtf8(" <?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"));
  EXPECT_TRUE(LoadTextReadsUtf8("<?xml version=\"1.0\"?><r/>"));
  EXPECT_TRUE(LoadTextReadsUtf8("\xEF\xBB\xBF<?xml encoding=\"latin1\"?><r/>"));
  EXPECT_FALSE(LoadTextReadsUtf8("<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>"));
  EXPECT_FALSE(LoadTextReadsUtf8("<?xml encoding='windows-1252'?><r/>"));
}

TEST(XmlParserTest, DeclarationsRewriteTheOneDeclarationNode) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadText("<?XML version=\"1.1\" standalone=\"yes\"?><r/>").ok());
  ASSERT_EQ(document.ChildCount(), 2);
  XmlNode* declaration = document.ChildAt(0);
  EXPECT_EQ(declaration->name, "XML");
  // A declaration without an encoding keeps the one the document had.
  EXPECT_EQ(document.DocumentText(),
            "<?XML version=\"1.1\" standalone=\"yes\" encoding=\"UTF-8\" ?>\n<r/>");
  // One inside an element rewrites it too.
  ASSERT_TRUE(document.LoadText("<r><?pi encoding=\"X\"?><b/></r>").ok());
  EXPECT_EQ(document.ChildAt(0)->name, "pi");
  EXPECT_EQ(document.ChildAt(0)->attributes.size(), 1u);
  // The text was converted from UTF-8, so the declaration says so afterwards.
  EXPECT_EQ(document.ChildAt(0)->AttrText("encoding"), "UTF-8");
  // Loading again appends another root.
  EXPECT_EQ(document.ChildCount(), 3);
}

TEST(XmlParserTest, CommentsAndCDataFindTheirPlace) {
  XmlDocument document;
  ASSERT_TRUE(
      document
          .LoadText(
              "<!-- before --><![cdata[top]]>\n<r><!--in--><t><![CDATA[a &amp; <b>]]></t>text</r>"
              "<!--after-->")
          .ok());
  ASSERT_EQ(document.ChildCount(), 5);
  EXPECT_EQ(document.ChildAt(1)->kind, XMLNodeKind::Comment);
  EXPECT_EQ(document.ChildAt(1)->value, " before ");
  EXPECT_EQ(document.ChildAt(2)->kind, XMLNodeKind::CData);
  EXPECT_EQ(document.ChildAt(2)->value, "top");
  EXPECT_EQ(document.ChildAt(3)->name, "r");
  EXPECT_EQ(document.ChildAt(4)->kind, XMLNodeKind::Comment);
  EXPECT_EQ(document.ChildAt(4)->value, "after");
  XmlNode* r = document.ChildAt(3);
  ASSERT_EQ(r->ChildCount(), 2);
  EXPECT_EQ(r->ChildAt(0)->kind, XMLNodeKind::Comment);
  EXPECT_EQ(r->ChildAt(0)->name, "#COMMENT");
  EXPECT_EQ(r->ChildAt(0)->parent, r);
  bool isCData = false;
  EXPECT_EQ(r->FindChild("t")->Text(&isCData), "a &amp; <b>");
  EXPECT_TRUE(isCData);
  EXPECT_EQ(r->value, "text");
}

TEST(XmlParserTest, PassesOverDocumentTypesAndStrayTextBeforeTheRoot) {
  XmlDocument document;
  ASSERT_TRUE(
      document
          .LoadText(
              "<?xml version=\"1.0\"?>\n<!DOCTYPE qx [ <!ENTITY a \"b\"> ]>\nstray <qx><a/></qx>")
          .ok());
  ASSERT_EQ(document.ChildCount(), 2);
  EXPECT_EQ(Root(document)->name, "qx");
  EXPECT_EQ(Root(document)->ChildCount(), 1);
}

TEST(XmlParserTest, KeepsTheFirstNonBlankRunOfCharacterData) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadText("<r> <a/> first <b/> second </r>").ok());
  EXPECT_EQ(Root(document)->value, " first ");
  EXPECT_EQ(Root(document)->ChildCount(), 2);
}

TEST(XmlParserTest, EntitiesAreDecodedOnceAndLearned) {
  XmlDocument document;
  size_t before = document.parseOptions.entities.size();
  ASSERT_TRUE(document
                  .LoadText("<r a=\"&#233;&#233;&#X41;\">&amp;lt; &#x41;&#00065; &#x000041; "
                            "&#123456; &bogus;</r>")
                  .ok());
  EXPECT_EQ(Root(document)->value, "&lt; AA &#x000041; &#123456; &bogus;");
  EXPECT_EQ(Root(document)->AttrText("a"), "\xE9\xE9&#X41;");
  EXPECT_EQ(document.parseOptions.entities.size(), before + 3);
}

TEST(XmlParserTest, OptionsChangeHowTextIsRead) {
  XmlDocument trimmed;
  trimmed.parseOptions.trimText = true;
  ASSERT_TRUE(trimmed.LoadText("<r a=\" x \">  text  </r>").ok());
  EXPECT_EQ(Root(trimmed)->value, "text");
  EXPECT_EQ(Root(trimmed)->AttrText("a"), "x");

  XmlDocument raw;
  raw.parseOptions.decodeEntities = false;
  ASSERT_TRUE(raw.LoadText("<r>&amp;</r>").ok());
  EXPECT_EQ(Root(raw)->value, "&amp;");

  XmlDocument skipping;
  skipping.parseOptions.skipMismatchedEndTags = true;
  ASSERT_TRUE(skipping.LoadText("<r><a/></b>tail</r>").ok());
  EXPECT_EQ(Root(skipping)->ChildCount(), 1);
  EXPECT_EQ(Root(skipping)->value, "") << "the text after a skipped end tag is passed over";

  XmlDocument escaped;
  escaped.parseOptions.escapeChar = '\\';
  ASSERT_TRUE(escaped.LoadText("<r a=\"x\\\\y\\z\"><!-- a -\\-> b --></r>").ok());
  EXPECT_EQ(Root(escaped)->AttrText("a"), "x\\yz");
  // Searching passes over the escape character itself.
  EXPECT_EQ(Root(escaped)->ChildAt(0)->value, " a ");
}

TEST(XmlParserTest, EndTagsMayBeMissingAfterAChild) {
  const char* accepted[] = {"<r><a/>", "<r><a></a>", "<r><!--c-->", "<r><![CDATA[x]]>",
                            "<r>text<a/>", "<r><a><b/>"};
  for (const char* text : accepted) {
    XmlDocument document;
    XMLParseResult result = document.LoadText(text);
    EXPECT_TRUE(result.ok()) << text;
    EXPECT_EQ(result.error, XMLParseError::None) << text;
  }
  XmlDocument document;
  ASSERT_TRUE(document.LoadText("<r><a><b/>").ok());
  EXPECT_EQ(Root(document)->FindChild("a")->ChildCount(), 1);
}

TEST(XmlParserTest, EndTagWithSpaceBeforeItsBracket) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadText("<r><a>x</a  ></r>").ok());
  EXPECT_EQ(Root(document)->value, "");
  EXPECT_EQ(Root(document)->ChildText("a"), "x");
}

TEST(XmlParserTest, FailuresWithoutAnErrorRecord) {
  const char* texts[] = {"", "no markup", "<?xml version=\"1.0\"?>", "<!-- only -->",
                         "<r a=\"1\"", "<r", "<r a=\"unterminated>text"};
  for (const char* text : texts) {
    XmlDocument document;
    XMLParseResult result = document.LoadText(text);
    EXPECT_FALSE(result.ok()) << text;
    EXPECT_EQ(result.error, XMLParseError::None) << text;
    EXPECT_EQ(result.message, "") << text;
  }
  XmlDocument document;
  EXPECT_FALSE(document.LoadText(static_cast<const char*>(nullptr)).ok());
}

struct ErrorCase {
  const char* name;
  std::string text;
  XMLParseError code;
  size_t position;
  std::string message;
};

class ParseErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrorTest, RecordsCodePositionAndMessage) {
  XmlDocument document;
  XMLParseResult result = document.LoadText(GetParam().text);
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error, GetParam().code);
  EXPECT_EQ(result.position, GetParam().position);
  EXPECT_EQ(result.message, GetParam().message);
  // The partial root is gone; only the declaration is left.
  EXPECT_EQ(document.ChildCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ParseErrorTest,
    testing::Values(ErrorCase{"SlashNotClosing", "<r><a/x></r>", XMLParseError::ElementUnclosed, 6,
                              "Element must be closed."},
                    ErrorCase{"TextToTheEnd", "<r>text", XMLParseError::EndTagMissing, 3,
                              "r must be closed with </>r>"},
                    ErrorCase{"StartTagAtTheEnd", "<r>", XMLParseError::EndTagMissing, 3,
                              "r must be closed with </>r>"},
                    ErrorCase{"TextAfterChildToTheEnd", "<r><a/>tail", XMLParseError::EndTagMissing,
                              7, "it must be closed with </r>"},
                    ErrorCase{"UnterminatedEndTag", "<r><a/></  r", XMLParseError::EndTagMissing,
                              11, "it must be closed with </r>"},
                    ErrorCase{"Mismatch", "<a><b/></c>", XMLParseError::EndTagMismatch, 11,
                              "'<a> ... </c>' is not wel-formed."},
                    ErrorCase{"MismatchBeforeSpace", "<a></b c>", XMLParseError::EndTagMismatch, 7,
                              "'<a> ... </b>' is not wel-formed."},
                    ErrorCase{"AttributeWithoutSpaceOrEquals", "<r x>",
                              XMLParseError::AttributeError, 3, "<r> attribute has error "},
                    ErrorCase{"DeclarationAttribute", "<?xml a", XMLParseError::AttributeError, 6,
                              "<xml> attribute has error "},
                    // After a conversion from UTF-8 the position counts code-page bytes.
                    ErrorCase{"PositionAfterConversion", "<r>\xC3\xA9\xC3\xA9<a/x>",
                              XMLParseError::ElementUnclosed, 8, "Element must be closed."},
                    ErrorCase{"TooDeep", Nested(kMaxXMLNesting + 1), XMLParseError::NestingTooDeep,
                              3 * kMaxXMLNesting, "Element nesting is too deep."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlParserTest, EachLoadTellsItsOwnError) {
  XmlDocument document;
  XMLParseResult first = document.LoadText("<r><a/x>");
  EXPECT_EQ(first.error, XMLParseError::ElementUnclosed);
  EXPECT_EQ(first.position, 6u);
  XMLParseResult second = document.LoadText("<a></b>");
  EXPECT_FALSE(second.ok());
  EXPECT_EQ(second.error, XMLParseError::EndTagMismatch);
  EXPECT_EQ(second.position, 7u);
  EXPECT_EQ(second.message, "'<a> ... </b>' is not wel-formed.");
  // A later successful load is told no earlier error.
  XMLParseResult third = document.LoadText("<ok/>");
  EXPECT_TRUE(third.ok());
  EXPECT_EQ(third.error, XMLParseError::None);
}

TEST(XmlParserTest, FailedLoadKeepsWhatItChangedInTheDocument) {
  XmlDocument document;
  EXPECT_FALSE(document.LoadText("<?xml version=\"2\"?><!--kept--><r>").ok());
  ASSERT_EQ(document.ChildCount(), 2);
  EXPECT_EQ(document.ChildAt(0)->AttrText("version"), "2");
  EXPECT_EQ(document.ChildAt(1)->value, "kept");
}

// Runs body on a thread with a small stack, as a host's worker thread might have.
void RunOnSmallStack(const std::function<void()>& body) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body)),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(XmlParserTest, NestingLimitHoldsOnASmallStack) {
  const std::string deepest = Nested(kMaxXMLNesting);
  std::string hostile;
  for (int i = 0; i < 300000; ++i) hostile += "<a>";
  bool deepest_loaded = false, hostile_loaded = true;
  XMLParseError hostile_code = XMLParseError::None;
  size_t hostile_position = 0;
  RunOnSmallStack([&] {
    {
      XmlDocument document;
      deepest_loaded = document.LoadText(deepest).ok();
    }
    XmlDocument document;
    XMLParseResult result = document.LoadText(hostile);
    hostile_loaded = result.ok();
    hostile_code = result.error;
    hostile_position = result.position;
  });
  EXPECT_TRUE(deepest_loaded);
  EXPECT_FALSE(hostile_loaded);
  EXPECT_EQ(hostile_code, XMLParseError::NestingTooDeep);
  EXPECT_EQ(hostile_position, 3u * kMaxXMLNesting);
}

TEST(XmlParserTest, TheDeepestAllowedDocumentRoundTrips) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadText(Nested(kMaxXMLNesting)).ok());
  XmlNode* node = Root(document);
  int depth = 1;
  while (node->ChildCount() == 1) {
    node = node->ChildAt(0);
    ++depth;
  }
  EXPECT_EQ(depth, kMaxXMLNesting);
  std::string text = document.DocumentText();
  XmlDocument again;
  ASSERT_TRUE(again.LoadText(text).ok());
  EXPECT_EQ(again.DocumentText(), text);
}

}  // namespace

}  // namespace tavirelle
