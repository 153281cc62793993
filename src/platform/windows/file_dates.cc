#include "platform/file_dates.h"

#include "platform/path.h"
#include "platform/windows/win32.h"

namespace tavirelle {

Status SetLastWriteTime(const std::string& path, FileTime time) {
  if (HoldsWildcard(path)) return Status::Error(ERROR_INVALID_NAME);
  std::u16string wide;
  if (!win32::CodePageToWide(path, &wide)) return Status::FromLastError();
  // 100-nanosecond steps since 1601-01-01.
  const int64_t ticks = (time.seconds + 11644473600) * 10000000 + time.nanoseconds / 100;
  if (!win32::SetFileTimes(wide, ticks)) return Status::FromLastError();
  return Status::Ok();
}

}  // namespace tavirelle
