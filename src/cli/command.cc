#include "cli/command.h"

#include <algorithm>
#include <cstdio>

#include "platform/code_page.h"

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

CommandRegistration::CommandRegistration(const Command& command) {
  auto& commands = Registry();
  commands.push_back(command);
  std::sort(commands.begin(), commands.end(), [](const Command& a, const Command& b) {
    return std::string(a.name) < b.name;
  });
}

const std::vector<Command>& Commands() { return Registry(); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "tavirelle: %s\n", message.c_str());
  return 1;
}

int UsageError(const char* name) {
  for (const Command& c : Commands()) {
    if (std::string(c.name) == name) {
      std::fprintf(stderr, "usage: tavirelle %s %s\n", c.name, c.usage);
      return 2;
    }
  }
  std::fprintf(stderr, "tavirelle: unknown command '%s'\n", name);
  return 2;
}

bool TakeOption(std::vector<std::string>& args, const std::string& name,
                std::string* value, bool* bad) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) {
      *bad = true;
      return false;
    }
    *value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return false;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

std::string ToAnsi(const std::string& utf8) { return Utf8ToAnsi(utf8); }
std::string ToUtf8(const std::string& ansi) { return AnsiToUtf8(ansi); }
