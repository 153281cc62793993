// The registry kept in hive files under a root folder: every change is made
// to the hives in memory, and Save() writes each changed hive to a new file
// that then replaces the old one.
#include "com/registry.h"

#include <cstdio>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"

namespace tavirelle {

namespace {

// Files written by the platform's editor are UTF-16 with a byte-order mark;
// ours are UTF-8. Either becomes UTF-8 text.
std::string ToUtf8Text(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string wide;
    wide.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return WideToUtf8(wide);
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
  return bytes;
}

Status ReadHiveFile(FileSystem& fs, const std::string& path, std::string* contents,
                    bool* missing) {
  *missing = false;
  DWORD attributes = 0;
  Status found = fs.GetFileAttributes(path, &attributes);
  if (!found.ok()) {
    // Only a hive that is not there is empty: a look-up that failed for
    // another reason must not become one, or the next save would replace
    // the real hive with the few keys just written.
    DWORD error = found.code();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return found;
    *missing = true;
    return Status::Ok();
  }
  std::unique_ptr<File> file;
  Status status = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  uint64_t size = 0;
  if (status.ok()) status = file->Size(&size);
  if (!status.ok()) return status;
  if (size > kMaxHiveFileSize) return Status::Error(ERROR_BADDB);
  contents->assign(static_cast<size_t>(size), '\0');
  size_t have = 0;
  while (have < contents->size()) {
    DWORD done = 0;
    status = file->Read(contents->data() + have, static_cast<DWORD>(contents->size() - have), &done);
    if (!status.ok()) return status;
    if (done == 0) break;
    have += done;
  }
  contents->resize(have);
  return Status::Ok();
}

// Creates the folder and the folders above it.
Status CreateFolders(FileSystem& fs, const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      std::string prefix = folder.substr(0, i);
      if (prefix.empty()) continue;
      DWORD attributes = 0;
      if (fs.GetFileAttributes(prefix, &attributes).ok()) continue;
      Status made = fs.CreateDirectory(prefix);
      // Another process may have made it meanwhile.
      if (!made.ok() && !fs.GetFileAttributes(prefix, &attributes).ok()) return made;
    }
  }
  return Status::Ok();
}

Status WriteAtomically(FileSystem& fs, const std::string& path, const std::string& text) {
  std::string fresh = path + ".new";
  std::unique_ptr<File> file;
  Status status = fs.Open(fresh, GENERIC_WRITE, Disposition::kCreateAlways, &file);
  if (!status.ok()) return status;
  DWORD done = 0;
  status = file->Write(text.data(), static_cast<DWORD>(text.size()), &done);
  // A short write the platform gave no reason for still fails.
  if (status.ok() && done != text.size()) status = Status::Error(ERROR_SUCCESS);
  Status closed = file->Close();
  if (status.ok()) status = closed;
  file.reset();
  if (status.ok()) status = fs.MoveFile(fresh, path, IfExists::kReplace);
  if (!status.ok()) fs.DeleteFile(fresh).IgnoreError();
  return status;
}

}  // namespace

Registry::Registry(FileSystem& fs, std::string root) : fs_(fs), root_(WithSlash(std::move(root))) {}

Status Registry::Load() {
  for (RegistryHive* hive : {&machine_, &user_}) {
    std::string path = root_ + hive->root_name() + ".reg";
    std::string bytes;
    bool missing = false;
    Status read = ReadHiveFile(fs_, path, &bytes, &missing);
    if (!read.ok()) return read;
    if (missing) {
      *hive = RegistryHive(hive->root_name());
      continue;
    }
    if (!hive->Parse(ToUtf8Text(bytes))) return Status::Error(ERROR_BADDB);
  }
  machine_changed_ = user_changed_ = false;
  return Status::Ok();
}

Status Registry::Save() {
  if (!machine_changed_ && !user_changed_) return Status::Ok();
  Status status = CreateFolders(fs_, root_.substr(0, root_.size() - 1));
  if (!status.ok()) return status;
  if (machine_changed_) {
    status = WriteAtomically(fs_, root_ + machine_.root_name() + ".reg", machine_.ToText());
    if (!status.ok()) return status;
    machine_changed_ = false;
  }
  if (user_changed_) {
    status = WriteAtomically(fs_, root_ + user_.root_name() + ".reg", user_.ToText());
    if (!status.ok()) return status;
    user_changed_ = false;
  }
  return Status::Ok();
}

RegistryHive* Registry::hive(std::string_view name) {
  if (SameIgnoringCase(name, kLocalMachine) || SameIgnoringCase(name, "HKLM")) return &machine_;
  if (SameIgnoringCase(name, kCurrentUser) || SameIgnoringCase(name, "HKCU")) return &user_;
  return nullptr;
}

