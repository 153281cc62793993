#include "util/text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "util/md5.h"

namespace tavirelle {

TEST(FormatText, GrowsThroughItsStepsAndCutsAt43008) {
  for (size_t length : {0u, 1u, 2047u, 2048u, 2049u, 6144u, 6145u, 12289u, 30721u,
                        43007u, 43008u}) {
    std::string body(length, 'x');
    EXPECT_EQ(FormatText("%s", body.c_str()), body) << length;
  }
  std::string long_text(50000, 'y');
  std::string cut = FormatText("<%s>", long_text.c_str());
  ASSERT_EQ(cut.size(), 43008u);
  EXPECT_EQ(cut.front(), '<');
  EXPECT_EQ(cut.back(), 'y');
  EXPECT_EQ(FormatText("%d:%02d %.6f", 7, 3, 0.5), "7:03 0.500000");
}

TEST(ReplaceAll, NeverRescansInsertedText) {
  struct Case {
    std::string text, pattern;
    const char* replacement;
    std::string expected;
    size_t count;
  } cases[] = {
      {"aaa", "a", "aa", "aaaaaa", 3},
      {"%t and %t", "%t", "%t%t", "%t%t and %t%t", 2},
      {"abcabc", "bc", nullptr, "aa", 2},
      {"abc", "", "x", "abc", 0},
      {"abc", "z", "x", "abc", 0},
      {"xxxx", "xx", "y", "yy", 2},
      {"", "a", "b", "", 0},
  };
  for (auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ReplaceAll(text, c.pattern, c.replacement), c.count) << c.text;
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(CaseConversion, WorksInPlaceByteByByte) {
  std::string text = "MiXeD.JPG \xC9";
  EXPECT_EQ(LowerCase(text), "mixed.jpg \xC9");  // the C locale leaves high bytes
  EXPECT_EQ(UpperCase(text), "MIXED.JPG \xC9");
}

TEST(Md5, MatchesTheReferenceDigests) {
  EXPECT_EQ(Md5BufferHex("", 0), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5BufferHex("abc", 3), "900150983cd24fb0d6963f7d28e17f72");
  Md5Digest digest;
  digest.Update("a", 1);
  digest.Update("bc", 2);
  EXPECT_EQ(digest.FinishHex(), "900150983cd24fb0d6963f7d28e17f72");
  // A million "a" in uneven pieces that cross block boundaries.
  const std::string as(1000, 'a');
  for (size_t fed = 0, piece = 1; fed < 1000000; fed += piece, piece = piece % 997 + 1) {
    digest.Update(as.data(), std::min(piece, 1000000 - fed));
  }
  EXPECT_EQ(digest.FinishHex(), "7707d6ae4e027c70eea2a935c2296f21");
}

}  // namespace tavirelle
