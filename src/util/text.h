// Text helpers used across the system: error codes in words, printf-style
// formatting, replacing every occurrence of a pattern, and byte-wise case
// conversion.
#ifndef TAVIRELLE_UTIL_TEXT_H_
#define TAVIRELLE_UTIL_TEXT_H_

#include <cstddef>
#include <string>

#include "tavirelle/types.h"

namespace tavirelle {

// A Win32 error code in words for a message line: "no such file",
// "disk full", "permission denied", ...
std::string ErrorInWords(DWORD code);

// Formats into a buffer of 2048 characters and, while the output does not
// fit, tries again with 6144, 12288, 20480, 30720 and 43008; longer output is
// cut to its first 43008 characters.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces every occurrence of `pattern` from left to right, resuming after
// each inserted replacement (inserted text is never searched again). An
// empty pattern replaces nothing; a null replacement is the empty text.
// Returns the number of replacements.
size_t ReplaceAll(std::string& text, const std::string& pattern,
                  const char* replacement);
size_t ReplaceAll(std::string& text, const std::string& pattern,
                  const std::string& replacement);

// Converts in place, byte by byte, with the current global locale's
// character classification; returns the text.
std::string& LowerCase(std::string& text);
std::string& UpperCase(std::string& text);

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_TEXT_H_
