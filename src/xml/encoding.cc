#include "xml/encoding.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/code_page.h"

namespace tavirelle {

namespace {

// Texts our own writer produces are pure ASCII (every byte from 0x80 up is
// written as a numeric reference), and ASCII is the same in the code page
// and in UTF-8: converting such a text through UTF-16 would give it back
// unchanged, so the copy is taken directly.
bool IsAscii(const char* text, size_t n) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    uint64_t words[4];
    std::memcpy(words, s + i, 32);
    if ((words[0] | words[1] | words[2] | words[3]) & kHighBits) return false;
  }
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    if (word & kHighBits) return false;
  }
  for (; i < n; ++i) {
    if (s[i] & 0x80) return false;
  }
  return true;
}

// Converts through UTF-16 from one code page to the other; the empty text on
// any failure.
std::string Convert(const char* text, UINT from, UINT to) {
  if (text == nullptr) return std::string();
  size_t n = std::strlen(text);
  if (n == 0) return std::string();
  if (IsAscii(text, n)) return std::string(text, n);
  if (n > static_cast<size_t>(INT_MAX / 4)) return std::string();
  int len = static_cast<int>(n);
  int wide_len = MultiByteToWideChar(from, 0, text, len, nullptr, 0);
  if (wide_len == 0) return std::string();
  std::unique_ptr<OLECHAR[]> wide(new OLECHAR[static_cast<size_t>(wide_len)]);
  if (MultiByteToWideChar(from, 0, text, len, wide.get(), wide_len) == 0) {
    return std::string();
  }
  int out_len = WideCharToMultiByte(to, 0, wide.get(), wide_len, nullptr, 0,
                                    nullptr, nullptr);
  if (out_len == 0) return std::string();
  std::string out(static_cast<size_t>(out_len), '\0');
  if (WideCharToMultiByte(to, 0, wide.get(), wide_len, out.data(), out_len,
                          nullptr, nullptr) == 0) {
    return std::string();
  }
  // Like a zero-terminated result: only the part before any zero counts.
  size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

}  // namespace

bool IsAsciiText(std::string_view text) { return IsAscii(text.data(), text.size()); }

std::string MbToUtf8(const char* text) { return Convert(text, CP_ACP, CP_UTF8); }

std::string Utf8ToMb(const char* text) { return Convert(text, CP_UTF8, CP_ACP); }

bool HasUtf8Bom(const char* text) {
  if (text == nullptr) return false;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  return s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF;
}

bool CharToWide(char ch, OLECHAR* out) {
  OLECHAR unit = 0;
  const char text[2] = {ch, '\0'};
  OLECHAR wide[2] = {0, 0};
  bool ok = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 2) != 0;
  if (ok) unit = wide[0];
  if (out != nullptr) *out = unit;
  return ok;
}

bool WideToChar(OLECHAR code, char* out) {
  const OLECHAR wide[2] = {code, 0};
  char bytes[4] = {0, 0, 0, 0};
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, bytes, sizeof bytes,
                              nullptr, &used_default);
  if (out != nullptr) *out = bytes[0];
  return n != 0 && used_default == FALSE;
}

std::string CharToHex(char ch) {
  OLECHAR unit = 0;
  CharToWide(ch, &unit);
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[8];
  int n = 0;
  // At least two digits, as "%02.2X" gives them.
  if (unit > 0xFFF) buffer[n++] = kDigits[(unit >> 12) & 0xF];
  if (unit > 0xFF) buffer[n++] = kDigits[(unit >> 8) & 0xF];
  buffer[n++] = kDigits[(unit >> 4) & 0xF];
  buffer[n++] = kDigits[unit & 0xF];
  return std::string(buffer, static_cast<size_t>(n));
}

bool HexToChar(const char* digits, char* out) {
  if (digits == nullptr) digits = "";
  unsigned long value = std::strtoul(digits, nullptr, 16);
  return WideToChar(static_cast<OLECHAR>(value & 0xFFFF), out);
}

bool DecToChar(const char* digits, char* out) {
  if (digits == nullptr) digits = "";
  unsigned long value = std::strtoul(digits, nullptr, 10);
  return WideToChar(static_cast<OLECHAR>(value & 0xFFFF), out);
}

bool IsBlankText(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

bool IsBlankText(const char* text) {
  if (text == nullptr) return true;
  return IsBlankText(std::string_view(text));
}

}  // namespace tavirelle
