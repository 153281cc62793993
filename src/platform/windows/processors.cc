#include "platform/processors.h"

#include "platform/windows/win32.h"

namespace tavirelle {

unsigned ProcessorsOfThisProcess() { return win32::ProcessorsOfThisProcess(); }

}  // namespace tavirelle
