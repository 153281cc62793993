#include "testing/file_times.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/file_dates.h"

namespace tavirelle {

bool InTestTimeZone() {
  const char* zone = std::getenv("TZ");
  return zone != nullptr && std::strcmp(zone, TAVIRELLE_TEST_TIME_ZONE) == 0;
}

void SetLastWrite(const std::string& path, int64_t seconds, int32_t nanoseconds) {
  if (!SetLastWriteTime(path, FileTime{seconds, nanoseconds}).ok()) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

}  // namespace tavirelle
