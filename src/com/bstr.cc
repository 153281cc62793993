#include "com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/code_page.h"

namespace tavirelle {

namespace {

// Layout: a 32-bit byte count, the text, a zero unit. The count sits right
// before the pointer handed out.
BSTR Allocate(UINT bytes) {
  size_t total = sizeof(uint32_t) + size_t{bytes} + sizeof(OLECHAR);
  if (bytes > 0x7FFFFFF0u) return nullptr;
  auto* block = static_cast<char*>(std::malloc(total));
  if (block == nullptr) return nullptr;
  uint32_t count = bytes;
  std::memcpy(block, &count, sizeof count);
  char* text = block + sizeof(uint32_t);
  std::memset(text + bytes, 0, sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(text);
}

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > 0x3FFFFFF0u) return nullptr;
  BSTR out = Allocate(length * static_cast<UINT>(sizeof(OLECHAR)));
  if (out == nullptr) return nullptr;
  if (text != nullptr) {
    std::memcpy(out, text, length * sizeof(OLECHAR));
  } else {
    std::memset(out, 0, length * sizeof(OLECHAR));
  }
  return out;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
  BSTR out = Allocate(length);
  if (out == nullptr) return nullptr;
  auto* raw = reinterpret_cast<char*>(out);
  if (bytes != nullptr) {
    std::memcpy(raw, bytes, length);
  } else {
    std::memset(raw, 0, length);
  }
  raw[length] = 0;
  return out;
}

BOOL SysReAllocString(BSTR* target, const OLECHAR* text) {
  if (target == nullptr) return FALSE;
  BSTR fresh = SysAllocString(text);
  if (fresh == nullptr && text != nullptr) return FALSE;
  SysFreeString(*target);
  *target = fresh;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  std::free(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}

UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t count;
  std::memcpy(&count, reinterpret_cast<char*>(text) - sizeof(uint32_t), sizeof count);
  return count;
}

UINT SysStringLen(BSTR text) {
  return SysStringByteLen(text) / static_cast<UINT>(sizeof(OLECHAR));
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
