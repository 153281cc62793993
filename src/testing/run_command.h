// Starts a program for a test from an argument array, as a user's shell
// would after splitting the line: no shell stands between, so paths with
// spaces, quotes or any script need no quoting. What it prints is collected,
// and a program that hangs is killed at a deadline instead of holding the
// test until CTest gives up.
#ifndef TAVIRELLE_TESTING_RUN_COMMAND_H_
#define TAVIRELLE_TESTING_RUN_COMMAND_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tavirelle {

struct CommandRun {
  int status = -1;         // the exit status; -1 when it did not exit by itself
  int signal = 0;          // the signal that ended it, 0 when it exited
  bool timed_out = false;  // killed at the deadline
  std::string out, err;
};

struct CommandOptions {
  // The working folder of the program; empty: this process's.
  std::string folder;
  // Changes to this process's environment: "NAME=value" sets a variable,
  // a bare "NAME" removes it.
  std::vector<std::string> environment;
  // Seconds after which the program is killed (CTest's own limit is 300).
  int deadline_seconds = 240;
  // Bytes of address space the program may map (as `ulimit -v`); 0: as this
  // process may.
  uint64_t address_space_limit = 0;
  // Bytes any one file the program writes may hold (as `ulimit -f`); 0: no
  // limit of its own.
  uint64_t file_size_limit = 0;
};

// Runs `arguments[0]` (looked up in PATH when it holds no slash) with the
// rest as its arguments and /dev/null for its input, and waits for it.
// Throws std::runtime_error when the program cannot be started at all.
CommandRun RunCommand(const std::vector<std::string>& arguments,
                      const CommandOptions& options = {});

// `text` as one word of a POSIX shell command line, whatever it holds.
std::string ShellQuoted(const std::string& text);

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_RUN_COMMAND_H_
