#include "testing/memory_file_system.h"

#include <algorithm>
#include <cstring>

#include "platform/path.h"

namespace tavirelle {

namespace {

class MemoryFile final : public File {
 public:
  MemoryFile(std::shared_ptr<std::string> bytes, DWORD access)
      : bytes_(std::move(bytes)), access_(access) {}

  Status Read(void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    if (!open_ || (access_ & GENERIC_READ) == 0) return Status::Error(ERROR_ACCESS_DENIED);
    if (position_ < bytes_->size()) {
      uint64_t count = std::min<uint64_t>(n, bytes_->size() - position_);
      std::memcpy(buffer, bytes_->data() + position_, count);
      position_ += count;
      *done = static_cast<DWORD>(count);
    }
    return Status::Ok();
  }

  Status Write(const void* buffer, DWORD n, DWORD* done) override {
    *done = 0;
    if (!open_ || (access_ & GENERIC_WRITE) == 0) return Status::Error(ERROR_ACCESS_DENIED);
    // Refuse what no real medium of a test would hold rather than let a
    // wild offset exhaust memory.
    if (position_ + n > kLargestFile) return Status::Error(ERROR_DISK_FULL);
    if (bytes_->size() < position_ + n) bytes_->resize(position_ + n);
    if (n != 0) std::memcpy(bytes_->data() + position_, buffer, n);
    position_ += n;
    *done = n;
    return Status::Ok();
  }

  Status Seek(int64_t offset, SeekOrigin origin, uint64_t* position) override {
    int64_t base = 0;
    if (origin == SeekOrigin::kCurrent) base = static_cast<int64_t>(position_);
    if (origin == SeekOrigin::kEnd) base = static_cast<int64_t>(bytes_->size());
    if (!open_ || (offset < 0 && -offset > base)) return Status::Error(ERROR_INVALID_PARAMETER);
    position_ = static_cast<uint64_t>(base + offset);
    if (position != nullptr) *position = position_;
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    *size = bytes_->size();
    return Status::Ok();
  }

  Status Truncate() override {
    if ((access_ & GENERIC_WRITE) == 0) return Status::Error(ERROR_ACCESS_DENIED);
    if (position_ < bytes_->size()) bytes_->resize(position_);
    return Status::Ok();
  }

  Status Close() override {
    open_ = false;
    return Status::Ok();
  }

