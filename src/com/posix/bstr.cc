// The BSTR allocation family of the component's own object runtime.
#include "com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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

}  // namespace tavirelle
