#include "cli/progress.h"

#include <cstdio>
#include <string>

#include "gtest/gtest.h"

namespace tavirelle {

namespace {

using std::chrono::milliseconds;

// What a bar drew: the text of each redraw.
class DrawnBar {
 public:
  DrawnBar() : file_(std::tmpfile()) {}
  ~DrawnBar() { std::fclose(file_); }
  std::FILE* file() { return file_; }
  ProgressBar::Clock clock() {
    return [this] { return std::chrono::steady_clock::time_point(now_); };
  }
  void Advance(milliseconds by) { now_ += by; }
  std::vector<std::string> Draws() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    std::vector<std::string> draws;
    for (size_t at = 0; (at = text.find("\r[", at)) != std::string::npos; ++at) {
      draws.push_back(text.substr(at + 1, text.find('\r', at + 1) - at - 1));
    }
    return draws;
  }

 private:
  std::FILE* file_;
  milliseconds now_{1000000};
};

// Thousands of updates a second (one per entry a verify checks) are drawn
// at most ten times a second.
TEST(ProgressBar, RedrawsAtMostTenTimesASecond) {
  DrawnBar drawn;
  {
    ProgressBar bar(4005, "files", drawn.file(), drawn.clock());
    for (size_t done = 0; done <= 4005; ++done) {
      bar.Update(done);
      drawn.Advance(milliseconds(1));
    }
  }
  const std::vector<std::string> draws = drawn.Draws();
  // 4.006 seconds: at 0, 100, ..., 4000 ms.
  ASSERT_EQ(draws.size(), 41u);
  EXPECT_EQ(draws[0], "[........................................] 0/4005 files");
  EXPECT_EQ(draws[40], "[#######################################.] 4000/4005 files");
}

TEST(ProgressBar, NamesItsUnitAndDrawsOnlyWhatChanged) {
  DrawnBar drawn;
  {
    ProgressBar bar(300, "MiB", drawn.file(), drawn.clock());
    for (int i = 0; i < 5; ++i) {
      bar.Update(150);
      drawn.Advance(milliseconds(500));
    }
    bar.Clear();
    bar.Update(150);  // erased: drawn again
    drawn.Advance(milliseconds(50));
    bar.Clear();
    bar.Update(300);  // too soon after the last one, even when erased
  }
  EXPECT_EQ(drawn.Draws(),
            (std::vector<std::string>{"[####################....................] 150/300 MiB",
                                      "[####################....................] 150/300 MiB"}));
}

}  // namespace

}  // namespace tavirelle
