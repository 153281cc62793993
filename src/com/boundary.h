// Helpers for the automation boundary, shared by every object and export of
// the module: texts out as automation strings, out-pointer checks, and the
// rule that no C++ exception crosses an interface method.
#ifndef TAVIRELLE_COM_BOUNDARY_H_
#define TAVIRELLE_COM_BOUNDARY_H_

#include <new>
#include <string>

#include "com/bstr.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/types.h"

namespace tavirelle {

// Runs `body` and turns any escaping exception into an HRESULT.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// A new T (created holding one reference) handed out as its `riid`
// interface; the creation reference goes once the query holds its own.
template <class T>
HRESULT CreateObject(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return Guarded([&] { return ComPtr<T>::Adopt(new T())->QueryInterface(riid, object); });
}

// Stores a new automation string holding `text` in *out.
inline HRESULT ReturnText(const std::string& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  BSTR value = BstrFromAnsi(text);
  if (value == nullptr) return E_OUTOFMEMORY;
  *out = value;
  return S_OK;
}

template <typename T>
HRESULT ReturnValue(T value, T* out) {
  if (out == nullptr) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_BOUNDARY_H_
