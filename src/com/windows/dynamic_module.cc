#include "com/dynamic_module.h"

#include "platform/path.h"
#include "platform/windows/win32.h"

namespace tavirelle {

Status LoadModule(const std::string& path, void** module) {
  *module = nullptr;
  if (HoldsWildcard(path)) return Status::Error(ERROR_INVALID_NAME);
  std::u16string wide;
  if (!win32::CodePageToWide(path, &wide)) return Status::FromLastError();
  *module = win32::LoadLibrary(wide);
  if (*module != nullptr) return Status::Ok();
  // The loader's own code tells a missing module from one of another
  // processor or a dependency missing: its words say which.
  std::string words;
  win32::WideToCodePage(win32::ErrorMessage(win32::LastError()), &words);
  return Status::Error(ERROR_MOD_NOT_FOUND, words.empty() ? std::string("cannot be loaded") : words);
}

void* ModuleSymbol(void* module, const char* name) {
  return module == nullptr ? nullptr : win32::GetProcAddress(module, name);
}

std::string ModulePathOf(const void* address) {
  win32::Handle module = win32::ModuleHolding(address);
  if (module == nullptr) return {};
  std::string path;
  // A path with "?" in place of a character would name another file.
  if (!win32::WideToCodePage(win32::ModuleFileName(module), &path)) return {};
  return path;
}

}  // namespace tavirelle
