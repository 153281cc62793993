#include "platform/links.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/path.h"

namespace tavirelle {

namespace {

std::string RealPath(const std::string& native) {
  char* resolved = ::realpath(native.c_str(), nullptr);
  const std::string path = resolved == nullptr ? std::string() : std::string(resolved);
  std::free(resolved);
  return path;
}

}  // namespace

LinkReach ReachOfLink(const std::string& folder, const std::string& path) {
  const std::string native = NativePath(path);
  struct stat link {};
  if (::lstat(native.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return LinkReach::kNoLink;
  struct stat target {};
  if (::stat(native.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
    return LinkReach::kNotAFile;
  }
  const std::string inside = RealPath(NativePath(folder));
  const std::string resolved = RealPath(native);
  const bool within = !inside.empty() && !resolved.empty() &&
                      resolved.compare(0, inside.size() + 1, inside + "/") == 0;
  return within ? LinkReach::kFileInside : LinkReach::kOutside;
}

}  // namespace tavirelle
