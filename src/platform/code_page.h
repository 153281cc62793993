// The one family of text conversions: the process code page (Windows-1252,
// fixed), UTF-8 and UTF-16 ("wide"), converted the way the original
// platform's conversion functions do it. Every layer converts through these.
//
// The functions keep the platform's calling conventions: a source length of
// -1 means "up to and including the terminating NUL", a destination size of 0
// asks for the size needed, and 0 is returned on failure with the reason in
// the per-thread last error (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER,
// ERROR_NO_UNICODE_TRANSLATION).
#ifndef TAVIRELLE_PLATFORM_CODE_PAGE_H_
#define TAVIRELLE_PLATFORM_CODE_PAGE_H_

#include <string>
#include <string_view>
#include <vector>

#include "tavirelle/types.h"

namespace tavirelle {

inline constexpr UINT CP_ACP = 0;          // the process code page
inline constexpr UINT CP_WINDOWS_1252 = 1252;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

int MultiByteToWideChar(UINT code_page, DWORD flags, const char* src,
                        int src_len, OLECHAR* dst, int dst_len);

// `default_char` (one byte) and `used_default` must be null for CP_UTF8, as on
// the original platform. Characters without a Windows-1252 byte become the
// default character ("?" when none is given) and set *used_default; there is
// no best-fit mapping.
int WideCharToMultiByte(UINT code_page, DWORD flags, const OLECHAR* src,
                        int src_len, char* dst, int dst_len,
                        const char* default_char, BOOL* used_default);

// Character stepping in the process code page. Windows-1252 has no multi-byte
// characters, so these step one byte; callers use them so that a code page
// with lead bytes would be walked correctly.
const char* CharNextA(const char* p);
const char* CharPrevA(const char* start, const char* p);

// String conveniences over the functions above: one name per conversion.
// Each converts the whole text given, zero bytes included; a caller that
// means "up to the first zero byte" passes a `const char*`. A character the
// target lacks becomes "?" (and sets *used_default); an ill-formed UTF-8
// sequence becomes U+FFFD, which the code page holds as "?".
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text, bool* used_default = nullptr);
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text, bool* used_default = nullptr);

// True when every byte is below 0x80: the text reads the same in the code
// page and in UTF-8, so converting it changes nothing.
bool IsAsciiText(std::string_view text);

// The UTF-16 unit of the code-page byte ch through *out (0 and false on failure).
bool CharToWide(char ch, OLECHAR* out);
// The code-page byte of the UTF-16 unit through *out; false when the code
// page has no such character (*out then holds the default character "?").
bool WideToChar(OLECHAR code, char* out);

// The characters of a UTF-8 text that the process code page lacks, each once,
// in order of first appearance (as UTF-8); empty when the whole text fits.
std::vector<std::string> CharactersOutsideCodePage(std::string_view utf8);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_CODE_PAGE_H_
