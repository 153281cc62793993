// The package commands drive an IQXFileIO of the module as a host
// application would, and nothing behind it; this holds the object for one
// command run and turns its failures into one-line reasons.
#ifndef TAVIRELLE_CLI_FILE_IO_SESSION_H_
#define TAVIRELLE_CLI_FILE_IO_SESSION_H_

#include <string>

#include "cli/user_path.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

class FileIOSession {
 public:
  // Creates the object; false with the reason in *error.
  bool Create(std::string* error);
  IQXFileIO* operator->() const { return io_.get(); }

  // Opens the package at `utf8_path` (the command's UTF-8 text, or a name
  // the component can take for it). On failure *error tells why the file is
  // not a usable package.
  bool Open(const std::string& utf8_path, bool validate_meta, std::string* error);
  // The preamble of the commands that read one package: creates the object
  // and opens `typed` (a command argument) without checking the show
  // description; 0, or the exit code once the one line is printed.
  int OpenArgument(const std::string& typed, UserPaths& paths);
  // Opens the last package again, as it stands now.
  bool Reopen();

  // The package last opened, as the component got it (process code page),
  // for the checks a command makes around the work.
  const std::string& package_path() const { return package_path_; }

 private:
  ComPtr<IQXFileIO> io_;
  std::string opened_;  // UTF-8, as handed to the object
  std::string package_path_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_FILE_IO_SESSION_H_
