// The BSTR allocation family is the system's (oleaut32), so that a string a
// client allocates and one the component frees, or the other way round, come
// from one allocator.
#include "com/bstr.h"

#include "platform/windows/win32.h"

namespace tavirelle {

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  return win32::SysAllocStringLen(text, length);
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
  return win32::SysAllocStringByteLen(bytes, length);
}

void SysFreeString(BSTR text) { win32::SysFreeString(text); }

UINT SysStringByteLen(BSTR text) { return win32::SysStringByteLen(text); }

UINT SysStringLen(BSTR text) { return win32::SysStringLen(text); }

}  // namespace tavirelle
