#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/last_error.h"

namespace tavirelle {

TEST(CodePage, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string wide = AnsiToWide(all);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // undefined byte keeps its value
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  bool used_default = true;
  EXPECT_EQ(WideToAnsi(wide, &used_default), all);
  EXPECT_FALSE(used_default);
}

TEST(CodePage, MissingCharactersBecomeTheDefaultAndSetTheFlag) {
  bool used_default = false;
  EXPECT_EQ(WideToAnsi(u"a\u0416b", &used_default), "a?b");
  EXPECT_TRUE(used_default);
  // A surrogate pair is one character: one question mark.
  EXPECT_EQ(WideToAnsi(u"x\U0001F600y"), "x?y");
  // A lone surrogate too.
  EXPECT_EQ(WideToAnsi(std::u16string(1, char16_t(0xD800)) + u"z"), "?z");

  const char16_t text[] = u"\u0416";
  char out[4] = {};
  BOOL flag = FALSE;
  const char star = '*';
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 1, out, 4, &star, &flag), 1);
  EXPECT_EQ(out[0], '*');
  EXPECT_TRUE(flag);
}

TEST(CodePage, Utf8IllFormedSequencesGiveOneReplacementEach) {
  // Truncated three-byte sequence, a stray continuation byte, an overlong
  // lead byte and an encoded surrogate.
  std::u16string wide = Utf8ToWide("a\xE2\x82" "b\x80" "c\xC0\xAF" "d\xED\xA0\x80");
  EXPECT_EQ(wide, u"a\uFFFDb\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(CodePage, FollowsThePlatformCallingConventions) {
  // -1 includes the terminator; size 0 asks for the room needed.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  char16_t small[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, small, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  BOOL flag = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &flag), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, AnsiToUtf8ConvertsThroughTheCodePage) {
  EXPECT_EQ(AnsiToUtf8("plain ascii <a/>"), "plain ascii <a/>");
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign of Windows-1252
  // A whole text is converted, zero bytes included; a `const char*` ends at
  // its first zero byte.
  EXPECT_EQ(AnsiToUtf8(std::string("a\0\xE9", 3)), std::string("a\0\xC3\xA9", 4));
  EXPECT_EQ(AnsiToUtf8(std::string("a\0\xE9", 3).c_str()), "a");
}

TEST(CodePage, Utf8ToAnsiUsesTheDefaultCharacterForWhatTheCodePageLacks) {
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD!"), "?!");  // no such character in the code page
  // A byte-order mark keeps a character in its place.
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBB\xBF<a/>"), "?<a/>");
  // One "?" per maximal ill-formed sequence.
  EXPECT_EQ(Utf8ToAnsi("a\xC3(b"), "a?(b");
  EXPECT_EQ(Utf8ToAnsi("a\xE2\x82"), "a?");
  EXPECT_EQ(Utf8ToAnsi("\xFF\xFE"), "??");
  EXPECT_EQ(Utf8ToAnsi(""), "");
}

// ASCII texts are copied without the round trip through UTF-16; the result
// must be the one the round trip gives, for any text.
TEST(CodePage, ConversionsMatchTheRoundTripForRandomTexts) {
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
    EXPECT_EQ(AnsiToUtf8(text), WideToUtf8(AnsiToWide(text))) << text;
    bool used_default = true;
    EXPECT_EQ(Utf8ToAnsi(text, &used_default), WideToAnsi(Utf8ToWide(text))) << text;
    if (ascii_only) {
      EXPECT_FALSE(used_default) << text;
    }
  }
}

TEST(CodePage, SingleCharacterConversions) {
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
}

TEST(CodePage, CharactersOutsideCodePageAreNamedOnceInOrder) {
  EXPECT_EQ(CharactersOutsideCodePage("caf\xC3\xA9 \xE2\x82\xAC"), std::vector<std::string>{});
  EXPECT_EQ(CharactersOutsideCodePage("\xCE\xB1\xE4\xB8\xAD\xCE\xB1\xF0\x9F\x98\x80"),
            (std::vector<std::string>{"\xCE\xB1", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"}));
}

}  // namespace tavirelle
