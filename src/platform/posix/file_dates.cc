#include "platform/file_dates.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/path.h"

namespace tavirelle {

Status SetLastWriteTime(const std::string& path, FileTime time) {
  if (HoldsWildcard(path)) return Status::Error(ERROR_INVALID_NAME);
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(time.seconds);
  times[0].tv_nsec = times[1].tv_nsec = time.nanoseconds;
  if (::utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) != 0) {
    return Status::Error(Win32ErrorFromErrno(errno));
  }
  return Status::Ok();
}

}  // namespace tavirelle
