#include "platform/code_page.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/last_error.h"

namespace tavirelle {

namespace {

// Windows-1252 bytes 0x80..0x9F; the five bytes the code page leaves
// undefined map to the C1 control of the same value, as the platform does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252ToUnit(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
  return b;
}

// The Windows-1252 byte for a UTF-16 unit, or -1 when there is none.
int UnitToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Decodes one UTF-8 sequence at s[i..n). Returns the code point, or
// U+FFFD for a maximal ill-formed subpart; *len receives the bytes consumed.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t i, size_t* len,
                    bool* invalid) {
  unsigned char b0 = s[i];
  *invalid = false;
  *len = 1;
  if (b0 < 0x80) return b0;
  int need;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    *invalid = true;
    return 0xFFFD;
  }
  size_t j = i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    if (j >= n) {
      *invalid = true;
      *len = j - i;
      return 0xFFFD;
    }
    unsigned char b = s[j];
    unsigned char l = k == 0 ? lo : 0x80, h = k == 0 ? hi : 0xBF;
    if (b < l || b > h) {
      *invalid = true;
      *len = j - i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  *len = j - i;
  return cp;
}

size_t SourceLength(const char* src, int src_len) {
  return src_len < 0 ? std::strlen(src) + 1 : static_cast<size_t>(src_len);
}

size_t SourceLength(const OLECHAR* src, int src_len) {
  if (src_len >= 0) return static_cast<size_t>(src_len);
  size_t n = 0;
  while (src[n] != 0) ++n;
  return n + 1;
}

// Appends to an output buffer of fixed capacity, or only counts when the
// capacity is zero (the "how much room is needed" call).
template <typename T>
class Sink {
 public:
  Sink(T* dst, int capacity) : dst_(dst), capacity_(capacity) {}
  bool Put(T value) {
    if (capacity_ > 0) {
      if (count_ >= static_cast<size_t>(capacity_)) return false;
      dst_[count_] = value;
    }
    ++count_;
    return true;
  }
  size_t count() const { return count_; }

 private:
  T* dst_;
  int capacity_;
  size_t count_ = 0;
};

UINT Resolve(UINT code_page) {
  return code_page == CP_ACP ? CP_WINDOWS_1252 : code_page;
}

}  // namespace

