// What the command-line host needs to know about its standard streams.
#ifndef TAVIRELLE_CLI_CONSOLE_H_
#define TAVIRELLE_CLI_CONSOLE_H_

namespace tavirelle {

// Whether standard error is a terminal (where a progress bar may be drawn).
bool StandardErrorIsTerminal();

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_CONSOLE_H_
