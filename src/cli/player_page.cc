#include "cli/player_page.h"

#include <utility>
#include <vector>

#include "cli/player_assets.h"

namespace tavirelle {

namespace {

// Fills the page's markers in one pass over the page text, so that a marker
// inside inserted text (a title may be anything) is never replaced.
std::string FillMarkers(const std::string& page,
                        const std::vector<std::pair<std::string, std::string>>& markers) {
  std::string out;
  size_t from = 0;
  while (true) {
    size_t best = std::string::npos;
    const std::pair<std::string, std::string>* found = nullptr;
    for (const auto& marker : markers) {
      size_t at = page.find(marker.first, from);
      if (at < best) {
        best = at;
        found = &marker;
      }
    }
    if (found == nullptr) break;
    out.append(page, from, best - from);
    out += found->second;
    from = best + found->first.size();
  }
  out.append(page, from, std::string::npos);
  return out;
}

}  // namespace

std::string PlayerPage(const PlayerShow& show) {
  return FillMarkers(kPlayerHtml, {{"@PLAYER_STYLE@", kPlayerCss},
                                   {"@PLAYER_SCRIPT@", kPlayerJs},
                                   {"@PLAYER_DATA@", PlayerDataJson(show)}});
}

}  // namespace tavirelle