RegistryHive* Registry::Resolve(std::string_view full_path, std::string_view* rest,
                                bool for_write) {
  size_t cut = full_path.find('\\');
  std::string_view head = full_path.substr(0, cut);
  *rest = cut == std::string_view::npos ? std::string_view() : full_path.substr(cut + 1);
  RegistryHive* found = hive(head);
  if (found != nullptr) {
    if (for_write) (found == &machine_ ? machine_changed_ : user_changed_) = true;
    return found;
  }
  if (SameIgnoringCase(head, kClassesRoot) || SameIgnoringCase(head, "HKCR")) {
    // Writes through the merged view land in the machine's classes.
    if (for_write) machine_changed_ = true;
    return &machine_;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

RegistryKey* Registry::FindKey(std::string_view full_path) {
  size_t cut = full_path.find('\\');
  std::string_view head = full_path.substr(0, cut);
  std::string_view rest =
      cut == std::string_view::npos ? std::string_view() : full_path.substr(cut + 1);
  if (SameIgnoringCase(head, kClassesRoot) || SameIgnoringCase(head, "HKCR")) {
    std::string classes = "Software\\Classes";
    if (!rest.empty()) classes.append("\\").append(rest);
    RegistryKey* key = user_.Find(classes);
    if (key == nullptr) key = machine_.Find(classes);
    if (key == nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
    return key;
  }
  RegistryHive* h = Resolve(full_path, &rest, /*for_write=*/false);
  if (h == nullptr) return nullptr;
  RegistryKey* key = h->Find(rest);
  if (key == nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
  return key;
}

namespace {
std::string ClassesPath(std::string_view head, std::string_view rest) {
  if (SameIgnoringCase(head, kClassesRoot) || SameIgnoringCase(head, "HKCR")) {
    return rest.empty() ? std::string("Software\\Classes")
                        : "Software\\Classes\\" + std::string(rest);
  }
  return std::string(rest);
}
}  // namespace

RegistryKey* Registry::CreateKey(std::string_view full_path) {
  std::string_view rest;
  RegistryHive* h = Resolve(full_path, &rest, /*for_write=*/true);
  if (h == nullptr) return nullptr;
  return h->Create(ClassesPath(full_path.substr(0, full_path.find('\\')), rest));
}

bool Registry::DeleteKey(std::string_view full_path) {
  std::string_view rest;
  RegistryHive* h = Resolve(full_path, &rest, /*for_write=*/true);
  if (h == nullptr) return false;
  return h->Delete(ClassesPath(full_path.substr(0, full_path.find('\\')), rest));
}

bool Registry::SetValue(std::string_view full_path, const std::string& name,
                        const std::string& value) {
  if (name.size() > kMaxValueNameLength || HasLineBreak(name) || HasLineBreak(value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  RegistryKey* key = CreateKey(full_path);
  if (key == nullptr) return false;
  key->values[name] = RegistryValue{value, false};
  return true;
}

bool Registry::SetNumber(std::string_view full_path, const std::string& name, uint32_t value) {
  if (name.size() > kMaxValueNameLength || HasLineBreak(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  RegistryKey* key = CreateKey(full_path);
  if (key == nullptr) return false;
  char text[16];
  std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
  key->values[name] = RegistryValue{text, true};
  return true;
}

bool Registry::DeleteValue(std::string_view full_path, const std::string& name) {
  std::string_view rest;
  RegistryHive* h = Resolve(full_path, &rest, /*for_write=*/true);
  if (h == nullptr) return false;
  RegistryKey* key = h->Find(ClassesPath(full_path.substr(0, full_path.find('\\')), rest));
  if (key == nullptr || key->values.erase(name) == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return true;
}

bool Registry::GetValue(std::string_view full_path, const std::string& name,
                        std::string* value) {
  std::vector<RegistryKey*> keys;
  size_t cut = full_path.find('\\');
  std::string_view head = full_path.substr(0, cut);
  if (SameIgnoringCase(head, kClassesRoot) || SameIgnoringCase(head, "HKCR")) {
    // The user's value wins; a user key without it shows the machine's.
    std::string classes = ClassesPath(head, cut == std::string_view::npos
                                                ? std::string_view()
                                                : full_path.substr(cut + 1));
    keys = {user_.Find(classes), machine_.Find(classes)};
  } else {
    keys = {FindKey(full_path)};
  }
  for (RegistryKey* key : keys) {
    if (key == nullptr) continue;
    auto it = key->values.find(name);
    if (it != key->values.end() && !it->second.raw) {
      *value = it->second.data;
      return true;
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

}  // namespace tavirelle
