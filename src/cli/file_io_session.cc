#include "cli/file_io_session.h"

#include <new>

#include "cli/command.h"

#include "package/record_format.h"
#include "package/show_package.h"
#include "com/bstr.h"
#include "showdata/qx_file_io.h"
#include "util/text.h"

namespace tavirelle {

FileIOSession::~FileIOSession() {
  if (io_ != nullptr) io_->Release();
}

bool FileIOSession::Create(std::string* error) {
  // Made here rather than through the class object so that the command can
  // reach what lies behind the interface; it starts with one reference.
  try {
    object_ = new CQXFileIO();
  } catch (const std::bad_alloc&) {
    *error = "cannot create the package object: out of memory";
    return false;
  }
  io_ = object_;
  return true;
}

ShowPackage& FileIOSession::package() const { return object_->package(); }

bool FileIOSession::Open(const std::string& utf8_path, bool validate_meta,
                         std::string* error) {
  ScopedBstr path(BstrFromUtf8(utf8_path));
  if (io_->OpenDotTavirelle(path.get(), validate_meta ? 1 : 0) == S_OK) {
    return true;
  }
  // The interface only says that the open failed; a second look without
  // checking the description (which never writes) tells why.
  ShowPackage probe(DefaultFileSystem());
  probe.OpenPackage(ToAnsi(utf8_path), false);
  PackageOpenError why = probe.openError();
  if (why == PackageOpenError::kNone) why = PackageOpenError::kRepairFailed;
  *error = utf8_path + ": " + DescribeOpenError(why);
  return false;
}

std::string DescribeEntrySave(const EntrySave& save) {
  switch (save.result) {
    case EntrySaveResult::kSaved: return std::string();
    case EntrySaveResult::kMissing: return "not in the package";
    case EntrySaveResult::kDamaged: return "damaged in the package";
    case EntrySaveResult::kMismatch: return "damaged in the package (checksum mismatch)";
    case EntrySaveResult::kWriteFailed: return ErrorInWords(save.error);
  }
  return "not saved";
}

std::string AsOutputFolder(const std::string& folder) {
  if (folder.empty()) return "./";
  char last = folder.back();
  return last == '/' || last == '\\' ? folder : folder + "/";
}

}  // namespace tavirelle
