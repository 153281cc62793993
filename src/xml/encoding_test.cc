#include "xml/encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/code_page.h"

namespace tavirelle {

namespace {

TEST(EncodingTest, MbToUtf8ConvertsThroughTheCodePage) {
  EXPECT_EQ(MbToUtf8("plain ascii <a/>"), "plain ascii <a/>");
  EXPECT_EQ(MbToUtf8(""), "");
  EXPECT_EQ(MbToUtf8(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(MbToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(MbToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign of Windows-1252
  // Only the part before the first zero byte takes part.
  EXPECT_EQ(MbToUtf8(std::string("a\0\xE9", 3)), "a");
}

TEST(EncodingTest, Utf8ToMbUsesTheDefaultCharacterForWhatTheCodePageLacks) {
  EXPECT_EQ(Utf8ToMb("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(Utf8ToMb("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToMb("\xE4\xB8\xAD!"), "?!");  // no such character in the code page
  // A byte-order mark keeps a character in its place.
  EXPECT_EQ(Utf8ToMb("\xEF\xBB\xBF<a/>"), "?<a/>");
  // One "?" per maximal ill-formed sequence.
  EXPECT_EQ(Utf8ToMb("a\xC3(b"), "a?(b");
  EXPECT_EQ(Utf8ToMb("a\xE2\x82"), "a?");
  EXPECT_EQ(Utf8ToMb("\xFF\xFE"), "??");
  EXPECT_EQ(Utf8ToMb(""), "");
}

// ASCII texts are copied without the round trip through UTF-16; the result
// must be the one the platform conversion gives, for any text.
TEST(EncodingTest, ConversionsMatchThePlatformForRandomTexts) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    size_t length = random() % 40;
    bool ascii_only = round % 2 == 0;
    for (size_t i = 0; i < length; ++i) {
      int byte = ascii_only ? 1 + static_cast<int>(random() % 127)
                            : 1 + static_cast<int>(random() % 255);
      text.push_back(static_cast<char>(byte));
    }
    EXPECT_EQ(MbToUtf8(text), AnsiToUtf8(text)) << text;
    EXPECT_EQ(Utf8ToMb(text), Utf8ToAnsi(text)) << text;
  }
}

TEST(EncodingTest, HasUtf8Bom) {
  EXPECT_TRUE(HasUtf8Bom("\xEF\xBB\xBF"));
  EXPECT_TRUE(HasUtf8Bom("\xEF\xBB\xBF<?xml?>"));
  EXPECT_FALSE(HasUtf8Bom("\xEF\xBB"));
  EXPECT_FALSE(HasUtf8Bom(""));
  EXPECT_FALSE(HasUtf8Bom(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(HasUtf8Bom("<?xml?>"));
}

TEST(EncodingTest, SingleCharacterConversions) {
  OLECHAR unit = 1;
  EXPECT_TRUE(CharToWide('A', &unit));
  EXPECT_EQ(unit, u'A');
  EXPECT_TRUE(CharToWide('\x80', &unit));
  EXPECT_EQ(unit, 0x20AC);

  char ch = 0;
  EXPECT_TRUE(WideToChar(0x20AC, &ch));
  EXPECT_EQ(ch, '\x80');
  EXPECT_FALSE(WideToChar(0x4E2D, &ch));
  EXPECT_FALSE(WideToChar(0x0080, &ch));  // U+0080 is not in the code page

  EXPECT_EQ(CharToHex('\t'), "09");
  EXPECT_EQ(CharToHex('!'), "21");
  EXPECT_EQ(CharToHex('\xE9'), "E9");
  EXPECT_EQ(CharToHex('\x80'), "20AC");
  EXPECT_EQ(CharToHex('\x83'), "192");
}

TEST(EncodingTest, HexAndDecimalDigitsToCharacters) {
  char ch = 0;
  EXPECT_TRUE(HexToChar("41", &ch));
  EXPECT_EQ(ch, 'A');
  ch = 0;
  EXPECT_TRUE(HexToChar("0041", &ch));
  EXPECT_EQ(ch, 'A');
  EXPECT_TRUE(HexToChar("e9", &ch));
  EXPECT_EQ(ch, '\xE9');
  EXPECT_TRUE(HexToChar("20ac", &ch));
  EXPECT_EQ(ch, '\x80');
  EXPECT_FALSE(HexToChar("4E2D", &ch));
  ch = 0;
  EXPECT_TRUE(DecToChar("65", &ch));
  EXPECT_EQ(ch, 'A');
  // Only the low 16 bits of the number count.
  EXPECT_TRUE(DecToChar("65601", &ch));
  EXPECT_EQ(ch, 'A');
  EXPECT_FALSE(DecToChar("20013", &ch));
}

TEST(EncodingTest, IsBlankTextCountsOnlySpaceTabCrLf) {
  EXPECT_TRUE(IsBlankText(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText(" \t\r\n"));
  EXPECT_FALSE(IsBlankText("\v"));
  EXPECT_FALSE(IsBlankText("\f"));
  EXPECT_FALSE(IsBlankText("  x "));
}

}  // namespace

}  // namespace tavirelle
