// A scratch folder of one's own under the machine's folder for temporary
// files, removed with everything in it when done: for tests, and for tools
// that need room for a moment.
#ifndef TAVIRELLE_PLATFORM_SCRATCH_FOLDER_H_
#define TAVIRELLE_PLATFORM_SCRATCH_FOLDER_H_

#include <memory>
#include <string>

#include "platform/status.h"

namespace tavirelle {

class ScratchFolder {
 public:
  // Makes a new folder whose name starts with `prefix` (plain ASCII) under
  // the folder for temporary files: TMPDIR or /tmp on POSIX systems, the
  // user's temporary folder on Windows.
  static Status Make(const std::string& prefix, std::unique_ptr<ScratchFolder>* folder);
  // Removes the folder and everything in it, read-only files included.
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder with a trailing separator, in the process code page, so that
  // the file layer reaches it. Where the folder's own path is not plain ASCII
  // this is an alias of it that is (see aliased()).
  const std::string& path() const { return path_; }
  // Whether path() is such an alias: a program started from inside the folder
  // finds its own location under the real path, which the file layer may not
  // take.
  bool aliased() const { return handle_ >= 0; }

 private:
  ScratchFolder() = default;

  std::string native_;  // the folder as the system names it
  std::string path_;
  int handle_ = -1;  // behind the alias, when there is one
};

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_SCRATCH_FOLDER_H_
