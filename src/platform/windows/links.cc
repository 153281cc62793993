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

}  // namespace

LinkReach ReachOfLink(const std::string& folder, const std::string& path) {
  std::u16string wide_path, wide_folder;
  uint32_t attributes = 0;
  if (!win32::CodePageToWide(path, &wide_path) ||
      !win32::GetFileAttributes(wide_path, &attributes) || (attributes & kReparsePoint) == 0) {
    return LinkReach::kNoLink;
  }
  std::u16string target, inside;
  uint32_t target_attributes = 0, folder_attributes = 0;
  if (!win32::FinalPath(wide_path, &target, &target_attributes) ||
      (target_attributes & (kDirectory | kReparsePoint)) != 0) {
    return LinkReach::kNotAFile;
  }
  const bool within = win32::CodePageToWide(folder, &wide_folder) &&
                      win32::FinalPath(wide_folder, &inside, &folder_attributes) &&
                      StartsWith(target, inside + u"\\");
  return within ? LinkReach::kFileInside : LinkReach::kOutside;
}

}  // namespace tavirelle
