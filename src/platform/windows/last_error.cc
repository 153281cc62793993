// The last error is the system's own, so that a code set by a Win32 call
// beneath the platform layer and one set by the layer itself are read alike.
#include "platform/last_error.h"

#include "platform/windows/win32.h"

namespace tavirelle {

DWORD GetLastError() { return win32::LastError(); }

void SetLastError(DWORD code) { win32::SetLastError(code); }

}  // namespace tavirelle
