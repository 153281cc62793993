#include "com/dynamic_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "platform/code_page.h"
#include "platform/path.h"

namespace tavirelle {

Status LoadModule(const std::string& path, void** module) {
  std::string native = NativePath(path);
  *module = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (*module != nullptr) return Status::Ok();
  const char* why = ::dlerror();
  return Status::Error(ERROR_MOD_NOT_FOUND, Utf8ToAnsi(why != nullptr ? why : "cannot be loaded"));
}

void* ModuleSymbol(void* module, const char* name) {
  return module == nullptr ? nullptr : ::dlsym(module, name);
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved) == nullptr) return {};
  // A shared library is known by its plain name ("libX.so"), the versioned
  // file being an installation detail: prefer the plain name when it leads
  // to the same file.
  std::string path = resolved;
  size_t slash = path.rfind('/');
  size_t so = path.find(".so.", slash == std::string::npos ? 0 : slash);
  if (so != std::string::npos) {
    std::string plain = path.substr(0, so + 3);
    char plain_resolved[PATH_MAX];
    if (::realpath(plain.c_str(), plain_resolved) != nullptr && path == plain_resolved) {
      path = plain;
    }
  }
  return NameFromNative(path);
}

}  // namespace tavirelle
