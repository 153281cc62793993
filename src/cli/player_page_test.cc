// The player page around the show's data.
#include "cli/player_page.h"

#include "gtest/gtest.h"

namespace tavirelle {

namespace {

TEST(PlayerPageTest, TheShowsDataStandsOnceInsideThePage) {
  const std::string hostile = "</script><script>alert(1)</script><!-- & \"q\" \\ \x01";
  PlayerShow show;
  show.title = hostile;
  show.created_by = "@PLAYER_SCRIPT@";
  PlayerSlide& slide = show.slides.emplace_back();
  slide.stored = "x</script>.jpg";
  slide.caption = "</SCRIPT>";
  const std::string json = PlayerDataJson(show);
  std::string page = PlayerPage(show);
  const std::string open = "<script type=\"application/json\" id=\"show-data\">";
  size_t data = page.find(open);
  ASSERT_NE(data, std::string::npos);
  EXPECT_EQ(page.find("</script>", data), data + open.size() + json.size());
  EXPECT_EQ(page.compare(data + open.size(), json.size(), json), 0);
  // The page's own markers are filled once, never inside the show's texts.
  EXPECT_EQ(page.find("@PLAYER_STYLE@"), std::string::npos);
  EXPECT_NE(json.find("@PLAYER_SCRIPT@"), std::string::npos);
  EXPECT_NE(page.find("@PLAYER_SCRIPT@"), std::string::npos);
  EXPECT_NE(page.find("function fileUrl"), std::string::npos);
  EXPECT_NE(page.find("#stage"), std::string::npos);
}

}  // namespace

}  // namespace tavirelle
