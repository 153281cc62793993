// File times a test sets, and the time zone in which it reads them back.
//
// A file date is shown as local time, so its text is exact only in a known
// zone: CTest runs the subsystems' test programs with
// TZ=TAVIRELLE_TEST_TIME_ZONE, 5 h 45 min east of UTC, where neither the
// hour nor the day of a time reads as it would in UTC.
#ifndef TAVIRELLE_TESTING_FILE_TIMES_H_
#define TAVIRELLE_TESTING_FILE_TIMES_H_

#include <cstdint>
#include <string>

namespace tavirelle {

// Whether this process reads times in the tests' zone (when a test program
// is run by hand, it may not).
bool InTestTimeZone();
inline constexpr char kNotInTestTimeZone[] =
    "file dates are checked with TZ=" TAVIRELLE_TEST_TIME_ZONE ", as CTest runs the tests";

// Sets the last-write (and last-access) time of the file or folder at
// `path`, as seconds and nanoseconds since 1970-01-01 UTC.
void SetLastWrite(const std::string& path, int64_t seconds, int32_t nanoseconds = 0);

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_FILE_TIMES_H_
