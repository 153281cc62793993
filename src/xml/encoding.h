// Conversions between the process code page (the narrow strings every XML
// text is kept in) and UTF-8 (the encoding of most XML files), and the
// single-character conversions behind numeric character references.
//
// Narrow and UTF-8 texts given as `const char*` take part only up to their
// first zero byte; a null pointer counts as the empty text. No function here
// keeps state; all are safe on any thread.
#ifndef TAVIRELLE_XML_ENCODING_H_
#define TAVIRELLE_XML_ENCODING_H_

#include <string>
#include <string_view>

#include "tavirelle/types.h"

namespace tavirelle {

// The narrow text converted to UTF-8; the empty text on failure.
std::string MbToUtf8(const char* text);
inline std::string MbToUtf8(const std::string& text) { return MbToUtf8(text.c_str()); }

// The UTF-8 text converted to the process code page ("?" for a character the
// code page lacks, one "?" per ill-formed sequence); the empty text on failure.
std::string Utf8ToMb(const char* text);
inline std::string Utf8ToMb(const std::string& text) { return Utf8ToMb(text.c_str()); }

// True when every byte is below 0x80: the text reads the same in the code
// page and in UTF-8, so converting it changes nothing.
bool IsAsciiText(std::string_view text);

// True when the text has at least 3 bytes and begins with EF BB BF.
bool HasUtf8Bom(const char* text);
inline bool HasUtf8Bom(const std::string& text) { return HasUtf8Bom(text.c_str()); }

// The UTF-16 unit of the code-page byte ch through *out (0 and false on failure).
bool CharToWide(char ch, OLECHAR* out);

// The code-page byte of the UTF-16 unit through *out; false when the code
// page has no such character (*out then holds the default character "?").
bool WideToChar(OLECHAR code, char* out);

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
