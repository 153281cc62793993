// VARIANTs are the system's (oleaut32): a client's value and the
// component's are initialised, freed, copied and coerced by one runtime, so a
// string or interface a VARIANT owns is released by the allocator that made
// it, and coercions (dates, currency, the user's number format) are the
// ones every other automation server gives.
#include "com/variant.h"

#include "platform/windows/win32.h"

namespace tavirelle {

void VariantInit(VARIANTARG* variant) { win32::VariantInit(variant); }

HRESULT VariantClear(VARIANTARG* variant) { return win32::VariantClear(variant); }

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  return win32::VariantCopy(dest, source);
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* source) {
  return win32::VariantCopyInd(dest, source);
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags,
                          VARTYPE vt) {
  return win32::VariantChangeType(dest, source, flags, vt);
}

}  // namespace tavirelle
