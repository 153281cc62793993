// tavirelle: author, pack, inspect and extract slide shows from the command
// line, through the same automation interfaces a host application uses.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command.h"

namespace {

using tavirelle::Command;
using tavirelle::Commands;
using tavirelle::Fail;

void PrintHelp() {
  std::printf(
      "tavirelle %s: slide-show authoring and package tool\n\n"
      "usage: tavirelle COMMAND [ARGUMENTS]\n\ncommands:\n",
      TAVIRELLE_VERSION);
  for (const Command& c : Commands()) {
    std::printf("  %s %s\n      %s\n", c.name, c.usage, c.summary);
  }
  std::printf(
      "\n  --help      this text\n  --version   the version\n\n"
      "Arguments and output are UTF-8. A command that fails prints one line on\n"
      "stderr and exits with a non-zero status.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  // Result lines reach a pipe as they are made, not when the command ends.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 2) {
    PrintHelp();
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp();
    return 0;
  }
  if (name == "--version") {
    std::printf("tavirelle %s\n", TAVIRELLE_VERSION);
    return 0;
  }
  for (const Command& c : Commands()) {
    if (name != c.name) continue;
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& a : args) {
      if (a == "--help") {
        std::printf("usage: tavirelle %s %s\n%s\n", c.name, c.usage, c.summary);
        return 0;
      }
    }
    try {
      return c.run(args);
    } catch (const std::bad_alloc&) {
      return Fail("out of memory");
    } catch (const std::exception& e) {
      return Fail(e.what());
    }
  }
  std::fprintf(stderr, "tavirelle: unknown command '%s' (see tavirelle --help)\n",
               name.c_str());
  return 2;
}
