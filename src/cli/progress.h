// A progress bar on stderr for long command work, drawn only on a terminal.
#ifndef TAVIRELLE_CLI_PROGRESS_H_
#define TAVIRELLE_CLI_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace tavirelle {

// Draws "[#####.....] 12/40 MiB" on stderr, redrawn in place, when stderr is
// a terminal and there are at least `min_total` steps of `unit` ("files",
// "MiB"); erases itself when destroyed, so that result lines and error
// messages start on a clean line. However often it is updated, it redraws at
// most ten times a second, and only when what it shows changes: a terminal
// that is written thousands of lines a second slows the work it shows.
class ProgressBar {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit ProgressBar(size_t total, size_t min_total = 8, const char* unit = "files");
  // Draws on `out` whatever it is, with the time from `now`.
  ProgressBar(size_t total, const char* unit, std::FILE* out, Clock now);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(size_t done);
  // Erases the bar so that a result line can be printed on a clean line; the
  // next Update draws it again.
  void Clear();

  static constexpr std::chrono::milliseconds kRedrawInterval{100};

 private:
  size_t total_;
  std::string unit_;
  std::FILE* out_;  // null: not shown
  Clock now_;
  bool drawn_ = false;  // on the terminal now
  bool ever_drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_;
  std::string last_text_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PROGRESS_H_
