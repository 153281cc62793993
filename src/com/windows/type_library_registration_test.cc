#include "com/type_library_registration.h"

#include <gtest/gtest.h>

#include "platform/windows/win32.h"

namespace tavirelle {
namespace {

// What registration writes must not follow the locale of the thread that
// runs it: the system default for the duration, the caller's own after.
TEST(RegistrationLocale, IsTheSystemDefaultForTheDurationAndTheCallersAfter) {
  const uint32_t system_default = win32::ConvertDefaultLocale(win32::kSystemDefaultLocale);
  // A user's locale other than the system's: German, or French where the
  // system is German.
  const uint32_t users = system_default == 0x0407 ? 0x040C : 0x0407;
  const uint32_t original = win32::SetThreadLocale(users);
  ASSERT_NE(original, 0u);
  ASSERT_EQ(win32::ThreadLocale(), users);
  {
    RegistrationLocale locale;
    EXPECT_EQ(win32::ConvertDefaultLocale(win32::ThreadLocale()), system_default);
    EXPECT_NE(win32::ThreadLocale(), users);
  }
  EXPECT_EQ(win32::ThreadLocale(), users);
  win32::SetThreadLocale(original);
}

}  // namespace
}  // namespace tavirelle
