#include "cli/file_io_session.h"

#include "cli/command.h"

#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/bstr.h"
#include "showdata/qx_file_io.h"
#include "util/text.h"

FileIOSession::~FileIOSession() {
  if (io_ != nullptr) io_->Release();
}

bool FileIOSession::Create(std::string* error) {
  HRESULT status = CreateQXFileIO(IQXFileIO::kIid, reinterpret_cast<void**>(&io_));
  if (status != S_OK || io_ == nullptr) {
    io_ = nullptr;
    *error = FormatText("cannot create the package object (0x%08X)",
                        static_cast<unsigned>(status));
    return false;
  }
  return true;
}

bool FileIOSession::Open(const std::string& utf8_path, bool validate_meta,
                         std::string* error) {
  ScopedBstr path(BstrFromUtf8(utf8_path));
  if (io_->OpenDotTavirelle(path.get(), validate_meta ? 1 : 0) == S_OK) {
    return true;
  }
  // The interface only says that the open failed; a second look without
  // checking the description (which never writes) tells why.
  ShowPackage probe;
  probe.OpenPackage(ToAnsi(utf8_path), false);
  PackageOpenError why = probe.openError();
  if (why == PackageOpenError::kNone) why = PackageOpenError::kRepairFailed;
  *error = utf8_path + ": " + DescribeOpenError(why);
  return false;
}

std::string AsOutputFolder(const std::string& folder) {
  if (folder.empty()) return "./";
  char last = folder.back();
  return last == '/' || last == '\\' ? folder : folder + "/";
}
