// A progress bar on stderr for long command work, drawn only on a terminal.
#ifndef TAVIRELLE_CLI_PROGRESS_H_
#define TAVIRELLE_CLI_PROGRESS_H_

#include <cstddef>

namespace tavirelle {

// Draws "[#####.....] 12/40" on stderr, redrawn in place, when stderr is a
// terminal and there are at least `min_total` steps; erases itself when
// destroyed, so that result lines and error messages start on a clean line.
class ProgressBar {
 public:
  explicit ProgressBar(size_t total, size_t min_total = 8);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(size_t done);
  // Erases the bar so that a result line can be printed on a clean line; the
  // next Update draws it again.
  void Clear();

 private:
  size_t total_;
  bool shown_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PROGRESS_H_
