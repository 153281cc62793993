#include "platform/path.h"

#include "platform/code_page.h"

namespace tavirelle {

std::string NativePath(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    path.remove_prefix(2);
  }
  std::string slashed(path);
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  return AnsiToUtf8(slashed);
}

bool HoldsWildcard(std::string_view path) {
  return path.find_first_of("?*") != std::string_view::npos;
}

std::string NameFromNative(std::string_view native_name) {
  return Utf8ToAnsi(native_name);
}

namespace {

// Case folding of the Windows-1252 letters.
unsigned char Fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

// Iterative '*'/'?' matcher with single-star backtracking: linear in
// practice and never exponential.
bool Match(std::string_view p, std::string_view s) {
  size_t pi = 0, si = 0, star = std::string_view::npos, mark = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' ||
                          Fold(static_cast<unsigned char>(p[pi])) ==
                              Fold(static_cast<unsigned char>(s[si])))) {
      ++pi;
      ++si;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = si;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      si = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (Match(pattern, name)) return true;
  bool name_has_dot = name.find('.') != std::string_view::npos;
  if (name_has_dot) return false;
  // A name without a dot also matches a pattern ending in "." or ".*".
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Match(pattern.substr(0, pattern.size() - 2), name);
  }
  if (!pattern.empty() && pattern.back() == '.') {
    return Match(pattern.substr(0, pattern.size() - 1), name);
  }
  return false;
}

}  // namespace tavirelle
