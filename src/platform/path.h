// Translation of the system's Windows-style paths to paths of this machine.
#ifndef TAVIRELLE_PLATFORM_PATH_H_
#define TAVIRELLE_PLATFORM_PATH_H_

#include <string>
#include <string_view>

namespace tavirelle {

// Every backslash becomes a slash, a leading drive prefix such as "C:" is
// dropped, and the text is converted from the process code page to UTF-8,
// the encoding of file names here.
std::string NativePath(std::string_view path);

// True when a name holds '?' or '*'. Both are wildcards, and '?' is also what
// a conversion to the code page leaves of a character it lacks, so such a
// name must never be taken literally: every operation on a named file
// refuses it with ERROR_INVALID_NAME, and only a pattern may hold them.
bool HoldsWildcard(std::string_view path);

// A file name read from this machine (UTF-8) in the process code page;
// characters the code page lacks become '?'.
std::string NameFromNative(std::string_view native_name);

// Wildcard match of `name` against `pattern` with '*' and '?', ignoring
// letter case (ASCII and the Latin-1 letters of the code page), with the
// platform's rules for a trailing ".": "*." matches names without a dot and
// "*.*" matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_PATH_H_
