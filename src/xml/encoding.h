// The small text questions of the XML layer: a byte-order mark, blank text,
// and the characters behind numeric character references. The conversions
// between the code page every XML text is kept in and UTF-8 are the
// platform's (platform/code_page.h).
//
// Texts given as `const char*` take part only up to their first zero byte; a
// null pointer counts as the empty text. No function here keeps state; all
// are safe on any thread.
#ifndef TAVIRELLE_XML_ENCODING_H_
#define TAVIRELLE_XML_ENCODING_H_

#include <string>
#include <string_view>

#include "tavirelle/types.h"

namespace tavirelle {

// True when the text has at least 3 bytes and begins with EF BB BF.
bool HasUtf8Bom(const char* text);
inline bool HasUtf8Bom(const std::string& text) { return HasUtf8Bom(text.c_str()); }

// CharToWide(ch) in upper-case hexadecimal, at least two digits ("09", "21", "20AC").
std::string CharToHex(char ch);

// The hexadecimal digits (either case) read as a number, its low 16 bits
// taken as a UTF-16 unit, then WideToChar.
bool HexToChar(const char* digits, char* out);

// The decimal digits read as a number, its low 16 bits taken as a UTF-16
// unit, then WideToChar.
bool DecToChar(const char* digits, char* out);

// True when the text (null counts as empty) is empty or holds only space,
// tab, CR and LF.
bool IsBlankText(const char* text);
bool IsBlankText(std::string_view text);
inline bool IsBlankText(const std::string& text) { return IsBlankText(std::string_view(text)); }

}  // namespace tavirelle

#endif  // TAVIRELLE_XML_ENCODING_H_