 private:
  static constexpr uint64_t kLargestFile = uint64_t{256} << 20;
  std::shared_ptr<std::string> bytes_;
  DWORD access_;
  uint64_t position_ = 0;
  bool open_ = true;
};

// As the real file system, refuses a name that holds a wildcard.
bool InvalidName(const std::string& path) { return HoldsWildcard(path); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool Matches(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (Matches(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern != '?' && Lower(*pattern) != Lower(*name)) return false;
  return Matches(pattern + 1, name + 1);
}

}  // namespace

std::string MemoryFileSystem::Key(const std::string& path) {
  std::string key = path;
  std::replace(key.begin(), key.end(), '\\', '/');
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

std::string MemoryFileSystem::Parent(const std::string& key) {
  size_t slash = key.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : key.substr(0, slash);
}

bool MemoryFileSystem::FolderExists(const std::string& key) const {
  return key.empty() || key == "/" || folders_.count(key) != 0;
}

void MemoryFileSystem::SetFile(const std::string& path, std::string contents) {
  std::string key = Key(path);
  for (std::string folder = Parent(key); !folder.empty() && folder != "/";
       folder = Parent(folder)) {
    folders_.insert(folder);
  }
  files_[key].bytes = std::make_shared<std::string>(std::move(contents));
}

bool MemoryFileSystem::GetFile(const std::string& path, std::string* contents) const {
  auto it = files_.find(Key(path));
  if (it == files_.end()) return false;
  *contents = *it->second.bytes;
  return true;
}

bool MemoryFileSystem::HasFile(const std::string& path) const {
  return files_.count(Key(path)) != 0;
}

void MemoryFileSystem::Clear() {
  files_.clear();
  folders_.clear();
}

Status MemoryFileSystem::Open(const std::string& path, DWORD access, Disposition disposition,
                              std::unique_ptr<File>* file) {
  file->reset();
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  std::string key = Key(path);
  if (folders_.count(key) != 0) return Status::Error(ERROR_ACCESS_DENIED);
  auto it = files_.find(key);
  bool exists = it != files_.end();
  switch (disposition) {
    case Disposition::kCreateNew:
      if (exists) return Status::Error(ERROR_FILE_EXISTS);
      break;
    case Disposition::kOpenExisting:
    case Disposition::kTruncateExisting:
      if (!exists) return Status::Error(ERROR_FILE_NOT_FOUND);
      break;
    default:
      break;
  }
  if (exists && (access & GENERIC_WRITE) != 0 &&
      (it->second.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return Status::Error(ERROR_ACCESS_DENIED);
  }
  if (!exists) {
    if (!FolderExists(Parent(key))) return Status::Error(ERROR_PATH_NOT_FOUND);
    it = files_.emplace(key, Node{std::make_shared<std::string>()}).first;
  } else if (disposition == Disposition::kCreateAlways ||
             disposition == Disposition::kTruncateExisting) {
    it->second.bytes->clear();
  }
  *file = std::make_unique<MemoryFile>(it->second.bytes, access);
  return Status::Ok();
}

Status MemoryFileSystem::CopyFile(const std::string& from, const std::string& to,
                                  IfExists if_exists) {
  if (InvalidName(from) || InvalidName(to)) return Status::Error(ERROR_INVALID_NAME);
  auto source = files_.find(Key(from));
  if (source == files_.end()) return Status::Error(ERROR_FILE_NOT_FOUND);
  std::string target = Key(to);
  if (if_exists == IfExists::kFail && files_.count(target) != 0) return Status::Error(ERROR_FILE_EXISTS);
  if (!FolderExists(Parent(target))) return Status::Error(ERROR_PATH_NOT_FOUND);
  files_[target] = Node{std::make_shared<std::string>(*source->second.bytes),
                        source->second.attributes};
  return Status::Ok();
}

Status MemoryFileSystem::DeleteFile(const std::string& path) {
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  auto it = files_.find(Key(path));
  if (it == files_.end()) return Status::Error(ERROR_FILE_NOT_FOUND);
  if ((it->second.attributes & FILE_ATTRIBUTE_READONLY) != 0) return Status::Error(ERROR_ACCESS_DENIED);
  files_.erase(it);
  return Status::Ok();
}

Status MemoryFileSystem::MoveFile(const std::string& from, const std::string& to,
                                  IfExists if_exists) {
  if (InvalidName(from) || InvalidName(to)) return Status::Error(ERROR_INVALID_NAME);
  std::string source = Key(from), target = Key(to);
  auto it = files_.find(source);
  if (it == files_.end()) return Status::Error(ERROR_FILE_NOT_FOUND);
  if (source == target) return Status::Ok();
  if (files_.count(target) != 0 && if_exists == IfExists::kFail) {
    return Status::Error(ERROR_ALREADY_EXISTS);
  }
  if (!FolderExists(Parent(target))) return Status::Error(ERROR_PATH_NOT_FOUND);
  Node node = it->second;
  files_.erase(it);
  files_[target] = node;
  return Status::Ok();
}

Status MemoryFileSystem::CreateDirectory(const std::string& path) {
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  std::string key = Key(path);
  if (folders_.count(key) != 0 || files_.count(key) != 0) return Status::Error(ERROR_ALREADY_EXISTS);
  if (!FolderExists(Parent(key))) return Status::Error(ERROR_PATH_NOT_FOUND);
  folders_.insert(key);
  return Status::Ok();
}

Status MemoryFileSystem::RemoveDirectory(const std::string& path) {
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  std::string key = Key(path);
  if (folders_.count(key) == 0) return Status::Error(ERROR_PATH_NOT_FOUND);
  std::string prefix = key + "/";
  auto file = files_.lower_bound(prefix);
  auto folder = folders_.upper_bound(key);
  if ((file != files_.end() && file->first.compare(0, prefix.size(), prefix) == 0) ||
      (folder != folders_.end() && folder->compare(0, prefix.size(), prefix) == 0)) {
    return Status::Error(ERROR_DIR_NOT_EMPTY);
  }
  folders_.erase(key);
  return Status::Ok();
}

Status MemoryFileSystem::GetFileAttributes(const std::string& path, DWORD* attributes) {
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  std::string key = Key(path);
  if (folders_.count(key) != 0) {
    *attributes = FILE_ATTRIBUTE_DIRECTORY;
    return Status::Ok();
  }
  auto it = files_.find(key);
  if (it == files_.end()) {
    return Status::Error(FolderExists(Parent(key)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  }
  *attributes = it->second.attributes;
  return Status::Ok();
}

Status MemoryFileSystem::SetFileAttributes(const std::string& path, DWORD attributes) {
  if (InvalidName(path)) return Status::Error(ERROR_INVALID_NAME);
  auto it = files_.find(Key(path));
  if (it == files_.end()) return Status::Error(ERROR_FILE_NOT_FOUND);
  it->second.attributes = attributes & ~FILE_ATTRIBUTE_DIRECTORY;
  return Status::Ok();
}

Status MemoryFileSystem::Find(const std::string& pattern, std::vector<FindData>* matches) {
  matches->clear();
  std::string key = Key(pattern);
  std::string folder = Parent(key);
  size_t slash = key.rfind('/');
  std::string wanted = slash == std::string::npos ? key : key.substr(slash + 1);
  if (InvalidName(folder)) return Status::Error(ERROR_INVALID_NAME);
  if (!FolderExists(folder)) return Status::Error(ERROR_PATH_NOT_FOUND);
  if (!HoldsWildcard(wanted)) {
    // A plain name is one exact look-up, as on the real file system.
    DWORD attributes = 0;
    Status found = GetFileAttributes(key, &attributes);
    if (!found.ok()) return found;
    auto file = files_.find(key);
    uint64_t size = file != files_.end() ? file->second.bytes->size() : 0;
    matches->push_back({wanted, attributes, size, {}});
    return Status::Ok();
  }
  std::string prefix = folder.empty() || folder == "/" ? folder : folder + "/";
  auto child_name = [&](const std::string& path) -> std::string {
    if (path.compare(0, prefix.size(), prefix) != 0) return {};
    std::string rest = path.substr(prefix.size());
    return rest.find('/') == std::string::npos ? rest : std::string();
  };
  std::vector<FindData> found;
  for (const auto& [path, node] : files_) {
    std::string name = child_name(path);
    if (!name.empty() && Matches(wanted.c_str(), name.c_str())) {
      found.push_back({name, node.attributes, node.bytes->size(), {}});
    }
  }
  for (const std::string& path : folders_) {
    std::string name = child_name(path);
    if (!name.empty() && Matches(wanted.c_str(), name.c_str())) {
      found.push_back({name, FILE_ATTRIBUTE_DIRECTORY, 0, {}});
    }
  }
  std::sort(found.begin(), found.end(), [](const FindData& a, const FindData& b) {
    return std::lexicographical_compare(
        a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
        [](char x, char y) { return Lower(x) < Lower(y); });
  });
  if (found.empty()) return Status::Error(ERROR_FILE_NOT_FOUND);
  *matches = std::move(found);
  return Status::Ok();
}

}  // namespace tavirelle
