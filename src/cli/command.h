// The subcommands of the tavirelle command. Each *_command.cc file defines
// its subcommands and registers them with TAVIRELLE_COMMAND.
//
// Contract of every subcommand: arguments and output are UTF-8; success exits
// 0; a failure prints one line "tavirelle: CAUSE" on stderr and exits non-zero;
// results are printed as "key: value" lines.
#ifndef TAVIRELLE_CLI_COMMAND_H_
#define TAVIRELLE_CLI_COMMAND_H_

#include <string>
#include <vector>

#include "tavirelle/types.h"
#include "util/text.h"

namespace tavirelle {

struct Command {
  const char* name;
  const char* usage;    // arguments after the name, e.g. "PACKAGE [--out DIR]"
  const char* summary;  // one line for --help
  int (*run)(const std::vector<std::string>& args);  // args after the name
};

// Registers a command at start-up; the list is sorted by name.
struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};
const std::vector<Command>& Commands();

#define TAVIRELLE_COMMAND_CONCAT2(a, b) a##b
#define TAVIRELLE_COMMAND_CONCAT(a, b) TAVIRELLE_COMMAND_CONCAT2(a, b)
#define TAVIRELLE_COMMAND(...)                                    \
  static const CommandRegistration TAVIRELLE_COMMAND_CONCAT(      \
      command_registration_, __LINE__)(Command{__VA_ARGS__})

// Prints "tavirelle: message" on stderr and returns the exit code 1.
int Fail(const std::string& message);
// Prints the usage of `name` on stderr and returns the exit code 2.
int UsageError(const char* name);
// Prints "tavirelle: message" (what is wrong with the arguments) and returns
// the exit code of a usage error, 2.
int UsageFail(const std::string& message);
// Warns that the package `typed` (a command argument) had its broken
// meta.xml read from an older version that could not be written back.
void WarnDescriptionNotRepaired(const std::string& typed);

// Simple option parsing: takes "--name VALUE" or "--name=VALUE" out of args;
// returns false when absent. A present option without a value is a usage
// error (*bad set). Only arguments before a "--" are options: a photo may be
// named "--title.jpg" when it stands after "--".
bool TakeOption(std::vector<std::string>& args, const std::string& name,
                std::string* value, bool* bad);
// Takes "--jobs N" out of args into *jobs, which keeps its value (the
// default) when the option is absent. 0, or the usage error's exit code once
// the one line is printed: the usage of `name` when the value is missing,
// else why the value is not a job count.
int TakeJobs(std::vector<std::string>& args, unsigned* jobs, const char* name);
// Takes a "--name" flag out of args (before any "--").
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
// Call once every known option is taken: removes the first "--" and returns
// true, or returns false with the first unknown "-..." argument before it in
// *unknown. A lone "-" is an operand.
bool EndOfOptions(std::vector<std::string>& args, std::string* unknown);
// The end of every command's argument check, once its options are taken:
// ends the options and expects exactly `count` operands. 0 when they are
// there; otherwise the usage error's exit code, once the one line (an
// unknown option, or the usage of `name`) is printed.
int ExpectOperands(std::vector<std::string>& args, size_t count, const char* name);

// `folder` (a command argument) as an output folder that names can be
// appended to: with a trailing separator.
std::string AsOutputFolder(const std::string& folder);

// An HRESULT in words for a message line (ErrorInWords of util/text.h for
// a Win32 code): a platform error (0x8007xxxx) reads as its code.
std::string HresultInWords(HRESULT status);

// True when `a` and `b` (UTF-8 command arguments) name the same existing
// file: the same device and inode, however they are spelled.
bool SameFile(const std::string& a, const std::string& b);

// `text` with its control characters (bytes below 0x20, and 0x7F) written
// as "\xHH", so that a name read from a file stays on one output line.
std::string ControlsEscaped(const std::string& text);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_COMMAND_H_
