#include "cli/progress.h"

#include <cstdio>
#include <string>

#include "cli/console.h"

namespace tavirelle {

ProgressBar::ProgressBar(size_t total, size_t min_total)
    : total_(total), shown_(total >= min_total && StandardErrorIsTerminal()) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Clear() {
  if (shown_) std::fprintf(stderr, "\r%*s\r", 60, "");
}

void ProgressBar::Update(size_t done) {
  if (!shown_) return;
  const size_t width = 40;
  size_t filled = total_ == 0 ? width : done * width / total_;
  std::string bar(filled, '#');
  bar.append(width - filled, '.');
  std::fprintf(stderr, "\r[%s] %zu/%zu", bar.c_str(), done, total_);
  std::fflush(stderr);
}

}  // namespace tavirelle
