#include "xml/entity_table.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tavirelle {

namespace {

TEST(EntityTableTest, DefaultTableHoldsTheNamedEntitiesThenThePatterns) {
  const XMLEntityTable& table = DefaultXMLEntityTable();
  ASSERT_EQ(table.size(), 14u);
  const char* texts[] = {"&amp;",    "&quot;",  "&apos;",  "&lt;",   "&gt;",
                         "&#xyyyy;", "&#xyyy;", "&#xyy;",  "&#xy;",  "&#zzzzz;",
                         "&#zzzz;",  "&#zzz;",  "&#zz;",   "&#z;"};
  for (size_t i = 0; i < 14; ++i) {
    XMLEntity entity = table.EntryAt(i);
    EXPECT_STREQ(entity.text, texts[i]);
    EXPECT_EQ(entity.length, static_cast<int32_t>(std::string(texts[i]).size()));
    EXPECT_EQ(entity.hexForm, i >= 5 && i <= 8) << i;
    EXPECT_EQ(entity.decimalForm, i >= 9) << i;
  }
  EXPECT_EQ(table.EntryAt(3).character, '<');
  EXPECT_EQ(&DefaultXMLEntityTable(), &table);
}

TEST(EntityTableTest, EncodeEscapesMarkupAndWritesOthersAsHexReferences) {
  XMLEntityTable table(DefaultXMLEntityTable());
  EXPECT_EQ(table.Encode("a<b>&\"'"), "a&lt;b&gt;&amp;&quot;&apos;");
  const std::string pass = "AZaz09\n\r .-_():;/[],=\\{}@";
  EXPECT_EQ(table.Encode(pass), pass);
  EXPECT_EQ(table.CountEscapes(pass.c_str()), 0);
  EXPECT_EQ(table.Encode("!#$%*+?^`|~\x7F"),
            "&#x21;&#x23;&#x24;&#x25;&#x2A;&#x2B;&#x3F;&#x5E;&#x60;&#x7C;&#x7E;&#x7F;");
  EXPECT_EQ(table.Encode("\t"), "&#x09;");
  EXPECT_EQ(table.Encode("caf\xE9 \x80"), "caf&#xE9; &#x20AC;");
  EXPECT_EQ(table.CountEscapes("a<\xE9!"), 3);
  EXPECT_EQ(table.CountEscapes(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(table.Encode(static_cast<const char*>(nullptr)), "");
}

TEST(EntityTableTest, WritingACharacterTwiceLearnsOneEntry) {
  XMLEntityTable table(DefaultXMLEntityTable());
  EXPECT_EQ(table.Encode("\xE9\xE9"), "&#xE9;&#xE9;");
  ASSERT_EQ(table.size(), 15u);
  XMLEntity learned = table.EntryAt(0);
  EXPECT_EQ(learned.character, '\xE9');
  EXPECT_STREQ(learned.text, "&#xE9;");
  EXPECT_EQ(learned.length, 6);
  EXPECT_FALSE(learned.hexForm || learned.decimalForm);
  table.Encode("\xE9");
  EXPECT_EQ(table.size(), 15u);
  // Only the asking form learns.
  EXPECT_TRUE(table.EntityForChar('!', nullptr));
  EXPECT_EQ(table.size(), 15u);
  XMLEntity out;
  EXPECT_TRUE(table.EntityForChar('!', &out));
  EXPECT_STREQ(out.text, "&#x21;");
  EXPECT_EQ(table.size(), 16u);
  EXPECT_FALSE(table.EntityForChar('a', &out));
  // The default table never learns.
  EXPECT_EQ(DefaultXMLEntityTable().size(), 14u);
}

TEST(EntityTableTest, DecodeReplacesNamedAndShortNumericReferences) {
  XMLEntityTable table(DefaultXMLEntityTable());
  EXPECT_EQ(table.Decode("&lt;&gt;&amp;&quot;&apos;"), "<>&\"'");
  EXPECT_EQ(table.Decode("&#65;&#x42;&#X43;"), "AB&#X43;");
  EXPECT_EQ(table.Decode("&#x0041;&#00066;&#xe9;"), "AB\xE9");
  // Longer runs of digits than the patterns allow stay as they are.
  EXPECT_EQ(table.Decode("&#x00041;&#000066;"), "&#x00041;&#000066;");
  EXPECT_EQ(table.Decode("a & b &amp c &;"), "a & b &amp c &;");
  // Characters the code page lacks, and NUL, stay as references.
  EXPECT_EQ(table.Decode("&#x4E2D;&#x80;&#0;&#x0;"), "&#x4E2D;&#x80;&#0;&#x0;");
  EXPECT_EQ(table.Decode("&#x20AC;"), "\x80");
  // One pass only.
  EXPECT_EQ(table.Decode("&amp;lt;"), "&lt;");
  // Only the low 16 bits of a decimal reference count.
  EXPECT_EQ(table.Decode("&#65601;"), "A");
  EXPECT_EQ(table.Decode(static_cast<const char*>(nullptr)), "");
}

TEST(EntityTableTest, DecodingLearnsOneEntryPerDistinctReference) {
  XMLEntityTable table(DefaultXMLEntityTable());
  EXPECT_EQ(table.Decode("&#233;&#233;&#xE9;&#xE9;&#xe9;"), "\xE9\xE9\xE9\xE9\xE9");
  ASSERT_EQ(table.size(), 17u);
  EXPECT_STREQ(table.EntryAt(0).text, "&#xe9;");
  EXPECT_STREQ(table.EntryAt(1).text, "&#xE9;");
  EXPECT_STREQ(table.EntryAt(2).text, "&#233;");
  EXPECT_EQ(table.EntryAt(2).character, '\xE9');
  // A reference the code page cannot show teaches nothing.
  table.Decode("&#x4E2D;");
  EXPECT_EQ(table.size(), 17u);

  XMLEntity out;
  EXPECT_TRUE(table.MatchEntity("&#233;rest", &out));
  EXPECT_EQ(out.length, 6);
  EXPECT_FALSE(table.MatchEntity("&#X41;", &out));
  EXPECT_FALSE(table.MatchEntity("&", &out));
  EXPECT_EQ(table.size(), 17u);
}

TEST(EntityTableTest, ACopyIsIndependent) {
  XMLEntityTable original(DefaultXMLEntityTable());
  original.Encode("!");
  XMLEntityTable copy(original);
  EXPECT_EQ(copy.size(), 15u);
  copy.Encode("\xE9");
  EXPECT_EQ(copy.size(), 16u);
  EXPECT_EQ(original.size(), 15u);
  XMLEntityTable assigned;
  EXPECT_TRUE(assigned.empty());
  // Without the named entries a less-than sign is one more numeric reference.
  EXPECT_EQ(assigned.Encode("a<"), "a&#x3C;");
  assigned = copy;
  EXPECT_EQ(assigned.size(), 16u);
  EXPECT_EQ(assigned.Encode("\xE9<"), "&#xE9;&lt;");
}

TEST(EntityTableTest, OneTableUsedFromSeveralThreads) {
  XMLEntityTable table(DefaultXMLEntityTable());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&table, t] {
      for (int i = 0; i < 200; ++i) {
        std::string text(1, static_cast<char>(0xA0 + (i + t) % 64));
        std::string encoded = table.Encode(text);
        EXPECT_EQ(table.Decode(encoded), text);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(table.size(), 14u + 64u);
}

}  // namespace

}  // namespace tavirelle
