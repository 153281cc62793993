#include "testing/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tavirelle {

bool InTestTimeZone() {
  const char* zone = std::getenv("TZ");
  return zone != nullptr && std::strcmp(zone, TAVIRELLE_TEST_TIME_ZONE) == 0;
}

void SetLastWrite(const std::string& path, int64_t seconds, int32_t nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

}  // namespace tavirelle
