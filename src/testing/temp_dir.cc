#include "testing/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tavirelle {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base ? base : "/tmp") +
                      "/tavirelle-test-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) {
    throw std::runtime_error("cannot create a scratch folder");
  }
  path_ = templ + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Read-only files and folders made by a test must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       !ignored && it != std::filesystem::recursive_directory_iterator(); ++it) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace tavirelle
