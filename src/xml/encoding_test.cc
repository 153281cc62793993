#include "xml/encoding.h"

#include <gtest/gtest.h>

#include <string>


namespace tavirelle {

namespace {

TEST(EncodingTest, HasUtf8Bom) {
  EXPECT_TRUE(HasUtf8Bom("\xEF\xBB\xBF"));
  EXPECT_TRUE(HasUtf8Bom("\xEF\xBB\xBF<?xml?>"));
  EXPECT_FALSE(HasUtf8Bom("\xEF\xBB"));
  EXPECT_FALSE(HasUtf8Bom(""));
  EXPECT_FALSE(HasUtf8Bom(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(HasUtf8Bom("<?xml?>"));
}

TEST(EncodingTest, CharToHexGivesTheUnitsDigits) {
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
