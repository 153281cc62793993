#include "platform/host.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/path.h"

namespace tavirelle {

std::string HostExecutablePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return NameFromNative(std::string_view(buffer, static_cast<size_t>(n)));
}

namespace {

// Where the data folder lies from the folder of the program and from that of
// the module; the build sets them from its install folders.
#ifndef TAVIRELLE_DATA_FROM_BINDIR
#define TAVIRELLE_DATA_FROM_BINDIR "../share/tavirelle"
#endif
#ifndef TAVIRELLE_DATA_FROM_LIBDIR
#define TAVIRELLE_DATA_FROM_LIBDIR "../share/tavirelle"
#endif

// `folder` (absolute) followed by the relative path `relative`, with its ".."
// steps taken, and a trailing slash.
std::string JoinFolder(const std::string& folder, const std::string& relative) {
  std::vector<std::string> parts;
  auto add = [&parts](const std::string& path) {
    size_t begin = 0;
    while (begin <= path.size()) {
      size_t end = path.find('/', begin);
      if (end == std::string::npos) end = path.size();
      std::string part = path.substr(begin, end - begin);
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      begin = end + 1;
    }
  };
  add(folder);
  add(relative);
  std::string joined = "/";
  for (const std::string& part : parts) joined += part + "/";
  return joined;
}

}  // namespace

std::string InstalledDataFolder() {
  // The loader names a shared object by the path it loaded it from; the
  // program has no such name (the loader offers argv[0]), so it is found
  // through /proc.
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(reinterpret_cast<void*>(&InstalledDataFolder), &info,
                reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
      map == nullptr) {
    return {};
  }
  bool is_program = map->l_name == nullptr || map->l_name[0] == '\0';
  char resolved[PATH_MAX];
  if (::realpath(is_program ? "/proc/self/exe" : map->l_name, resolved) == nullptr) return {};
  std::string file = resolved;
  std::string folder = file.substr(0, file.rfind('/') + 1);
  return NameFromNative(
      JoinFolder(folder, is_program ? TAVIRELLE_DATA_FROM_BINDIR : TAVIRELLE_DATA_FROM_LIBDIR));
}

std::string PlatformSpecialFolder(int csidl) {
  if (csidl == CSIDL_COMMON_APPDATA) return "/var/lib/";
  return {};
}

}  // namespace tavirelle
