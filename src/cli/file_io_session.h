// The package commands drive a CQXFileIO through IQXFileIO, as a host
// application would; this holds the object for one command run and turns its
// failures into one-line reasons.
#ifndef TAVIRELLE_CLI_FILE_IO_SESSION_H_
#define TAVIRELLE_CLI_FILE_IO_SESSION_H_

#include <string>

#include "platform/types.h"
#include "show/interfaces.h"

class FileIOSession {
 public:
  FileIOSession() = default;
  ~FileIOSession();
  FileIOSession(const FileIOSession&) = delete;
  FileIOSession& operator=(const FileIOSession&) = delete;

  // Creates the object; false with the reason in *error.
  bool Create(std::string* error);
  IQXFileIO* get() const { return io_; }

  // Opens the package at `utf8_path` (the command's UTF-8 text). On failure
  // *error tells why the file is not a usable package.
  bool Open(const std::string& utf8_path, bool validate_meta, std::string* error);

 private:
  IQXFileIO* io_ = nullptr;
};

// `folder` (a command argument) as an output folder that names can be
// appended to: with a trailing separator.
std::string AsOutputFolder(const std::string& folder);

#endif  // TAVIRELLE_CLI_FILE_IO_SESSION_H_
