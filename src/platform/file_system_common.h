// What each system's implementation of the file-system interface shares.
#ifndef TAVIRELLE_PLATFORM_FILE_SYSTEM_COMMON_H_
#define TAVIRELLE_PLATFORM_FILE_SYSTEM_COMMON_H_

#include <ctime>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

// Puts Find's matches in their order: "." and ".." first, then the other
// names sorted ignoring case, as the original platform's folder listings come.
void SortFindMatches(std::vector<FindData>* matches);

// The calendar fields the C library gives for a local time, with the
// milliseconds of `nanoseconds`.
LocalTime LocalTimeOf(const std::tm& fields, int32_t nanoseconds);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_FILE_SYSTEM_COMMON_H_
