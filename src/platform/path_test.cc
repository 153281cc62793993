#include "platform/path.h"

#include <gtest/gtest.h>

namespace tavirelle {

TEST(NativePath, TranslatesSeparatorsDrivesAndCodePage) {
  EXPECT_EQ(NativePath("C:\\shows\\one\\meta.xml"), "/shows/one/meta.xml");
  EXPECT_EQ(NativePath("d:/a\\b"), "/a/b");
  EXPECT_EQ(NativePath("rel\\name"), "rel/name");
  EXPECT_EQ(NativePath("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(NameFromNative("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(NameFromNative("\xD0\x96"), "?");
}

TEST(WildcardMatch, IgnoresCaseAndFollowsThePlatformDotRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.jpg", "PHOTO.JPG", true},  {"*.jpg", "photo.jpeg", false},
      {"*.jpg", "a.b.jpg", true},    {"?.xml", "a.xml", true},
      {"?.xml", "ab.xml", false},    {"*", "anything", true},
      {"*.*", "noext", true},        {"*.", "noext", true},
      {"*.", "has.ext", false},      {"*.", ".", true},
      {"*.", "..", true},            {"meta.xml", "META.XML", true},
      {"caf\xC9*", "caf\xE9s", true}, {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  }
}

}  // namespace tavirelle
