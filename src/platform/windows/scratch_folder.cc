#include "platform/scratch_folder.h"

#include <filesystem>

#include "platform/code_page.h"
#include "platform/windows/win32.h"

namespace tavirelle {

Status ScratchFolder::Make(const std::string& prefix, std::unique_ptr<ScratchFolder>* folder) {
  folder->reset();
  const std::u16string base = win32::TempFolder();
  if (base.empty()) return Status::FromLastErrorOr(ERROR_PATH_NOT_FOUND);
  for (int attempt = 0; attempt < 16; ++attempt) {
    uint8_t random[16];
    if (win32::CreateGuid(random) < 0) return Status::Error(ERROR_NOT_ENOUGH_MEMORY);
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += "0123456789abcdef"[random[i] & 15];
    const std::u16string wide = base + Utf8ToWide(name);
    if (!win32::CreateDirectory(wide)) {
      if (win32::LastError() == ERROR_ALREADY_EXISTS) continue;
      return Status::FromLastError();
    }
    std::unique_ptr<ScratchFolder> made(new ScratchFolder());
    made->native_ = WideToUtf8(wide);
    // A temporary folder whose path the code page cannot hold is out of the
    // file layer's reach.
    if (!win32::WideToCodePage(wide + u"\\", &made->path_)) {
      return Status::Error(ERROR_NO_UNICODE_TRANSLATION,
                           "the folder for temporary files has a name the code page cannot hold");
    }
    *folder = std::move(made);
    return Status::Ok();
  }
  return Status::Error(ERROR_ALREADY_EXISTS, "cannot make a scratch folder of a new name");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  const std::filesystem::path native(std::u8string(native_.begin(), native_.end()));
  // Read-only files must not stop the clean-up: giving the owner write
  // permission clears the read-only attribute.
  for (auto it = std::filesystem::recursive_directory_iterator(native, ignored);
       !ignored && it != std::filesystem::recursive_directory_iterator(); ++it) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(native, ignored);
}

}  // namespace tavirelle
