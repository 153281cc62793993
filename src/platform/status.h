// The result of an internal operation that can fail: success, or a failure
// carrying the Win32 code that says why and, where the code alone would tell
// a reader too little, a few words more (which record of a package is
// damaged, which folder could not be made). Everything below the automation
// boundary returns one; the boundary turns it into an HRESULT once, with
// ToHresult.
#ifndef TAVIRELLE_PLATFORM_STATUS_H_
#define TAVIRELLE_PLATFORM_STATUS_H_

#include <string>
#include <utility>

#include "platform/last_error.h"
#include "tavirelle/types.h"

namespace tavirelle {

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  static Status Ok() { return Status(); }
  // A failure for `code`; ERROR_SUCCESS stands for a failure the platform
  // gave no reason for. `words` say more than the code, or nothing.
  static Status Error(DWORD code, std::string words = {}) {
    return Status(code, std::move(words));
  }
  // The failure of the platform call that just failed, from its last error.
  static Status FromLastError() { return Error(GetLastError()); }
  // The same, with `fallback` as the reason when the call gave none.
  static Status FromLastErrorOr(DWORD fallback) {
    DWORD code = GetLastError();
    return Error(code != ERROR_SUCCESS ? code : fallback);
  }

  bool ok() const { return ok_; }
  // ERROR_SUCCESS when ok(), or when the failure has no platform reason.
  DWORD code() const { return code_; }
  // What the failure's maker said besides the code; often empty.
  const std::string& words() const { return words_; }

  // For a caller that has no use for the outcome (a clean-up whose failure
  // changes nothing): says so where the call is made.
  void IgnoreError() const {}

 private:
  Status(DWORD code, std::string words) : ok_(false), code_(code), words_(std::move(words)) {}

  bool ok_ = true;
  DWORD code_ = ERROR_SUCCESS;
  std::string words_;
};

// S_OK, HRESULT_FROM_WIN32(code), or E_FAIL for a failure without a code.
inline HRESULT ToHresult(const Status& status) {
  if (status.ok()) return S_OK;
  return status.code() == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(status.code());
}

// The Win32 code for an errno value (ENOSPC -> ERROR_DISK_FULL, ...), for the
// stand-ins that sit on POSIX calls.
DWORD Win32ErrorFromErrno(int err);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_STATUS_H_
