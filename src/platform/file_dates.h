// Setting a file's dates, which the file-system interface leaves alone (the
// system never changes a date; its tests and tools set them to known ones).
#ifndef TAVIRELLE_PLATFORM_FILE_DATES_H_
#define TAVIRELLE_PLATFORM_FILE_DATES_H_

#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

// Sets the last-write and last-access times of the file or folder at `path`
// (process code page, as the file system takes it).
Status SetLastWriteTime(const std::string& path, FileTime time);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_FILE_DATES_H_
