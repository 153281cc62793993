#include "cli/file_io_session.h"

#include "cli/command.h"
#include "cli/module_objects.h"
#include "com/bstr.h"
#include "package/record_format.h"
#include "package/show_package.h"
#include "platform/code_page.h"

namespace tavirelle {

bool FileIOSession::Create(std::string* error) {
  if (LoadModuleExports(error) == nullptr) return false;
  HRESULT hr = S_OK;
  io_ = CreateModuleObject<IQXFileIO>(CLSID_QXFileIO, &hr);
  if (io_) return true;
  *error = "cannot create the package object: " + HresultInWords(hr);
  return false;
}

bool FileIOSession::Open(const std::string& utf8_path, bool validate_meta,
                         std::string* error) {
  opened_ = utf8_path;
  package_path_ = Utf8ToAnsi(utf8_path);
  ScopedBstr path(BstrFromUtf8(utf8_path));
  if (io_->OpenDotTavirelle(path.get(), validate_meta ? 1 : 0) == S_OK) return true;
  // The interface only says that the open failed; the library's open
  // without checking the description (which never writes) tells why.
  ShowPackage probe(DefaultFileSystem());
  Status opened = probe.OpenPackage(package_path_, /*validateMeta=*/false);
  if (opened.ok()) opened = OpenFailure(PackageOpenError::kRepairFailed);
  *error = utf8_path + ": " + opened.words();
  return false;
}

int FileIOSession::OpenArgument(const std::string& typed, UserPaths& paths) {
  std::string error;
  if (!Create(&error)) return Fail(error);
  if (!Open(paths.In(typed), false, &error)) return Fail(paths.Typed(error));
  return 0;
}

bool FileIOSession::Reopen() {
  ScopedBstr path(BstrFromUtf8(opened_));
  return io_->OpenDotTavirelle(path.get(), 0) == S_OK;
}

}  // namespace tavirelle
