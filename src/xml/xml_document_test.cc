// The tree operations and the exact layout of the writer.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <string>

namespace tavirelle {

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

TEST(XmlDocumentTest, ANewDocumentHoldsOnlyItsDeclaration) {
  XmlDocument document;
  EXPECT_EQ(document.kind, XMLNodeKind::Document);
  EXPECT_EQ(document.document, &document);
  EXPECT_EQ(document.parent, nullptr);
  ASSERT_EQ(document.ChildCount(), 1);
  XmlNode* declaration = document.ChildAt(0);
  EXPECT_EQ(declaration->kind, XMLNodeKind::Declaration);
  EXPECT_EQ(declaration->name, "xml");
  ASSERT_EQ(declaration->attributes.size(), 2u);
  EXPECT_EQ(declaration->attributes[0]->name, "version");
  EXPECT_EQ(declaration->attributes[1]->name, "encoding");
  EXPECT_EQ(document.DocumentText(), kDeclaration);
  EXPECT_TRUE(document.DeclaresEncoding("UTF-8"));
  EXPECT_FALSE(document.DeclaresEncoding("utf-8"));
  EXPECT_FALSE(document.DeclaresEncoding(nullptr));
}

struct LayoutCase {
  const char* name;
  void (*build)(XmlNode* root);
  const char* expected;  // after the declaration
};

const LayoutCase kLayoutCases[] = {
    {"EmptyElement", [](XmlNode*) {}, "\n<r/>"},
    {"EmptyWithAttributes",
     [](XmlNode* r) {
       r->SetAttr("a", "1");
       r->SetAttr("b", "");
     },
     "\n<r a=\"1\" b=\"\" />"},
    {"TextOnly", [](XmlNode* r) { r->SetText("hello"); }, "\n<r>hello</r>"},
    {"TextWithAttribute",
     [](XmlNode* r) {
       r->SetAttr("a", "1");
       r->SetText("t");
     },
     "\n<r a=\"1\" >t</r>"},
    {"WhitespaceOnlyValue", [](XmlNode* r) { r->SetText(" \t\r\n"); }, "\n<r></r>"},
    {"NestedChildren",
     [](XmlNode* r) {
       r->AddChild("b", "x");
       XmlNode* c = r->AddChild("c");
       c->AddChild("d");
     },
     "\n<r>\n\t<b>x</b>\n\t<c>\n\t\t<d/>\n\t</c>\n</r>"},
    {"TextAfterChildren",
     [](XmlNode* r) {
       r->SetText("tail");
       XmlNode* b = r->AddChild("b");
       b->SetText("inner");
       b->AddChild("c");
     },
     "\n<r>\n\t<b>\n\t\t<c/>\n\t\tinner\n\t</b>\n\ttail\n</r>"},
    {"OnlyChildCData", [](XmlNode* r) { r->SetText("a<b&", true); },
     "\n<r><![CDATA[a<b&]]></r>"},
    {"CommentAfterSibling",
     [](XmlNode* r) {
       r->AddChild("b");
       XmlNode* comment = r->AddChild("#COMMENT", "note <&>");
       comment->kind = XMLNodeKind::Comment;
       XmlNode* section = r->AddChild("#CDATA", "x");
       section->kind = XMLNodeKind::CData;
     },
     "\n<r>\n\t<b/><!--note <&>--><![CDATA[x]]>\n</r>"},
    {"CDataWithSibling",
     [](XmlNode* r) {
       XmlNode* section = r->AddChild("#CDATA", "x");
       section->kind = XMLNodeKind::CData;
       r->AddChild("b");
     },
     "\n<r><![CDATA[x]]>\n\t<b/>\n</r>"},
    {"EscapedValues",
     [](XmlNode* r) {
       r->SetAttr("v", "a<b>&\"'!\t");
       r->SetText("x<y & z!");
     },
     "\n<r v=\"a&lt;b&gt;&amp;&quot;&apos;&#x21;&#x09;\" >x&lt;y &amp; z&#x21;</r>"},
};

class WriterLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(WriterLayoutTest, WritesTheExactText) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  GetParam().build(root);
  EXPECT_EQ(document.DocumentText(), std::string(kDeclaration) + GetParam().expected);
  EXPECT_EQ(document.writeOptions.depth, 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterLayoutTest, testing::ValuesIn(kLayoutCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlDocumentTest, WriterOptions) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  root->SetAttr("a", "<1>");
  root->AddChild("b", "x&y");
  XMLWriteOptions options;
  options.indent = false;
  options.encodeEntities = false;
  options.quote = '\'';
  EXPECT_EQ(root->ToText(&options), "<r a='<1>' ><b>x&y</b></r>");
  options.depth = 2;
  options.indent = true;
  EXPECT_EQ(root->ToText(&options), "\n\t\t<r a='<1>' >\n\t\t\t<b>x&y</b>\n\t\t</r>");
  EXPECT_EQ(options.depth, 2);
  // Without options a node of a document uses the document's.
  EXPECT_EQ(root->ToText(nullptr), "\n<r a=\"&lt;1&gt;\" >\n\t<b>x&amp;y</b>\n</r>");
}

TEST(XmlDocumentTest, ANodeOfNoDocumentWrittenWithoutOptions) {
  std::unique_ptr<XmlNode> node = XmlNode::NewElement("r", "a<b", false);
  node->SetAttr("k", "v");
  node->AddChild("c", "1");
  EXPECT_EQ(node->ToText(nullptr), "<r ><c>1</c>a<b</r>");
  EXPECT_EQ(node->attributes[0]->ToText(nullptr), "");
}

TEST(XmlDocumentTest, DocumentTextConvertsToUtf8OnlyWhenDeclared) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r", "caf\xE9");
  XmlNode* comment = root->AddChild("#COMMENT", "\xE9");
  comment->kind = XMLNodeKind::Comment;
  // Text is escaped (ASCII); the comment body is converted.
  EXPECT_EQ(document.DocumentText(),
            std::string(kDeclaration) + "\n<r><!--\xC3\xA9-->\n\tcaf&#xE9;\n</r>");
  document.SetEncoding("ISO-8859-1");
  EXPECT_EQ(document.DocumentText(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<r><!--\xE9-->\n\tcaf&#xE9;\n</r>");
  document.SetEncoding("utf-8");
  EXPECT_NE(document.DocumentText().find("<!--\xE9-->"), std::string::npos);
}

TEST(XmlDocumentTest, WritingTheSameCharacterTwiceLearnsOneEntry) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r", "\xE9");
  root->SetAttr("a", "\xE9\xE9");
  size_t before = document.writeOptions.entities.size();
  document.DocumentText();
  EXPECT_EQ(document.writeOptions.entities.size(), before + 1);
  EXPECT_EQ(document.parseOptions.entities.size(), before);
}

TEST(XmlDocumentTest, LookupsReturnTheFirstMatchOrNothing) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  XmlNode* first = root->AddChild("x", "1");
  root->AddChild("x", "2");
  EXPECT_EQ(root->FindChild("x"), first);
  EXPECT_EQ(root->FindChild("X"), nullptr);
  EXPECT_EQ(root->FindChild(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(root->ChildText("x"), "1");
  EXPECT_EQ(root->ChildText("missing"), "");
  EXPECT_EQ(root->ChildAt(-1), nullptr);
  EXPECT_EQ(root->ChildAt(root->ChildCount()), nullptr);
  EXPECT_EQ(root->ChildAt(1)->value, "2");
  root->SetAttr("a", "1");
  root->SetAttr("b", "2");
  EXPECT_EQ(root->AttrText("b"), "2");
  EXPECT_EQ(root->AttrText("c"), "");
  EXPECT_EQ(root->FindAttr(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(first->parent, root);
  EXPECT_EQ(first->document, &document);
}

TEST(XmlDocumentTest, SetAttrAndSetChildChangeInPlace) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  XmlAttr* a = root->SetAttr("a", "1");
  EXPECT_EQ(root->SetAttr("a", "2"), a);
  EXPECT_EQ(root->SetAttr("a", nullptr), a);
  EXPECT_EQ(a->value, "2");
  EXPECT_EQ(root->attributes.size(), 1u);
  EXPECT_EQ(root->SetAttr("b", nullptr)->value, "");
  EXPECT_EQ(a->parent, root);

  XmlNode* child = root->SetChild("c", "x");
  EXPECT_EQ(root->SetChild("c", nullptr, false), child);
  EXPECT_EQ(child->value, "x");
  EXPECT_EQ(root->SetChild("c", "y"), child);
  EXPECT_EQ(child->value, "y");
  EXPECT_EQ(root->ChildCount(), 1);
}

TEST(XmlDocumentTest, SetTextAsCData) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  XmlNode* e = root->AddChild("e", "old");
  e->SetText("x", true);
  ASSERT_EQ(e->ChildCount(), 1);
  EXPECT_EQ(e->ChildAt(0)->kind, XMLNodeKind::CData);
  EXPECT_EQ(e->ChildAt(0)->name, "#CDATA");
  EXPECT_EQ(e->value, "");
  bool isCData = false;
  EXPECT_EQ(e->Text(&isCData), "x");
  EXPECT_TRUE(isCData);
  e->SetText("y", true);  // the one CDATA child is reused
  EXPECT_EQ(e->ChildCount(), 1);
  EXPECT_EQ(e->Text(nullptr), "y");

  XmlNode* two = root->AddChild("two");
  two->AddChild("a");
  two->AddChild("b");
  two->SetText("z", true);
  EXPECT_EQ(two->value, "z");
  EXPECT_EQ(two->ChildCount(), 2);
  EXPECT_EQ(two->Text(&isCData), "z");
  EXPECT_FALSE(isCData);

  XmlNode* one = root->AddChild("one");
  one->AddChild("a");
  one->SetText("w", true);  // one child of another kind: the own text
  EXPECT_EQ(one->value, "w");
  EXPECT_EQ(one->ChildCount(), 1);

  // Text() prefers a sole CDATA child and empties the own value.
  XmlNode* mixed = root->AddChild("m", "own");
  XmlNode* section = mixed->AddChild("#CDATA", "body");
  section->kind = XMLNodeKind::CData;
  EXPECT_EQ(mixed->Text(), "body");
  EXPECT_EQ(mixed->value, "");
}

TEST(XmlDocumentTest, InsertRemoveAndDetach) {
  XmlDocument document;
  XmlNode* root = document.AddChild("r");
  root->AddChild("a");
  root->AddChild("c");
  XmlNode* b = root->InsertChild(1, XmlNode::NewElement("b", nullptr, false));
  XmlNode* z = root->InsertChild(99, XmlNode::NewElement("z", nullptr, false));
  ASSERT_EQ(root->ChildCount(), 4);
  EXPECT_EQ(root->ChildAt(1), b);
  EXPECT_EQ(root->ChildAt(3), z);
  EXPECT_EQ(b->parent, root);
  EXPECT_EQ(b->document, &document);

  XmlNode other;
  EXPECT_FALSE(root->RemoveChild(&other));
  EXPECT_FALSE(root->RemoveChild(nullptr));
  EXPECT_TRUE(root->RemoveChild(b));
  EXPECT_EQ(root->ChildCount(), 3);

  XmlAttr* a = root->SetAttr("a", "1");
  root->SetAttr("b", "2");
  std::unique_ptr<XmlAttr> detached = root->DetachAttr(a);
  ASSERT_EQ(detached.get(), a);
  EXPECT_EQ(root->DetachAttr(a), nullptr);
  EXPECT_FALSE(root->RemoveAttr(a));
  EXPECT_TRUE(root->RemoveAttr(root->FindAttr("b")));
  EXPECT_FALSE(root->RemoveAllAttrs());
  EXPECT_TRUE(root->RemoveAllChildren());
  EXPECT_FALSE(root->RemoveAllChildren());
}

TEST(XmlDocumentTest, AddCopyIsDeepAndSharesNothing) {
  XmlDocument source;
  XmlNode* image = source.AddChild("image");
  image->SetAttr("file", "a.jpg");
  XmlNode* clips = image->AddChild("clips");
  clips->AddChild("clip")->SetAttr("x", "1");
  image->SetText("t");

  XmlDocument target;
  XmlNode* images = target.AddChild("images");
  XmlNode* copy = images->AddCopy(image);
  EXPECT_EQ(copy->parent, images);
  EXPECT_EQ(copy->document, &target);
  EXPECT_EQ(copy->ChildAt(0)->ChildAt(0)->document, &target);
  EXPECT_EQ(copy->ChildAt(0)->ChildAt(0)->parent, copy->ChildAt(0));
  EXPECT_EQ(copy->attributes[0]->parent, copy);
  EXPECT_EQ(copy->ToText(nullptr), image->ToText(nullptr));
  image->SetAttr("file", "b.jpg");
  clips->RemoveAllChildren();
  EXPECT_EQ(copy->AttrText("file"), "a.jpg");
  EXPECT_EQ(copy->ChildAt(0)->ChildCount(), 1);
}

TEST(XmlDocumentTest, DeclarationIsMadeOnlyInsideADocument) {
  std::unique_ptr<XmlNode> loose = XmlNode::NewElement("r", nullptr, false);
  EXPECT_EQ(loose->Declaration(), nullptr);
  EXPECT_EQ(loose->ChildCount(), 0);

  XmlDocument document;
  document.RemoveAllChildren();
  EXPECT_EQ(document.DocumentText(), "");
  XmlNode* declaration = document.Declaration();
  ASSERT_NE(declaration, nullptr);
  EXPECT_EQ(document.DocumentText(), "<?xml version=\"1.0\" ?>");
  EXPECT_EQ(document.Declaration(), declaration);
  declaration->RemoveAllAttrs();
  EXPECT_EQ(document.DocumentText(), "<?xml?>");
  EXPECT_TRUE(document.SetEncoding(nullptr));
  EXPECT_EQ(document.DocumentText(), "<?xml encoding=\"\" ?>");
}

}  // namespace

}  // namespace tavirelle
