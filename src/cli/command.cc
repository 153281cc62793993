#include "cli/command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "util/parallel.h"
#include "util/text.h"

namespace tavirelle {

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
  std::fflush(stdout);
  std::fprintf(stderr, "tavirelle: %s\n", message.c_str());
  return 1;
}

void WarnDescriptionNotRepaired(const std::string& typed) {
  std::fprintf(stderr,
               "tavirelle: warning: %s: the broken meta.xml was read from an older "
               "version, but the package could not be repaired\n",
               typed.c_str());
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

int UsageFail(const std::string& message) {
  Fail(message);
  return 2;
}

namespace {
// Options are the arguments before the first "--".
size_t OptionsEnd(const std::vector<std::string>& args) {
  auto end = std::find(args.begin(), args.end(), "--");
  return static_cast<size_t>(end - args.begin());
}
}  // namespace

bool TakeOption(std::vector<std::string>& args, const std::string& name,
                std::string* value, bool* bad) {
  size_t end = OptionsEnd(args);
  for (size_t i = 0; i < end; ++i) {
    if (args[i].size() > name.size() && args[i].compare(0, name.size(), name) == 0 &&
        args[i][name.size()] == '=') {
      *value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
    if (args[i] != name) continue;
    if (i + 1 >= end) {
      *bad = true;
      return false;
    }
    *value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return false;
}

int TakeJobs(std::vector<std::string>& args, unsigned* jobs, const char* name) {
  std::string value;
  bool bad = false;
  if (!TakeOption(args, "--jobs", &value, &bad)) return bad ? UsageError(name) : 0;
  if (!ParseJobs(value, jobs)) {
    return UsageFail("--jobs wants a whole number from 1 to 256, not '" + value + "'");
  }
  return 0;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  auto end = args.begin() + static_cast<long>(OptionsEnd(args));
  auto it = std::find(args.begin(), end, name);
  if (it == end) return false;
  args.erase(it);
  return true;
}

bool EndOfOptions(std::vector<std::string>& args, std::string* unknown) {
  size_t end = OptionsEnd(args);
  for (size_t i = 0; i < end; ++i) {
    if (args[i].size() > 1 && args[i][0] == '-') {
      *unknown = args[i];
      return false;
    }
  }
  if (end < args.size()) args.erase(args.begin() + static_cast<long>(end));
  return true;
}

int ExpectOperands(std::vector<std::string>& args, size_t count, const char* name) {
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return UsageFail("unknown option " + unknown);
  if (args.size() != count) return UsageError(name);
  return 0;
}

std::string AsOutputFolder(const std::string& folder) {
  if (folder.empty()) return "./";
  char last = folder.back();
  return last == '/' || last == '\\' ? folder : folder + "/";
}

std::string HresultInWords(HRESULT status) {
  uint32_t value = static_cast<uint32_t>(status);
  if ((value & 0xFFFF0000u) == 0x80070000u) return ErrorInWords(value & 0xFFFFu);
  switch (status) {
    case E_OUTOFMEMORY: return "out of memory";
    case E_INVALIDARG: return "invalid argument";
    case E_FAIL: return "the operation failed";
    default: return FormatText("the operation failed (0x%08X)", static_cast<unsigned>(value));
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string ControlsEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += FormatText("\\x%02X", byte);
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace tavirelle
