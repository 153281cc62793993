// On Windows an installed copy keeps its data (the default style template,
// the sample config.xml and photos) in the folder of the module or program
// itself, so the data folder is that file's folder.
#include "platform/host.h"

#include "platform/windows/win32.h"

namespace tavirelle {

namespace {

// The code-page text of a path the system gives; empty when the code page
// cannot hold it, since a name with "?" in place of a character would name
// no file, or another one.
std::string PathFromSystem(const std::u16string& wide) {
  std::string text;
  if (wide.empty() || !win32::WideToCodePage(wide, &text)) return {};
  return text;
}

std::string FolderOf(const std::string& file) {
  const size_t separator = file.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : file.substr(0, separator + 1);
}

}  // namespace

std::string HostExecutablePath() { return PathFromSystem(win32::ModuleFileName(nullptr)); }

std::string InstalledDataFolder() {
  win32::Handle module = win32::ModuleHolding(reinterpret_cast<const void*>(&InstalledDataFolder));
  if (module == nullptr) return {};
  return FolderOf(PathFromSystem(win32::ModuleFileName(module)));
}

std::string PlatformSpecialFolder(int csidl) {
  if (csidl != CSIDL_COMMON_APPDATA) return {};
  std::string folder = PathFromSystem(win32::CommonAppDataFolder());
  if (folder.empty()) return {};
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace tavirelle
