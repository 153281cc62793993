// The words every host shows for a failure.
#ifndef TAVIRELLE_API_WORDS_H_
#define TAVIRELLE_API_WORDS_H_

#include <string>

#include "tavirelle/types.h"

namespace tavirelle {

// A Win32 error code in words for a message line: "no such file",
// "disk full", "permission denied", ...
std::string ErrorInWords(DWORD code);

}  // namespace tavirelle

#endif  // TAVIRELLE_API_WORDS_H_
