#include "cli/console.h"

#include <unistd.h>

namespace tavirelle {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace tavirelle
