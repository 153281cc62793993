// CQXFileIO: the automation object behind IQXFileIO. It owns one show
// package: packs show folders into packages, opens one package at a time,
// answers questions about it and extracts its show into OutputPath, each
// through the library's API, and tells the outcome in the interface's codes.
//
// At this boundary texts arrive as automation strings (converted to the
// process code page by ArgumentFromBstr) and leave as new automation
// strings; no C++ exception gets out of a method.
#ifndef TAVIRELLE_AUTOMATION_QX_FILE_IO_H_
#define TAVIRELLE_AUTOMATION_QX_FILE_IO_H_

#include <string>

#include "api/package_api.h"
#include "com/com_object.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

class CQXFileIO : public DispatchObject<IQXFileIO> {
 public:
  // Starts with one reference, owned by the creator.
  // As a host creates it, through the module's class factory: on the
  // machine's file system.
  CQXFileIO() : CQXFileIO(DefaultFileSystem()) {}
  // Reads and writes packages and show folders through `fs`, which must
  // outlive the object.
  explicit CQXFileIO(FileSystem& fs) : package_(fs) {}

  HRESULT OpenDotTavirelle(BSTR file_name, LONG download_missing_common_assets) override;
  HRESULT GenerateTavirelleData() override;
  HRESULT QuickGetShowInfo(BSTR* show_icon, BSTR* show_title) override;
  HRESULT GetShowCode(BSTR* show_code) override;
  HRESULT GetServerModTime(BSTR* server_mod_time) override;
  HRESULT GetLocalModified(LONG* local_modified) override;
  HRESULT get_OutputPath(BSTR* value) override;
  HRESULT put_OutputPath(BSTR value) override;
  HRESULT CloseDotTavirelle() override;
  HRESULT WriteDotTavirelle(BSTR export_filename, BSTR data_folder,
                            BSTR* exact_filename) override;
  HRESULT GetMetaXml(BSTR* meta_xml) override;
  HRESULT Utils_MakeLegalName(BSTR source_name, BSTR* dest_name) override;

 private:
  ~CQXFileIO() override = default;

  ShowPackage package_;
  std::string output_path_;
};

// Creates a CQXFileIO and returns its `riid` interface through `object`.
HRESULT CreateQXFileIO(REFIID riid, void** object);

}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_QX_FILE_IO_H_
