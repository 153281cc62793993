// A file system held entirely in memory, for fuzzing and for tests that
// must not touch the disk: files are byte strings keyed by path, folders a
// set of names. Backslashes and slashes both separate components.
#ifndef TAVIRELLE_TESTING_MEMORY_FILE_SYSTEM_H_
#define TAVIRELLE_TESTING_MEMORY_FILE_SYSTEM_H_

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem() = default;

  // Creates or replaces a file (its folder need not exist).
  void SetFile(const std::string& path, std::string contents);
  // The contents of a file; false when there is none.
  bool GetFile(const std::string& path, std::string* contents) const;
  bool HasFile(const std::string& path) const;
  // Every file and folder is removed.
  void Clear();

  Status Open(const std::string& path, DWORD access, Disposition disposition,
              std::unique_ptr<File>* file) override;
  Status CopyFile(const std::string& from, const std::string& to, IfExists if_exists) override;
  Status DeleteFile(const std::string& path) override;
  Status MoveFile(const std::string& from, const std::string& to, IfExists if_exists) override;
  Status CreateDirectory(const std::string& path) override;
  Status RemoveDirectory(const std::string& path) override;
  Status GetFileAttributes(const std::string& path, DWORD* attributes) override;
  Status SetFileAttributes(const std::string& path, DWORD attributes) override;
  Status Find(const std::string& pattern, std::vector<FindData>* matches) override;

 private:
  struct Node {
    std::shared_ptr<std::string> bytes;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  };
  // Slashes only, no trailing slash.
  static std::string Key(const std::string& path);
  static std::string Parent(const std::string& key);
  bool FolderExists(const std::string& key) const;

  std::map<std::string, Node> files_;
  std::set<std::string> folders_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_MEMORY_FILE_SYSTEM_H_
