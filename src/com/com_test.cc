#include <gtest/gtest.h>

#include <cstring>

#include "com/bstr.h"
#include "platform/guid.h"

namespace tavirelle {

TEST(Bstr, KeepsTheStandardLayout) {
  BSTR text = SysAllocString(u"abc");
  ASSERT_NE(text, nullptr);
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - 4, 4);
  EXPECT_EQ(bytes, 6u);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  BSTR embedded = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(embedded), 3u);
  SysFreeString(embedded);
}

TEST(Bstr, ConvertsThroughTheProcessCodePage) {
  ScopedBstr text(BstrFromAnsi("caf\xE9"));
  EXPECT_EQ(BstrView(text.get()), u"caf\u00E9");
  EXPECT_EQ(text.Ansi(), "caf\xE9");
  EXPECT_EQ(AnsiFromBstr(nullptr), "");
}

TEST(Guid, RandomVersionFourAndTextRoundTrip) {
  GUID a{}, b{};
  ASSERT_EQ(CoCreateGuid(&a), S_OK);
  ASSERT_EQ(CoCreateGuid(&b), S_OK);
  EXPECT_FALSE(a == b);
  EXPECT_EQ(a.Data3 >> 12, 4);
  std::string text = GuidToString(a);
  EXPECT_EQ(text.size(), 38u);
  GUID parsed{};
  ASSERT_TRUE(GuidFromString(text, &parsed));
  EXPECT_TRUE(parsed == a);
  EXPECT_FALSE(GuidFromString("{not-a-guid}", &parsed));
}

}  // namespace tavirelle
