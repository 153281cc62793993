// What the command-line host needs to know about its standard streams.
#ifndef TAVIRELLE_PLATFORM_CONSOLE_H_
#define TAVIRELLE_PLATFORM_CONSOLE_H_

// Whether standard error is a terminal (where a progress bar may be drawn).
bool StandardErrorIsTerminal();

#endif  // TAVIRELLE_PLATFORM_CONSOLE_H_
