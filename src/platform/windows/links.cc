#include "platform/links.h"

#include "platform/windows/win32.h"

namespace tavirelle {

namespace {

constexpr uint32_t kDirectory = 0x10, kReparsePoint = 0x400;

// Paths compare as the system resolves names, ignoring case.
char16_t Folded(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  return c;
}

bool StartsWith(const std::u16string& path, const std::u16string& start) {
  if (path.size() < start.size()) return false;
  for (size_t i = 0; i < start.size(); ++i) {
    if (Folded(path[i]) != Folded(start[i])) return false;
  }
  return true;
}

bool SameFolded(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && StartsWith(a, b);
}

// The final path of a folder given in the code page, with a trailing
// backslash; empty when it cannot be told.
std::u16string FinalFolder(const std::string& folder) {
  std::u16string wide, final_path;
  uint32_t attributes = 0;
  if (!win32::CodePageToWide(folder, &wide) || !win32::FinalPath(wide, &final_path, &attributes)) {
    return {};
  }
  if (final_path.empty() || final_path.back() != u'\\') final_path += u'\\';
  return final_path;
}

}  // namespace

// A link is a reparse point, or, where the system beneath shows none (wine
// over POSIX symbolic links), a name whose final path is not its own.
LinkReach ReachOfLink(const std::string& folder, const std::string& path) {
  std::u16string wide_path;
  if (!win32::CodePageToWide(path, &wide_path)) return LinkReach::kNoLink;
  std::u16string target;
  uint32_t target_attributes = 0;
  if (!win32::FinalPath(wide_path, &target, &target_attributes)) {
    // Nothing can be opened there: a link to nothing, if an entry stands.
    std::vector<win32::FoundFile> found;
    return win32::ListFiles(wide_path, &found) && !found.empty() ? LinkReach::kNotAFile
                                                                  : LinkReach::kNoLink;
  }
  uint32_t own_attributes = 0;
  const bool reparse = win32::GetFileAttributes(wide_path, &own_attributes) &&
                       (own_attributes & kReparsePoint) != 0;
  const size_t separator = path.find_last_of("\\/");
  const std::u16string parent =
      FinalFolder(separator == std::string::npos ? std::string(".") : path.substr(0, separator + 1));
  std::u16string name;
  win32::CodePageToWide(separator == std::string::npos ? path : path.substr(separator + 1), &name);
  if (!reparse && !parent.empty() && SameFolded(target, parent + name)) return LinkReach::kNoLink;
  if ((target_attributes & kDirectory) != 0) return LinkReach::kNotAFile;
  const std::u16string inside = FinalFolder(folder);
  return !inside.empty() && StartsWith(target, inside) ? LinkReach::kFileInside
                                                       : LinkReach::kOutside;
}

}  // namespace tavirelle
