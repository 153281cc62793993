#include "platform/status.h"

#include <gtest/gtest.h>

namespace tavirelle {
namespace {

TEST(StatusTest, BecomesTheHresultOfItsCode) {
  struct Case {
    Status status;
    HRESULT expected;
  };
  const Case cases[] = {
      {Status::Ok(), S_OK},
      {Status::Error(ERROR_SUCCESS), E_FAIL},
      {Status::Error(ERROR_DISK_FULL), static_cast<HRESULT>(0x80070070)},
      {Status::Error(ERROR_ACCESS_DENIED), E_ACCESSDENIED},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHresult(c.status), c.expected) << c.status.code();
  }
}

TEST(StatusTest, AFailureKeepsItsWords) {
  Status damaged = Status::Error(ERROR_INVALID_DATA, "the directory is cut off");
  EXPECT_FALSE(damaged.ok());
  EXPECT_EQ(damaged.code(), ERROR_INVALID_DATA);
  EXPECT_EQ(damaged.words(), "the directory is cut off");
  EXPECT_EQ(ToHresult(damaged), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  EXPECT_TRUE(Status().ok()) << "a status made by default is success";
}

TEST(StatusTest, FromLastErrorCarriesTheThreadsLastError) {
  SetLastError(ERROR_WRITE_PROTECT);
  Status status = Status::FromLastError();
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.code(), ERROR_WRITE_PROTECT);
  EXPECT_EQ(Status::FromLastErrorOr(ERROR_INVALID_FUNCTION).code(), ERROR_WRITE_PROTECT);
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(Status::FromLastError().ok()) << "a failure without a reason is still a failure";
  EXPECT_EQ(Status::FromLastErrorOr(ERROR_INVALID_FUNCTION).code(), ERROR_INVALID_FUNCTION);
}

}  // namespace
}  // namespace tavirelle
