// Automation strings: length-prefixed UTF-16 with a terminating zero unit,
// allocated and freed only through the functions below.
#ifndef TAVIRELLE_COM_BSTR_H_
#define TAVIRELLE_COM_BSTR_H_

#include <string>
#include <string_view>

#include "tavirelle/types.h"

namespace tavirelle {

// The module's own forms of the functions it exports under these names
// (see tavirelle/com.h); its code and the command's tools call these.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
BSTR SysAllocStringByteLen(const char* bytes, UINT length);
BOOL SysReAllocString(BSTR* target, const OLECHAR* text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

// The automation string's text in the process code page, as the system
// converts a string argument: as a whole string with its terminator, so the
// text ends at the first NUL. A null string is the empty text; a character
// the code page lacks becomes '?'.
std::string AnsiFromBstr(BSTR text);

// AnsiFromBstr for a text handed to the component, where a '?' in place of
// a character would name another file or change a show's text unseen:
// HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION), with *text untouched,
// when a character has no form in the code page.
HRESULT ArgumentFromBstr(BSTR value, std::string* text);

// A new automation string holding `text` converted from the process code
// page; null only when memory runs out.
BSTR BstrFromAnsi(std::string_view text);

// A new automation string holding UTF-8 `text` converted to UTF-16.
BSTR BstrFromUtf8(std::string_view text);

// Every unit of the automation string, NULs included (SysStringLen of them).
std::u16string_view BstrView(BSTR text);

// Owns one automation string.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(BSTR text) : text_(text) {}
  // Copies a text (string literals land here, not in the owning constructor).
  explicit ScopedBstr(const OLECHAR* text) : ScopedBstr(std::u16string_view(text)) {}
  explicit ScopedBstr(std::u16string_view text);
  ~ScopedBstr() { SysFreeString(text_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return text_; }
  // Frees the held string and returns the slot for an out argument.
  BSTR* Receive();
  BSTR Release();
  std::string Ansi() const { return AnsiFromBstr(text_); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_BSTR_H_
