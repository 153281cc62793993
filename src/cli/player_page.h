// The player page: its HTML, styles and script with the show's data inside.
#ifndef TAVIRELLE_CLI_PLAYER_PAGE_H_
#define TAVIRELLE_CLI_PLAYER_PAGE_H_

#include <string>

#include "api/player_show.h"

namespace tavirelle {

// The whole index.html: the page, its styles and script, and the show data.
std::string PlayerPage(const PlayerShow& show);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PLAYER_PAGE_H_
