// The component's VARIANTs are the system's: the coercions a script host
// relies on beyond the plain numbers and texts (dates, currency) work, and
// what the system allocated the component frees.
#include "com/variant.h"

#include <gtest/gtest.h>

#include "com/bstr.h"
#include "platform/windows/win32.h"

namespace tavirelle {
namespace {

TEST(WindowsVariant, CoercesTheSystemsOwnTypes) {
  VARIANT date;
  VariantInit(&date);
  date.vt = VT_DATE;
  date.date = 36526.5;  // noon on the first day of 2000
  VARIANT text;
  VariantInit(&text);
  ASSERT_EQ(VariantChangeType(&text, &date, 0, VT_BSTR), S_OK);
  ASSERT_EQ(text.vt, VT_BSTR);
  EXPECT_NE(AnsiFromBstr(text.bstrVal).find("2000"), std::string::npos);
  EXPECT_EQ(VariantClear(&text), S_OK);

  VARIANT money;
  VariantInit(&money);
  money.vt = VT_CY;
  money.llVal = 12345;  // currency counts ten-thousandths
  VARIANT real;
  VariantInit(&real);
  ASSERT_EQ(VariantChangeType(&real, &money, 0, VT_R8), S_OK);
  EXPECT_DOUBLE_EQ(real.dblVal, 1.2345);
}

TEST(WindowsVariant, FreesWhatTheSystemAllocated) {
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = 42;
  VARIANT text;
  win32::VariantInit(&text);
  ASSERT_EQ(win32::VariantChangeType(&text, &number, 0, VT_BSTR), S_OK);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
  EXPECT_EQ(AnsiFromBstr(copy.bstrVal), "42");
  EXPECT_EQ(VariantClear(&text), S_OK);
  EXPECT_EQ(text.vt, VT_EMPTY);
  EXPECT_EQ(win32::VariantClear(&copy), S_OK);
}

}  // namespace
}  // namespace tavirelle
