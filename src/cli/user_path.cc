#include "cli/user_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "cli/command.h"
#include "platform/code_page.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/status.h"

namespace tavirelle {

namespace {

// Whether the component can take the typed text as its own name: the code
// page holds every character, and nothing in it reads as a wildcard or a
// drive prefix that the platform layer would treat as one.
bool Unreachable(const std::string& name) {
  bool used_default = false;
  std::string ansi = Utf8ToAnsi(name, &used_default);
  return used_default || AnsiToUtf8(ansi) != name || HoldsWildcard(name);
}

bool NeedsAlias(const std::string& typed) {
  if (Unreachable(typed)) return true;
  return typed.size() >= 2 && typed[1] == ':' &&
         std::isalpha(static_cast<unsigned char>(typed[0]));
}

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// The extension of `name` when it is plain ASCII, so that a temporary name
// keeps the type the component may look at.
std::string AsciiExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  std::string extension = name.substr(dot);
  for (size_t i = 1; i < extension.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(extension[i]))) return {};
  }
  return extension;
}

std::string Reason(int err) { return ErrorInWords(Win32ErrorFromErrno(err)); }

}  // namespace

UserPaths::~UserPaths() {
  for (const Output& output : outputs_) {
    if (!output.committed) ::unlinkat(output.folder_fd, output.temporary.c_str(), 0);
    ::close(output.folder_fd);
  }
  for (const Alias& alias : aliases_) ::close(alias.fd);
}

std::string UserPaths::Remember(int fd, const std::string& typed, bool folder) {
  Alias alias;
  alias.fd = fd;
  alias.alias = FdPath(fd) + (folder ? "/" : "");
  alias.typed = typed;
  alias.folder = folder;
  aliases_.push_back(alias);
  return alias.alias;
}

std::string UserPaths::In(const std::string& typed) {
  if (!NeedsAlias(typed)) return typed;
  int fd = ::open(typed.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return typed;
  struct stat st {};
  bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  return Remember(fd, typed, folder);
}

std::string UserPaths::OutFolder(const std::string& typed) {
  if (!NeedsAlias(typed)) return typed;
  std::string path = WithSlash(typed);
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0777);  // existing levels pass
  }
  int fd = ::open(typed.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return typed;
  return Remember(fd, typed, /*folder=*/true);
}

std::string UserPaths::ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return WithSlash(Utf8ToAnsi(In(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp")));
}

std::string UserPaths::OutFile(const std::string& typed, bool whole) {
  if ((!whole && !NeedsAlias(typed)) || typed.empty() || typed.back() == '/') return typed;
  size_t slash = typed.rfind('/');
  Output output;
  output.name = slash == std::string::npos ? typed : typed.substr(slash + 1);
  output.typed_folder = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : typed.substr(0, slash);
  output.folder_fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (output.folder_fd < 0) return typed;
  std::random_device random;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, ".tavirelle-%08x%08x", random(), random());
  output.temporary = stamp + AsciiExtension(output.name);
  output.alias = FdPath(output.folder_fd) + "/" + output.temporary;
  outputs_.push_back(output);
  return output.alias;
}

Status UserPaths::Commit(Taken taken) {
  const bool replace = taken == Taken::kReplace;
  for (Output& output : outputs_) {
    if (output.committed) continue;
    struct stat st {};
    if (::fstatat(output.folder_fd, output.temporary.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // the component wrote nothing there
    }
    std::string stem = output.name, extension;
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot != 0) {
      extension = stem.substr(dot);
      stem.erase(dot);
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string name = output.name;
    for (int n = 2;; ++n) {
      int rc = replace ? ::renameat(output.folder_fd, output.temporary.c_str(),
                                    output.folder_fd, name.c_str())
                       : ::renameat2(output.folder_fd, output.temporary.c_str(),
                                     output.folder_fd, name.c_str(), RENAME_NOREPLACE);
      if (rc == 0) break;
      if (replace || errno != EEXIST || taken == Taken::kRefuse) {
        const int err = errno;
        return Status::Error(Win32ErrorFromErrno(err),
                             output.typed_folder + output.name + ": " + Reason(err));
      }
      name = stem + " (" + std::to_string(n) + ")" + extension;
    }
    output.name = name;
    output.committed = true;
  }
  return Status::Ok();
}

std::string UserPaths::Typed(const std::string& reported) const {
  for (const Output& output : outputs_) {
    if (reported.compare(0, output.alias.size(), output.alias) == 0) {
      return output.typed_folder + output.name + reported.substr(output.alias.size());
    }
  }
  for (const Alias& alias : aliases_) {
    std::string prefix = FdPath(alias.fd);
    if (reported.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = reported.substr(prefix.size());
    if (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest[0]))) continue;
    if (alias.folder && !rest.empty() && (rest[0] == '/' || rest[0] == '\\')) {
      return WithSlash(alias.typed) + rest.substr(1);
    }
    return alias.typed + rest;
  }
  return reported;
}

bool UserPathExists(const std::string& typed) {
  struct stat st {};
  return ::stat(typed.c_str(), &st) == 0;
}

std::string FirstUnreachableEntry(const std::string& typed_folder) {
  DIR* dir = ::opendir(typed_folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (struct dirent* entry = ::readdir(dir)) {
    struct stat st {};
    bool folder = entry->d_type == DT_DIR ||
                  (entry->d_type == DT_UNKNOWN &&
                   ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode));
    if (!folder && Unreachable(entry->d_name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace tavirelle
