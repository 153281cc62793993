#include "platform/host.h"

#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/path.h"

namespace tavirelle {

std::string HostExecutablePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    SetLastErrorFromErrno(errno);
    return {};
  }
  return NameFromNative(std::string_view(buffer, static_cast<size_t>(n)));
}

std::string PlatformSpecialFolder(int csidl) {
  if (csidl == CSIDL_COMMON_APPDATA) return "/var/lib/";
  return {};
}

}  // namespace tavirelle
