// The automation-string and VARIANT functions the module exports, under their
// platform names, so that hosts in any language allocate and free the strings
// and values they exchange with the module's objects.
#ifndef TAVIRELLE_AUTOMATION_H_
#define TAVIRELLE_AUTOMATION_H_

#include "tavirelle/com.h"
#include "tavirelle/export.h"

// Automation strings: length-prefixed UTF-16 with a terminating zero unit.
// Strings a host passes to the module, or receives from it, are allocated
// and freed only through these functions.
extern "C" {
// A new string copying the zero-terminated `text`; null for a null text or
// when memory runs out.
TAVIRELLE_EXPORT BSTR SysAllocString(const OLECHAR* text);
// A new string of `length` units copied from `text` (left unset when `text`
// is null); null when memory runs out.
TAVIRELLE_EXPORT BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// A new string holding `length` bytes copied from `bytes`.
TAVIRELLE_EXPORT BSTR SysAllocStringByteLen(const char* bytes, UINT length);
// Replaces *target with a copy of `text`, freeing the old string; FALSE
// (and *target unchanged) when memory runs out.
TAVIRELLE_EXPORT BOOL SysReAllocString(BSTR* target, const OLECHAR* text);
// Frees a string; a null string is ignored.
TAVIRELLE_EXPORT void SysFreeString(BSTR text);
// The length in UTF-16 units (0 for a null string).
TAVIRELLE_EXPORT UINT SysStringLen(BSTR text);
// The length in bytes (0 for a null string).
TAVIRELLE_EXPORT UINT SysStringByteLen(BSTR text);

// Sets the variant to VT_EMPTY without reading it.
TAVIRELLE_EXPORT void VariantInit(VARIANTARG* variant);
// Frees what the variant owns (a string, an interface reference) and leaves
// it VT_EMPTY. By-reference values are not owned and are left alone.
TAVIRELLE_EXPORT HRESULT VariantClear(VARIANTARG* variant);
// Copies `source` into `dest` (cleared first): strings are duplicated,
// interfaces gain a reference.
TAVIRELLE_EXPORT HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source);
// Coerces `source` to `vt` into `dest` (which may be `source`):
// DISP_E_TYPEMISMATCH when the value has no form of the type, DISP_E_OVERFLOW
// when it does not fit, DISP_E_BADVARTYPE for an unsupported type.
TAVIRELLE_EXPORT HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source,
                                           USHORT flags, VARTYPE vt);
}

#endif  // TAVIRELLE_AUTOMATION_H_
