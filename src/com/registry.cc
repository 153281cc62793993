#include "com/registry.h"

#include <cstdlib>
#include <mutex>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"

namespace tavirelle {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

std::mutex g_root_mutex;
std::string g_root_override;

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Splits "a\b\c" into its components; false for an empty component.
bool SplitPath(std::string_view path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) return false;
    parts->push_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}


void AppendQuoted(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// Reads a quoted string starting at text[*pos] == '"'; advances past it.
bool ReadQuoted(std::string_view text, size_t* pos, std::string* out) {
  out->clear();
  size_t i = *pos + 1;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < text.size()) {
      out->push_back(text[i + 1]);
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  return false;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The lines of a hive file, without their line ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Reads the value written on lines[*i] (trimmed: `line`), and the lines that
// continue it, advancing *i past them; false for a line that holds no value
// this registry keeps.
bool ReadValueLine(std::string_view line, const std::vector<std::string_view>& lines, size_t* i,
                   std::string* name, RegistryValue* value) {
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (line[0] == '"') {
    if (!ReadQuoted(line, &pos, name)) return false;
  } else {
    return false;
  }
  if (name->size() > kMaxValueNameLength) return false;
  std::string_view rest = Trim(line.substr(pos));
  if (rest.empty() || rest[0] != '=') return false;
  rest = Trim(rest.substr(1));
  if (!rest.empty() && rest[0] == '"') {
    size_t end = 0;
    return ReadQuoted(rest, &end, &value->data);
  }
  if (rest.empty() || rest == "-") return false;
  // Another type: keep its text, joining continuation lines.
  value->raw = true;
  value->data = std::string(rest);
  // What is kept must read back the same once written: no white space at
  // the end, and no continuation mark (one left on the last line of a
  // cut-off file would swallow the line after the value).
  while (true) {
    value->data = std::string(Trim(value->data));
    if (value->data.empty() || value->data.back() != '\\') break;
    value->data.pop_back();
    if (*i + 1 < lines.size()) value->data += Trim(lines[++*i]);
  }
  // Nothing right of '=' is no value. Joined text that starts with a quote
  // or is a lone '-' would read back as a string or a deletion.
  return !(value->data.empty() || value->data[0] == '"' || value->data == "-");
}

}  // namespace

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path.push_back('/');
  return path;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string DefaultRegistryRoot() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data != nullptr && data[0] == '/') {
    base = WithSlash(data);
  } else {
    const char* home = std::getenv("HOME");
    base = WithSlash(home != nullptr && home[0] != 0 ? home : "/tmp") + ".local/share/";
  }
  return Utf8ToAnsi(base) + "tavirelle/registry/";
}

void SetRegistryRoot(const std::string& root) {
  std::lock_guard<std::mutex> lock(g_root_mutex);
  g_root_override = root.empty() ? std::string() : WithSlash(root);
}

std::string RegistryRoot() {
  {
    std::lock_guard<std::mutex> lock(g_root_mutex);
    if (!g_root_override.empty()) return g_root_override;
  }
  const char* env = std::getenv("TAVIRELLE_REGISTRY");
  if (env != nullptr && env[0] != 0) return WithSlash(Utf8ToAnsi(env));
  return DefaultRegistryRoot();
}

bool RegistryNameLess::operator()(const std::string& a, const std::string& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

RegistryKey* RegistryKey::Subkey(std::string_view child) const {
  auto it = subkeys.find(std::string(child));
  return it == subkeys.end() ? nullptr : it->second.get();
}

RegistryHive::RegistryHive(std::string root_name) { root_.name = std::move(root_name); }

RegistryKey* RegistryHive::Find(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!SplitPath(path, &parts)) return nullptr;
  RegistryKey* key = &root_;
  for (std::string_view part : parts) {
    key = key->Subkey(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegistryKey* RegistryHive::Create(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!SplitPath(path, &parts) || parts.size() > kMaxKeyDepth) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (std::string_view part : parts) {
    if (part.size() > kMaxKeyNameLength || HasLineBreak(part)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  RegistryKey* key = &root_;
  for (std::string_view part : parts) {
    RegistryKey* child = key->Subkey(part);
    if (child == nullptr) {
      auto fresh = std::make_unique<RegistryKey>();
      fresh->name = std::string(part);
      child = fresh.get();
      key->subkeys.emplace(fresh->name, std::move(fresh));
    }
    key = child;
  }
  return key;
}

bool RegistryHive::Delete(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!SplitPath(path, &parts) || parts.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string_view last = parts.back();
  parts.pop_back();
  RegistryKey* parent = &root_;
  for (std::string_view part : parts) {
    parent = parent->Subkey(part);
    if (parent == nullptr) break;
  }
  if (parent == nullptr || parent->subkeys.erase(std::string(last)) == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return true;
}

std::string RegistryHive::ToText() const {
  std::string out(kHeader);
  out += "\n\n";
  // Depth first, children in name order; an explicit stack keeps deep trees
  // off the call stack.
  struct Frame {
    const RegistryKey* key;
    std::string path;
  };
  std::vector<Frame> stack;
  for (auto it = root_.subkeys.rbegin(); it != root_.subkeys.rend(); ++it) {
    stack.push_back({it->second.get(), root_.name + "\\" + it->second->name});
  }
  while (!stack.empty()) {
    Frame frame = std::move(stack.back());
    stack.pop_back();
    out += "[" + frame.path + "]\n";
    for (const auto& [name, value] : frame.key->values) {
      if (name.empty()) {
        out += "@";
      } else {
        AppendQuoted(&out, name);
      }
      out += "=";
      if (value.raw) {
        out += value.data;
      } else {
        AppendQuoted(&out, value.data);
      }
      out += "\n";
    }
    out += "\n";
    for (auto it = frame.key->subkeys.rbegin(); it != frame.key->subkeys.rend(); ++it) {
      stack.push_back({it->second.get(), frame.path + "\\" + it->second->name});
    }
  }
  return AnsiToUtf8(out);
}

bool RegistryHive::Parse(std::string_view utf8_text) {
  std::string text = Utf8ToAnsi(utf8_text);
  std::vector<std::string_view> lines = SplitLines(text);
  size_t first = 0;
  while (first < lines.size() && Trim(lines[first]).empty()) ++first;
  if (first == lines.size() || Trim(lines[first]) != kHeader) {
    SetLastError(ERROR_BADDB);
    return false;
  }
  root_.values.clear();
  root_.subkeys.clear();
  const std::string prefix = root_.name + "\\";
  RegistryKey* current = nullptr;  // values outside a known section are skipped
  for (size_t i = first + 1; i < lines.size(); ++i) {
    std::string_view line = Trim(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']' || line.size() < 2) continue;
      std::string_view path = line.substr(1, line.size() - 2);
      if (path.empty() || path[0] == '-') continue;  // deletions are not kept
      if (path.size() <= prefix.size() ||
          !SameIgnoringCase(path.substr(0, prefix.size()), prefix)) {
        continue;
      }
      current = Create(path.substr(prefix.size()));
      continue;
    }
    if (current == nullptr) continue;
    std::string name;
    RegistryValue value;
    if (ReadValueLine(line, lines, &i, &name, &value)) current->values[name] = std::move(value);
  }
  return true;
}

}  // namespace tavirelle
