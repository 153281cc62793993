// The Registry class over the system's registry (advapi32). Each change
// reaches the system as it is made, as the system's registry has no
// changes held for a later Save(); the keys Find and Create return are
// copies taken then, kept in this object.
#include "com/registry.h"

#include <cstdio>

#include "platform/code_page.h"
#include "platform/last_error.h"
#include "platform/windows/win32.h"

namespace tavirelle {

namespace {

constexpr uint32_t kString = 1, kExpandString = 2, kNumber = 4;

// A full path split into its predefined key and the path below it.
struct KeyPath {
  win32::Handle root = nullptr;
  std::string head;
  std::u16string rest;
};

bool IsClassesRoot(std::string_view head) {
  return SameIgnoringCase(head, kClassesRoot) || SameIgnoringCase(head, "HKCR");
}

// The classes root is spelt out as the machine's classes, or with
// `users_classes` the current user's: the system's merged view is not
// there on every system (wine keeps the machine's alone), and writes
// through it go to the machine's on both systems.
bool Split(std::string_view full_path, KeyPath* path, bool users_classes = false) {
  size_t cut = full_path.find('\\');
  path->head = std::string(full_path.substr(0, cut));
  std::string_view below =
      cut == std::string_view::npos ? std::string_view() : full_path.substr(cut + 1);
  std::string classes;
  if (IsClassesRoot(path->head)) {
    path->head = users_classes ? kCurrentUser : kLocalMachine;
    classes = "Software\\Classes";
    if (!below.empty()) classes.append("\\").append(below);
    below = classes;
  }
  path->root = win32::PredefinedKey(path->head);
  if (path->root == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  path->rest = AnsiToWide(below);
  return true;
}

// A value as the registry's text export spells the right of its '=':
// strings as they are, numbers as dword:, anything else as hex(type):.
RegistryValue ValueOf(const win32::RegistryEntry& entry) {
  if (entry.type == kString || entry.type == kExpandString) {
    std::u16string text(entry.data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(entry.data[2 * i] | (entry.data[2 * i + 1] << 8));
    }
    size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    if (entry.type == kString) return RegistryValue{WideToAnsi(text), false};
  }
  char piece[16];
  std::string raw;
  if (entry.type == kNumber && entry.data.size() == 4) {
    unsigned number = entry.data[0] | (entry.data[1] << 8) | (entry.data[2] << 16) |
                      (static_cast<unsigned>(entry.data[3]) << 24);
    std::snprintf(piece, sizeof piece, "dword:%08x", number);
    return RegistryValue{piece, true};
  }
  std::snprintf(piece, sizeof piece, "hex(%x):", static_cast<unsigned>(entry.type));
  raw = piece;
  for (size_t i = 0; i < entry.data.size(); ++i) {
    std::snprintf(piece, sizeof piece, i == 0 ? "%02x" : ",%02x", entry.data[i]);
    raw += piece;
  }
  return RegistryValue{raw, true};
}

}  // namespace

Registry::Registry(FileSystem& fs, std::string root)
    : fs_(fs), root_(WithSlash(std::move(root))) {}

Status Registry::Load() { return Status::Ok(); }

Status Registry::Save() { return Status::Ok(); }

// The copies of the system's keys live in machine_, by their full paths;
// there are no hives of the module's own.
RegistryHive* Registry::hive(std::string_view) { return nullptr; }

RegistryHive* Registry::Resolve(std::string_view, std::string_view*, bool) { return nullptr; }

RegistryKey* Registry::FindKey(std::string_view full_path) {
  std::string_view head = full_path.substr(0, full_path.find('\\'));
  std::vector<win32::RegistryEntry> values;
  std::vector<std::u16string> subkeys;
  // Under the classes root the user's key wins over the machine's.
  bool found = false;
  for (bool users : {true, false}) {
    if (!users && found) break;
    if (users && !IsClassesRoot(head)) continue;
    KeyPath path;
    if (!Split(full_path, &path, users)) return nullptr;
    found = win32::RegistryReadKey(path.root, path.rest, &values, &subkeys);
  }
  if (!found) {
    SetLastError(win32::LastError());
    return nullptr;
  }
  std::string copy_path(full_path);
  machine_.Delete(copy_path);
  RegistryKey* key = machine_.Create(copy_path);
  if (key == nullptr) return nullptr;
  for (const win32::RegistryEntry& entry : values) {
    key->values[WideToAnsi(entry.name)] = ValueOf(entry);
  }
  for (const std::u16string& name : subkeys) {
    auto child = std::make_unique<RegistryKey>();
    child->name = WideToAnsi(name);
    std::string child_name = child->name;
    key->subkeys[child_name] = std::move(child);
  }
  return key;
}

RegistryKey* Registry::CreateKey(std::string_view full_path) {
  KeyPath path;
  if (!Split(full_path, &path)) return nullptr;
  if (!win32::RegistryCreateKey(path.root, path.rest)) {
    SetLastError(win32::LastError());
    return nullptr;
  }
  return FindKey(full_path);
}

bool Registry::DeleteKey(std::string_view full_path) {
  KeyPath path;
  if (!Split(full_path, &path)) return false;
  if (!win32::RegistryDeleteTree(path.root, path.rest)) {
    SetLastError(win32::LastError());
    return false;
  }
  machine_.Delete(full_path);
  return true;
}

bool Registry::SetValue(std::string_view full_path, const std::string& name,
                        const std::string& value) {
  KeyPath path;
  if (!Split(full_path, &path)) return false;
  if (!win32::RegistrySetString(path.root, path.rest, AnsiToWide(name), AnsiToWide(value))) {
    SetLastError(win32::LastError());
    return false;
  }
  return true;
}

bool Registry::SetNumber(std::string_view full_path, const std::string& name, uint32_t value) {
  KeyPath path;
  if (!Split(full_path, &path)) return false;
  if (!win32::RegistrySetNumber(path.root, path.rest, AnsiToWide(name), value)) {
    SetLastError(win32::LastError());
    return false;
  }
  return true;
}

bool Registry::DeleteValue(std::string_view full_path, const std::string& name) {
  KeyPath path;
  if (!Split(full_path, &path)) return false;
  if (!win32::RegistryDeleteValue(path.root, path.rest, AnsiToWide(name))) {
    SetLastError(win32::LastError());
    return false;
  }
  return true;
}

bool Registry::GetValue(std::string_view full_path, const std::string& name,
                        std::string* value) {
  RegistryKey* key = FindKey(full_path);
  if (key == nullptr) return false;
  auto it = key->values.find(name);
  if (it == key->values.end() || it->second.raw) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  *value = it->second.data;
  return true;
}

}  // namespace tavirelle
