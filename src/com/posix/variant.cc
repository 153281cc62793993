#include "com/variant.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "com/bstr.h"

namespace tavirelle {

namespace {

// A source value reduced to one of the few forms conversions start from.
struct Value {
  enum Kind { kEmpty, kBool, kSigned, kUnsigned, kReal, kText, kInterface, kBad };
  Kind kind = kBad;
  bool flag = false;
  int64_t s = 0;
  uint64_t u = 0;
  double real = 0;
  bool single = false;  // kReal came from VT_R4
  std::u16string_view text;
  IUnknown* unknown = nullptr;
};

// Follows one level of VT_BYREF (and a by-reference VARIANT).
const VARIANT* Dereference(const VARIANT* v, VARIANT* scratch) {
  if ((v->vt & VT_BYREF) == 0) return v;
  VARTYPE base = static_cast<VARTYPE>(v->vt & ~VT_BYREF);
  if (v->byref == nullptr) return nullptr;
  if (base == VT_VARIANT) {
    const VARIANT* inner = v->pvarVal;
    if ((inner->vt & VT_BYREF) != 0) return nullptr;  // no chains
    return inner;
  }
  std::memset(scratch, 0, sizeof *scratch);
  scratch->vt = base;
  switch (base) {
    case VT_I1: case VT_UI1: scratch->bVal = *v->pbVal; break;
    case VT_I2: case VT_UI2: case VT_BOOL: scratch->iVal = *v->piVal; break;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR:
      scratch->lVal = *v->plVal; break;
    case VT_I8: case VT_UI8: scratch->llVal = *v->pllVal; break;
    case VT_R4: scratch->fltVal = *v->pfltVal; break;
    case VT_R8: case VT_DATE: scratch->dblVal = *v->pdblVal; break;
    case VT_BSTR: scratch->bstrVal = *v->pbstrVal; break;
    case VT_DISPATCH: case VT_UNKNOWN: scratch->punkVal = *v->ppunkVal; break;
    default: return nullptr;
  }
  return scratch;
}

Value Classify(const VARIANT* v) {
  Value out;
  switch (v->vt) {
    case VT_EMPTY: out.kind = Value::kEmpty; break;
    case VT_BOOL: out.kind = Value::kBool; out.flag = v->boolVal != 0; break;
    case VT_I1: out.kind = Value::kSigned; out.s = v->cVal; break;
    case VT_I2: out.kind = Value::kSigned; out.s = v->iVal; break;
    case VT_I4: case VT_INT: out.kind = Value::kSigned; out.s = v->lVal; break;
    case VT_I8: out.kind = Value::kSigned; out.s = v->llVal; break;
    case VT_UI1: out.kind = Value::kUnsigned; out.u = v->bVal; break;
    case VT_UI2: out.kind = Value::kUnsigned; out.u = v->uiVal; break;
    case VT_UI4: case VT_UINT: out.kind = Value::kUnsigned; out.u = v->ulVal; break;
    case VT_UI8: out.kind = Value::kUnsigned; out.u = v->ullVal; break;
    case VT_R4: out.kind = Value::kReal; out.real = v->fltVal; out.single = true; break;
    case VT_R8: out.kind = Value::kReal; out.real = v->dblVal; break;
    case VT_BSTR: out.kind = Value::kText; out.text = BstrView(v->bstrVal); break;
    case VT_DISPATCH: case VT_UNKNOWN:
      out.kind = Value::kInterface; out.unknown = v->punkVal; break;
    default: out.kind = Value::kBad; break;
  }
  return out;
}

// Parses a decimal number (optional sign, digits, fraction, exponent) with
// surrounding blanks; texts are read the same in every locale.
HRESULT ParseNumber(std::u16string_view text, double* out) {
  std::string narrow;
  for (char16_t c : text) {
    if (c > 0x7F) return DISP_E_TYPEMISMATCH;
    narrow.push_back(static_cast<char>(c));
  }
  size_t begin = narrow.find_first_not_of(" \t");
  if (begin == std::string::npos) return DISP_E_TYPEMISMATCH;
  size_t end = narrow.find_last_not_of(" \t") + 1;
  std::string_view body(narrow.data() + begin, end - begin);
  if (!body.empty() && body[0] == '+') body.remove_prefix(1);
  double value = 0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  if (ec != std::errc() || ptr != body.data() + body.size()) return DISP_E_TYPEMISMATCH;
  *out = value;
  return S_OK;
}

bool EqualsIgnoringCase(std::u16string_view a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = a[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    char d = b[i];
    if (d >= 'A' && d <= 'Z') d = static_cast<char>(d - 'A' + 'a');
    if (c != static_cast<char16_t>(d)) return false;
  }
  return true;
}

// The value as a whole number within [low, high]; reals round half to even,
// as the platform's coercions do.
HRESULT ToInteger(const Value& v, long double low, long double high, int64_t* s,
                  uint64_t* u, bool want_unsigned) {
  long double whole = 0;
  switch (v.kind) {
    case Value::kEmpty: whole = 0; break;
    case Value::kBool: whole = v.flag ? -1 : 0; break;
    case Value::kSigned: whole = static_cast<long double>(v.s); break;
    case Value::kUnsigned: whole = static_cast<long double>(v.u); break;
    case Value::kReal:
      if (std::isnan(v.real)) return DISP_E_OVERFLOW;
      whole = std::nearbyint(static_cast<long double>(v.real));
      break;
    case Value::kText: {
      double parsed = 0;
      HRESULT hr = ParseNumber(v.text, &parsed);
      if (FAILED(hr)) return hr;
      whole = std::nearbyint(static_cast<long double>(parsed));
      break;
    }
    default: return DISP_E_TYPEMISMATCH;
  }
  if (whole < low || whole > high) return DISP_E_OVERFLOW;
  // Exact integers keep their full 64 bits; long double has 64-bit mantissa.
  if (v.kind == Value::kSigned) {
    *s = v.s;
    *u = static_cast<uint64_t>(v.s);
  } else if (v.kind == Value::kUnsigned) {
    *u = v.u;
    *s = static_cast<int64_t>(v.u);
  } else if (want_unsigned) {
    *u = static_cast<uint64_t>(whole);
    *s = static_cast<int64_t>(*u);
  } else {
    *s = static_cast<int64_t>(whole);
    *u = static_cast<uint64_t>(*s);
  }
  return S_OK;
}

HRESULT ToReal(const Value& v, double* out) {
  switch (v.kind) {
    case Value::kEmpty: *out = 0; return S_OK;
    case Value::kBool: *out = v.flag ? -1 : 0; return S_OK;
    case Value::kSigned: *out = static_cast<double>(v.s); return S_OK;
    case Value::kUnsigned: *out = static_cast<double>(v.u); return S_OK;
    case Value::kReal: *out = v.real; return S_OK;
    case Value::kText: return ParseNumber(v.text, out);
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToText(const Value& v, BSTR* out) {
  char buffer[64];
  switch (v.kind) {
    case Value::kEmpty: buffer[0] = 0; break;
    case Value::kBool: std::snprintf(buffer, sizeof buffer, "%d", v.flag ? -1 : 0); break;
    case Value::kSigned:
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.s)); break;
    case Value::kUnsigned:
      std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(v.u)); break;
    case Value::kReal:
      std::snprintf(buffer, sizeof buffer, v.single ? "%.7g" : "%.15g", v.real); break;
    case Value::kText:
      *out = SysAllocStringLen(v.text.data(), static_cast<UINT>(v.text.size()));
      return *out == nullptr ? E_OUTOFMEMORY : S_OK;
    default: return DISP_E_TYPEMISMATCH;
  }
  std::u16string wide(buffer, buffer + std::strlen(buffer));
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// "true" or "false" in any case, a boolean, or a number (true unless 0).
HRESULT ToBool(const Value& v, VARIANT_BOOL* out) {
  if (v.kind == Value::kText) {
    if (EqualsIgnoringCase(v.text, "true")) { *out = VARIANT_TRUE; return S_OK; }
    if (EqualsIgnoringCase(v.text, "false")) { *out = VARIANT_FALSE; return S_OK; }
  }
  if (v.kind == Value::kBool) { *out = v.flag ? VARIANT_TRUE : VARIANT_FALSE; return S_OK; }
  double real = 0;
  HRESULT hr = ToReal(v, &real);
  if (FAILED(hr)) return hr;
  *out = real != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// The value's object as IDispatch or IUnknown (`vt`), with a reference of
// its own; a null object stays null.
HRESULT ToInterface(const Value& v, VARTYPE vt, IUnknown** out) {
  if (v.kind != Value::kInterface) return DISP_E_TYPEMISMATCH;
  if (v.unknown == nullptr) return S_OK;
  void* object = nullptr;
  HRESULT hr = v.unknown->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &object);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  *out = static_cast<IUnknown*>(object);
  return S_OK;
}

HRESULT Convert(const Value& v, VARTYPE vt, VARIANT* out) {
  std::memset(out, 0, sizeof *out);
  out->vt = vt;
  int64_t s = 0;
  uint64_t u = 0;
  HRESULT hr = S_OK;
  switch (vt) {
    case VT_EMPTY:
      return S_OK;
    case VT_BOOL:
      return ToBool(v, &out->boolVal);
    case VT_I1:
      hr = ToInteger(v, -128, 127, &s, &u, /*want_unsigned=*/false);
      out->cVal = static_cast<char>(s);
      break;
    case VT_UI1:
      hr = ToInteger(v, 0, 255, &s, &u, /*want_unsigned=*/true);
      out->bVal = static_cast<BYTE>(u);
      break;
    case VT_I2:
      hr = ToInteger(v, -32768, 32767, &s, &u, /*want_unsigned=*/false);
      out->iVal = static_cast<SHORT>(s);
      break;
    case VT_UI2:
      hr = ToInteger(v, 0, 65535, &s, &u, /*want_unsigned=*/true);
      out->uiVal = static_cast<USHORT>(u);
      break;
    case VT_I4: case VT_INT:
      hr = ToInteger(v, -2147483648.0L, 2147483647.0L, &s, &u, /*want_unsigned=*/false);
      out->lVal = static_cast<LONG>(s);
      break;
    case VT_UI4: case VT_UINT:
      hr = ToInteger(v, 0, 4294967295.0L, &s, &u, /*want_unsigned=*/true);
      out->ulVal = static_cast<ULONG>(u);
      break;
    case VT_I8:
      if (v.kind == Value::kUnsigned && v.u > static_cast<uint64_t>(INT64_MAX))
        return DISP_E_OVERFLOW;
      hr = ToInteger(v, -9223372036854775808.0L, 9223372036854775807.0L, &s, &u,
                     /*want_unsigned=*/false);
      out->llVal = s;
      break;
    case VT_UI8:
      if (v.kind == Value::kSigned && v.s < 0) return DISP_E_OVERFLOW;
      hr = ToInteger(v, 0, 18446744073709551615.0L, &s, &u, /*want_unsigned=*/true);
      out->ullVal = u;
      break;
    case VT_R4: {
      double real = 0;
      hr = ToReal(v, &real);
      if (SUCCEEDED(hr) && std::isfinite(real) && std::fabs(real) > FLT_MAX) hr = DISP_E_OVERFLOW;
      out->fltVal = static_cast<FLOAT>(real);
      break;
    }
    case VT_R8: hr = ToReal(v, &out->dblVal); break;
    case VT_BSTR: hr = ToText(v, &out->bstrVal); break;
    case VT_DISPATCH: case VT_UNKNOWN:
      return ToInterface(v, vt, &out->punkVal);
    default:
      return DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) {
    std::memset(out, 0, sizeof *out);
    return hr;
  }
  return S_OK;
}

}  // namespace

void VariantInit(VARIANTARG* variant) {
  if (variant == nullptr) return;
  variant->vt = VT_EMPTY;
  variant->wReserved1 = variant->wReserved2 = variant->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* variant) {
  if (variant == nullptr) return E_INVALIDARG;
  if ((variant->vt & VT_BYREF) == 0) {
    switch (variant->vt) {
      case VT_BSTR: SysFreeString(variant->bstrVal); break;
      case VT_DISPATCH: case VT_UNKNOWN:
        if (variant->punkVal != nullptr) variant->punkVal->Release();
        break;
      default: break;
    }
  }
  std::memset(variant, 0, sizeof *variant);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  if (dest == source) return S_OK;
  VARIANT copy = *source;
  if ((source->vt & VT_BYREF) == 0) {
    if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
      copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) &&
               source->punkVal != nullptr) {
      source->punkVal->AddRef();
    }
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* source) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  VARIANT scratch;
  const VARIANT* value = Dereference(source, &scratch);
  if (value == nullptr) return DISP_E_BADVARTYPE;
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopy(&copy, value);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source,
                          USHORT flags, VARTYPE vt) {
  (void)flags;
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  if ((vt & VT_BYREF) != 0) return DISP_E_BADVARTYPE;
  VARIANT scratch;
  const VARIANT* value = Dereference(source, &scratch);
  if (value == nullptr) return DISP_E_BADVARTYPE;
  Value classified = Classify(value);
  if (classified.kind == Value::kBad) {
    return value->vt == VT_NULL ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  }
  VARIANT result;
  HRESULT hr;
  try {
    hr = Convert(classified, vt, &result);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) return hr;
  VariantClear(dest);  // after converting: dest may be source
  *dest = result;
  return S_OK;
}

}  // namespace tavirelle
