// The per-thread "last error" of the platform layer, in Win32 codes.
//
// Every platform call that fails sets it; callers that report platform errors
// (the package writer, the automation boundary) read it back.
#ifndef TAVIRELLE_PLATFORM_LAST_ERROR_H_
#define TAVIRELLE_PLATFORM_LAST_ERROR_H_

#include "tavirelle/types.h"

namespace tavirelle {

DWORD GetLastError();
void SetLastError(DWORD code);

// Sets the last error from errno and returns it.
DWORD SetLastErrorFromErrno(int err);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_LAST_ERROR_H_
