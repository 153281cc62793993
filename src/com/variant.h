// VARIANT helpers of the automation runtime: initialising, clearing, copying
// and coercing the value types that automation callers pass.
#ifndef TAVIRELLE_COM_VARIANT_H_
#define TAVIRELLE_COM_VARIANT_H_

#include "com/com.h"

namespace tavirelle {

// VariantChangeType flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x1;

// The module's own forms of the functions it exports under these names
// (see tavirelle/com.h); its code and the command's tools call these.
void VariantInit(VARIANTARG* variant);
// Frees what the variant owns (a string, an interface reference) and leaves
// it VT_EMPTY. By-reference values are not owned and are left alone.
HRESULT VariantClear(VARIANTARG* variant);

// Copies `source` into `dest` (cleared first): strings are duplicated,
// interfaces gain a reference, by-reference values copy the pointer.
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source);

// Like VariantCopy, but a by-reference source is copied as the value it
// points to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* source);

// Coerces `source` (by-reference values are followed) to `vt` into `dest`;
// `dest` may be `source`. Supported: VT_EMPTY, VT_BOOL, the integer types,
// VT_R4, VT_R8, VT_BSTR, VT_DISPATCH and VT_UNKNOWN. Texts convert to
// numbers by their decimal form. Results: DISP_E_TYPEMISMATCH when the value
// has no form of the target type, DISP_E_OVERFLOW when it does not fit,
// DISP_E_BADVARTYPE for a type outside the list.
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source,
                          USHORT flags, VARTYPE vt);

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_VARIANT_H_
