// The module's exported entry points, with C linkage.
#include "platform/com_object.h"

extern "C" HRESULT DllCanUnloadNow() {
  return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}
