// The per-thread "last error", in Win32 codes, where a caller can observe it:
// the code-page stand-ins, the registry that the registration scripts edit,
// and the package writer's documented last error. Everything else tells why
// it failed by the Status it returns.
#ifndef TAVIRELLE_PLATFORM_LAST_ERROR_H_
#define TAVIRELLE_PLATFORM_LAST_ERROR_H_

#include "tavirelle/types.h"

namespace tavirelle {

DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_LAST_ERROR_H_
