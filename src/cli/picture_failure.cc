#include "cli/picture_failure.h"

#include <sys/stat.h>

#include <memory>

#include "api/show_api.h"
#include "cli/command.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"

namespace tavirelle {

std::string PictureProblem(const std::string& utf8) {
  std::string problem = FileProblem(utf8);
  if (!problem.empty()) return problem;
  if (!StatesPictureSize(DefaultFileSystem(), Utf8ToAnsi(utf8))) return NotAPicture();
  return {};
}

std::string FileProblem(const std::string& utf8) {
  std::string path = Utf8ToAnsi(utf8);
  FileSystem* fs = &DefaultFileSystem();
  DWORD attributes = 0;
  Status found = fs->GetFileAttributes(path, &attributes);
  if (!found.ok()) return ErrorInWords(found.code());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "a folder, not a picture";
  // A pipe or a device would block the reads below, or never end.
  struct stat st {};
  if (::stat(utf8.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return "not a regular file";
  std::unique_ptr<File> file;
  Status read = fs->Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  char start[2];
  DWORD done = 0;
  if (read.ok()) read = file->Read(start, sizeof start, &done);
  if (!read.ok()) return "cannot read it: " + ErrorInWords(read.code());
  return {};
}

}  // namespace tavirelle
