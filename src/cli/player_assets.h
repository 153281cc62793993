// The player page's HTML, styles and script (src/cli/player/), built into the
// program so that `tavirelle play` needs no data files at run time.
#ifndef TAVIRELLE_CLI_PLAYER_ASSETS_H_
#define TAVIRELLE_CLI_PLAYER_ASSETS_H_

namespace tavirelle {

extern const char kPlayerHtml[];
extern const char kPlayerCss[];
extern const char kPlayerJs[];

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PLAYER_ASSETS_H_
