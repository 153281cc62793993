// The package commands drive a CQXFileIO through IQXFileIO, as a host
// application would; this holds the object for one command run and turns its
// failures into one-line reasons.
#ifndef TAVIRELLE_CLI_FILE_IO_SESSION_H_
#define TAVIRELLE_CLI_FILE_IO_SESSION_H_

#include <string>

#include "tavirelle/types.h"
#include "tavirelle/interfaces.h"

#include "package/show_package.h"

namespace tavirelle {

class CQXFileIO;

class FileIOSession {
 public:
  FileIOSession() = default;
  ~FileIOSession();
  FileIOSession(const FileIOSession&) = delete;
  FileIOSession& operator=(const FileIOSession&) = delete;

  // Creates the object; false with the reason in *error.
  bool Create(std::string* error);
  IQXFileIO* get() const { return io_; }
  // The object behind the interface, for what a command needs beyond it
  // (an extraction's report, whether the icon was saved).
  CQXFileIO* object() const { return object_; }
  ShowPackage& package() const;

  // Opens the package at `utf8_path` (the command's UTF-8 text). On failure
  // *error tells why the file is not a usable package.
  bool Open(const std::string& utf8_path, bool validate_meta, std::string* error);

 private:
  CQXFileIO* object_ = nullptr;
  IQXFileIO* io_ = nullptr;
};

// Why an entry was not saved as a file, in words; empty when it was.
std::string DescribeEntrySave(const EntrySave& save);

// `folder` (a command argument) as an output folder that names can be
// appended to: with a trailing separator.
std::string AsOutputFolder(const std::string& folder);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_FILE_IO_SESSION_H_
