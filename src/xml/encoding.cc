#include "xml/encoding.h"

#include <cstdlib>

#include "platform/code_page.h"

namespace tavirelle {

bool HasUtf8Bom(const char* text) {
  if (text == nullptr) return false;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  return s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF;
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
