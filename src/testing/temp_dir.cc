#include "testing/temp_dir.h"

#include <stdexcept>

#include "platform/scratch_folder.h"

namespace tavirelle {

TempDir::TempDir() {
  Status made = ScratchFolder::Make("tavirelle-test-", &folder_);
  if (!made.ok()) {
    throw std::runtime_error("cannot create a scratch folder: " + made.words() + " (error " +
                             std::to_string(made.code()) + ")");
  }
}

TempDir::~TempDir() = default;

const std::string& TempDir::path() const { return folder_->path(); }

bool TempDir::aliased() const { return folder_->aliased(); }

}  // namespace tavirelle
