#include "platform/scratch_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace tavirelle {

namespace {

// Whether the file layer reaches `path` under its own text: printable ASCII
// that holds no wildcard and no backslash (which the layer reads as '/').
bool PlainPath(const std::string& path) {
  for (char c : path) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '?' || c == '*' || c == '\\') return false;
  }
  return true;
}

}  // namespace

Status ScratchFolder::Make(const std::string& prefix, std::unique_ptr<ScratchFolder>* folder) {
  folder->reset();
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base ? base : "/tmp") + "/" + prefix +
                      "XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) {
    return Status::Error(Win32ErrorFromErrno(errno), "cannot make a scratch folder " + templ);
  }
  std::unique_ptr<ScratchFolder> made(new ScratchFolder());
  made->native_ = templ + "/";
  made->path_ = made->native_;
  if (!PlainPath(templ)) {
    // The file layer takes code-page text: reach the folder through the
    // pure-ASCII alias "/proc/PID/fd/N/" of a handle kept open on it, the
    // same folder for the file layer, for POSIX calls and for programs.
    made->handle_ = ::open(templ.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (made->handle_ < 0) {
      return Status::Error(Win32ErrorFromErrno(errno), "cannot open the scratch folder " + templ);
    }
    made->path_ =
        "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(made->handle_) + "/";
  }
  *folder = std::move(made);
  return Status::Ok();
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Read-only files and folders must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(native_, ignored);
       !ignored && it != std::filesystem::recursive_directory_iterator(); ++it) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(native_, ignored);
  if (handle_ >= 0) ::close(handle_);
}

}  // namespace tavirelle
