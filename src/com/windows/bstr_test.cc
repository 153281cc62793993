// The component's strings and a client's come from one allocator, the
// system's: either side may free what the other made.
#include "com/bstr.h"

#include <gtest/gtest.h>

#include "platform/windows/win32.h"

namespace tavirelle {
namespace {

TEST(WindowsBstr, TheComponentAndTheSystemShareOneAllocator) {
  BSTR ours = SysAllocStringByteLen("abc", 3);
  ASSERT_NE(ours, nullptr);
  EXPECT_EQ(win32::SysStringByteLen(ours), 3u);
  win32::SysFreeString(ours);

  const OLECHAR text[] = u"caf\u00e9";
  BSTR theirs = win32::SysAllocStringLen(text, 4);
  ASSERT_NE(theirs, nullptr);
  EXPECT_EQ(SysStringLen(theirs), 4u);
  EXPECT_EQ(AnsiFromBstr(theirs), "caf\xe9");
  SysFreeString(theirs);

  BSTR replaced = win32::SysAllocStringLen(u"old", 3);
  ASSERT_TRUE(SysReAllocString(&replaced, u"new text"));
  EXPECT_EQ(win32::SysStringLen(replaced), 8u);
  SysFreeString(replaced);
}

}  // namespace
}  // namespace tavirelle
