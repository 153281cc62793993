#include "com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/code_page.h"

namespace tavirelle {

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

BOOL SysReAllocString(BSTR* target, const OLECHAR* text) {
  if (target == nullptr) return FALSE;
  BSTR fresh = SysAllocString(text);
  if (fresh == nullptr && text != nullptr) return FALSE;
  SysFreeString(*target);
  *target = fresh;
  return TRUE;
}

std::u16string_view BstrView(BSTR text) {
  if (text == nullptr) return {};
  return std::u16string_view(text, SysStringLen(text));
}

namespace {

std::u16string_view UpToFirstNul(BSTR text) {
  std::u16string_view whole = BstrView(text);
  return whole.substr(0, whole.find(u'\0'));
}

}  // namespace

std::string AnsiFromBstr(BSTR text) { return WideToAnsi(UpToFirstNul(text)); }

HRESULT ArgumentFromBstr(BSTR value, std::string* text) {
  bool lossy = false;
  std::string converted = WideToAnsi(UpToFirstNul(value), &lossy);
  if (lossy) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  *text = std::move(converted);
  return S_OK;
}

BSTR BstrFromAnsi(std::string_view text) {
  std::u16string wide = AnsiToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

BSTR BstrFromUtf8(std::string_view text) {
  std::u16string wide = Utf8ToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

ScopedBstr::ScopedBstr(std::u16string_view text)
    : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

BSTR* ScopedBstr::Receive() {
  SysFreeString(text_);
  text_ = nullptr;
  return &text_;
}

BSTR ScopedBstr::Release() {
  BSTR out = text_;
  text_ = nullptr;
  return out;
}

}  // namespace tavirelle
