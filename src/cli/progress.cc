#include "cli/progress.h"

#include <algorithm>

#include "cli/console.h"

namespace tavirelle {

ProgressBar::ProgressBar(size_t total, size_t min_total, const char* unit)
    : ProgressBar(total, unit, total >= min_total && StandardErrorIsTerminal() ? stderr : nullptr,
                  [] { return std::chrono::steady_clock::now(); }) {}

ProgressBar::ProgressBar(size_t total, const char* unit, std::FILE* out, Clock now)
    : total_(total), unit_(unit), out_(out), now_(std::move(now)) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Clear() {
  if (out_ == nullptr || !drawn_) return;
  std::fprintf(out_, "\r%*s\r", static_cast<int>(last_text_.size()), "");
  std::fflush(out_);
  drawn_ = false;
  last_text_.clear();
}

void ProgressBar::Update(size_t done) {
  if (out_ == nullptr) return;
  const auto now = now_();
  // Also after Clear: a bar erased for each of many result lines must not
  // come back as often.
  if (ever_drawn_ && now - last_draw_ < kRedrawInterval) return;
  const size_t width = 40;
  size_t filled = total_ == 0 ? width : std::min(done, total_) * width / total_;
  std::string text = "[";
  text.append(filled, '#').append(width - filled, '.').append("] ");
  text += std::to_string(done) + "/" + std::to_string(total_) + " " + unit_;
  if (drawn_ && text == last_text_) return;
  std::fprintf(out_, "\r%s", text.c_str());
  std::fflush(out_);
  drawn_ = ever_drawn_ = true;
  last_draw_ = now;
  last_text_ = std::move(text);
}

}  // namespace tavirelle