int MultiByteToWideChar(UINT code_page, DWORD flags, const char* src,
                        int src_len, OLECHAR* dst, int dst_len) {
  code_page = Resolve(code_page);
  if (src == nullptr || src_len == 0 || src_len < -1 || dst_len < 0 ||
      (dst == nullptr && dst_len != 0) ||
      (code_page != CP_WINDOWS_1252 && code_page != CP_UTF8)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  size_t n = SourceLength(src, src_len);
  Sink<OLECHAR> out(dst, dst_len);
  for (size_t i = 0; i < n;) {
    char32_t cp;
    if (code_page == CP_WINDOWS_1252) {
      cp = Cp1252ToUnit(s[i]);
      ++i;
    } else {
      size_t len;
      bool invalid;
      cp = DecodeUtf8(s, n, i, &len, &invalid);
      if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      i += len;
    }
    bool ok;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      ok = out.Put(static_cast<OLECHAR>(0xD800 + (cp >> 10))) &&
           out.Put(static_cast<OLECHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      ok = out.Put(static_cast<OLECHAR>(cp));
    }
    if (!ok) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
  }
  return static_cast<int>(out.count());
}

int WideCharToMultiByte(UINT code_page, DWORD flags, const OLECHAR* src,
                        int src_len, char* dst, int dst_len,
                        const char* default_char, BOOL* used_default) {
  code_page = Resolve(code_page);
  if (src == nullptr || src_len == 0 || src_len < -1 || dst_len < 0 ||
      (dst == nullptr && dst_len != 0) ||
      (code_page != CP_WINDOWS_1252 && code_page != CP_UTF8) ||
      (code_page == CP_UTF8 &&
       (default_char != nullptr || used_default != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = SourceLength(src, src_len);
  Sink<char> out(dst, dst_len);
  bool defaulted = false;
  for (size_t i = 0; i < n;) {
    char32_t cp = src[i];
    bool lone_surrogate = false;
    if (IsHighSurrogate(cp) && i + 1 < n && IsLowSurrogate(src[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
      i += 2;
    } else {
      lone_surrogate = IsHighSurrogate(cp) || IsLowSurrogate(cp);
      ++i;
    }
    bool ok = true;
    if (code_page == CP_WINDOWS_1252) {
      int b = lone_surrogate ? -1 : UnitToCp1252(cp);
      if (b < 0) {
        defaulted = true;
        b = static_cast<unsigned char>(default_char ? *default_char : '?');
      }
      ok = out.Put(static_cast<char>(b));
    } else {
      if (lone_surrogate) {
        if (flags & WC_ERR_INVALID_CHARS) {
          SetLastError(ERROR_NO_UNICODE_TRANSLATION);
          return 0;
        }
        cp = 0xFFFD;
      }
      if (cp < 0x80) {
        ok = out.Put(static_cast<char>(cp));
      } else if (cp < 0x800) {
        ok = out.Put(static_cast<char>(0xC0 | (cp >> 6))) &&
             out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      } else if (cp < 0x10000) {
        ok = out.Put(static_cast<char>(0xE0 | (cp >> 12))) &&
             out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) &&
             out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      } else {
        ok = out.Put(static_cast<char>(0xF0 | (cp >> 18))) &&
             out.Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F))) &&
             out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) &&
             out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      }
    }
    if (!ok) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
  }
  if (used_default != nullptr) *used_default = defaulted ? TRUE : FALSE;
  return static_cast<int>(out.count());
}

const char* CharNextA(const char* p) { return *p == '\0' ? p : p + 1; }

const char* CharPrevA(const char* start, const char* p) {
  return p > start ? p - 1 : start;
}

namespace {

std::u16string ToWide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  int len = static_cast<int>(text.size());
  int need = MultiByteToWideChar(code_page, 0, text.data(), len, nullptr, 0);
  std::u16string out(static_cast<size_t>(need), u'\0');
  MultiByteToWideChar(code_page, 0, text.data(), len, out.data(), need);
  return out;
}

std::string FromWide(UINT code_page, std::u16string_view text,
                     bool* used_default) {
  if (used_default != nullptr) *used_default = false;
  if (text.empty()) return {};
  int len = static_cast<int>(text.size());
  BOOL defaulted = FALSE;
  BOOL* flag = code_page == CP_UTF8 ? nullptr : &defaulted;
  int need = WideCharToMultiByte(code_page, 0, text.data(), len, nullptr, 0,
                                 nullptr, flag);
  std::string out(static_cast<size_t>(need), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), len, out.data(), need,
                      nullptr, flag);
  if (used_default != nullptr) *used_default = defaulted != FALSE;
  return out;
}

}  // namespace

std::u16string AnsiToWide(std::string_view text) {
  return ToWide(CP_ACP, text);
}

std::string WideToAnsi(std::u16string_view text, bool* used_default) {
  return FromWide(CP_ACP, text, used_default);
}

std::u16string Utf8ToWide(std::string_view text) {
  return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(std::u16string_view text) {
  return FromWide(CP_UTF8, text, nullptr);
}

// The longest text converted through UTF-16: its units, and the up to four
// bytes each may take back, must be countable in an int.
constexpr size_t kMaxConverted = INT_MAX / 4;

// Texts our own XML writer produces are pure ASCII (every byte from 0x80 up
// is written as a numeric reference), and ASCII is the same in the code page
// and in UTF-8: converting such a text through UTF-16 would give it back
// unchanged, so the copy is taken directly.
std::string AnsiToUtf8(std::string_view text) {
  if (IsAsciiText(text)) return std::string(text);
  if (text.size() > kMaxConverted) return {};
  return WideToUtf8(AnsiToWide(text));
}

std::string Utf8ToAnsi(std::string_view text, bool* used_default) {
  if (IsAsciiText(text)) {
    if (used_default != nullptr) *used_default = false;
    return std::string(text);
  }
  if (text.size() > kMaxConverted) return {};
  return WideToAnsi(Utf8ToWide(text), used_default);
}

bool IsAsciiText(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
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

std::vector<std::string> CharactersOutsideCodePage(std::string_view utf8) {
  std::vector<std::string> lacking;
  std::u16string wide = Utf8ToWide(utf8);
  for (size_t i = 0; i < wide.size();) {
    bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    std::u16string_view character(wide.data() + i, pair ? 2 : 1);
    i += character.size();
    bool used_default = false;
    WideToAnsi(character, &used_default);
    if (!used_default) continue;
    std::string text = WideToUtf8(character);
    if (std::find(lacking.begin(), lacking.end(), text) == lacking.end()) {
      lacking.push_back(text);
    }
  }
  return lacking;
}

}  // namespace tavirelle
