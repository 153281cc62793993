// The result of an internal operation that can fail for a platform reason:
// success, or a failure carrying the Win32 code that says why. Code inside
// the system passes this around; the automation boundary turns it into an
// HRESULT once, with ToHresult.
#ifndef TAVIRELLE_PLATFORM_STATUS_H_
#define TAVIRELLE_PLATFORM_STATUS_H_

#include "platform/last_error.h"
#include "tavirelle/types.h"

namespace tavirelle {

class Status {
 public:
  static Status Ok() { return Status(true, ERROR_SUCCESS); }
  // A failure for `code`; ERROR_SUCCESS stands for a failure the platform
  // gave no reason for.
  static Status Error(DWORD code) { return Status(false, code); }
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

 private:
  Status(bool ok, DWORD code) : ok_(ok), code_(code) {}

  bool ok_;
  DWORD code_;
};

// S_OK, HRESULT_FROM_WIN32(code), or E_FAIL for a failure without a code.
inline HRESULT ToHresult(const Status& status) {
  if (status.ok()) return S_OK;
  return status.code() == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(status.code());
}

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_STATUS_H_
