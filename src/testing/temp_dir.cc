#include "testing/temp_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base ? base : "/tmp") +
                      "/tavirelle-test-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) {
    throw std::runtime_error("cannot create a scratch folder under " + templ);
  }
  native_ = templ + "/";
  path_ = native_;
  if (!PlainPath(templ)) {
    handle_ = ::open(templ.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (handle_ < 0) throw std::runtime_error("cannot open the scratch folder " + templ);
    path_ = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(handle_) + "/";
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only files and folders made by a test must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(native_, ignored);
       !ignored && it != std::filesystem::recursive_directory_iterator(); ++it) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(native_, ignored);
  if (handle_ >= 0) ::close(handle_);
}

}  // namespace tavirelle
