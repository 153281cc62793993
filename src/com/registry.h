// The registry: keys and string values kept in files under a root folder
// that the host chooses, one file per hive, in the text form of the
// platform's registry export ("Windows Registry Editor Version 5.00",
// "[HKEY_...\key]" sections, "name"="value" and @="value" lines), so that
// people and tools can read and diff it.
//
// HKEY_CLASSES_ROOT is a view: the current user's Software\Classes over the
// machine's. Writes go to HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
//
// Root folder: SetRegistryRoot() when a host set one, else the environment
// variable TAVIRELLE_REGISTRY, else $XDG_DATA_HOME/tavirelle/registry/, else
// $HOME/.local/share/tavirelle/registry/.
//
// On Windows the Registry class is the system's registry (advapi32) under
// the same contract, and its root folder means nothing: each change reaches
// the system as it is made (Save() has nothing left to write), HKEY_CLASSES_ROOT
// is the system's own merged view, and a key Find/Create returns is a copy of
// the system's key as it was then (its values, and its subkeys by name only).
#ifndef TAVIRELLE_COM_REGISTRY_H_
#define TAVIRELLE_COM_REGISTRY_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "tavirelle/types.h"

namespace tavirelle {

inline constexpr DWORD ERROR_BADDB = 1009;

inline constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
inline constexpr char kCurrentUser[] = "HKEY_CURRENT_USER";
inline constexpr char kClassesRoot[] = "HKEY_CLASSES_ROOT";

// Limits of the platform's registry; files that exceed them are rejected.
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
inline constexpr uint64_t kMaxHiveFileSize = uint64_t{64} << 20;

// Registry names compare ignoring ASCII case.
bool SameIgnoringCase(std::string_view a, std::string_view b);
// `path` with a trailing slash, unless it ends in one (or is empty).
std::string WithSlash(std::string path);
// Key names and the hive files' values hold no line break.
bool HasLineBreak(std::string_view text);

std::string DefaultRegistryRoot();
// Overrides the root folder for this process; an empty text removes the
// override.
void SetRegistryRoot(const std::string& root);
// The root folder in use, with a trailing slash.
std::string RegistryRoot();

// Orders names the way the registry compares them: ignoring ASCII case.
struct RegistryNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct RegistryValue {
  // A string value, or (raw) the text right of '=' of a value of another
  // type, kept as it was read so it survives a rewrite.
  std::string data;
  bool raw = false;
};

struct RegistryKey {
  std::string name;
  std::map<std::string, RegistryValue, RegistryNameLess> values;  // "" = default
  std::map<std::string, std::unique_ptr<RegistryKey>, RegistryNameLess> subkeys;

  RegistryKey* Subkey(std::string_view child) const;
};

// One hive: a tree of keys under a root named like "HKEY_LOCAL_MACHINE".
class RegistryHive {
 public:
  explicit RegistryHive(std::string root_name);

  const std::string& root_name() const { return root_.name; }
  RegistryKey* root() { return &root_; }

  // Paths are relative to the hive root, components separated by backslashes.
  RegistryKey* Find(std::string_view path);
  // Creates missing keys; null (last error ERROR_INVALID_PARAMETER) for an
  // empty component, an over-long name or a path too deep.
  RegistryKey* Create(std::string_view path);
  // Deletes a key with everything below it; false when missing.
  bool Delete(std::string_view path);

  std::string ToText() const;
  // Replaces the contents with a hive text. False (ERROR_BADDB) when the
  // text is not a registry export; lines it cannot understand are skipped.
  bool Parse(std::string_view text);

 private:
  RegistryKey root_;
};

// The hives kept under a root folder.
class Registry {
 public:
  // Keeps its hive files in `fs`, which must outlive the object.
  explicit Registry(FileSystem& fs, std::string root = RegistryRoot());

  const std::string& root() const { return root_; }

  // Reads the hive files; a missing file is an empty hive. Fails when a
  // file cannot be read, or with ERROR_BADDB when it is not a registry
  // export.
  Status Load();
  // Writes the hives changed since loading, each to a new file that then
  // replaces the old one, so a failure never leaves a half-written hive.
  Status Save();

  // Full paths start with the hive name ("HKEY_LOCAL_MACHINE\Software");
  // HKEY_CLASSES_ROOT paths are looked up in the merged view.
  RegistryKey* FindKey(std::string_view full_path);
  RegistryKey* CreateKey(std::string_view full_path);
  bool DeleteKey(std::string_view full_path);
  bool SetValue(std::string_view full_path, const std::string& name,
                const std::string& value);
  // A 32-bit number value (REG_DWORD), making the key when missing.
  bool SetNumber(std::string_view full_path, const std::string& name, uint32_t value);
  bool DeleteValue(std::string_view full_path, const std::string& name);
  // Reads a string value; false when the key or value is missing.
  bool GetValue(std::string_view full_path, const std::string& name,
                std::string* value);

  // The hive kept in the file of that name; null where the registry is the
  // system's, which has no files of the module's own.
  RegistryHive* hive(std::string_view name);

 private:
  // The hive a full path lives in and the path inside it.
  RegistryHive* Resolve(std::string_view full_path, std::string_view* rest,
                        bool for_write);

  FileSystem& fs_;
  std::string root_;
  RegistryHive machine_{kLocalMachine};
  RegistryHive user_{kCurrentUser};
  bool machine_changed_ = false;
  bool user_changed_ = false;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_REGISTRY_H_
