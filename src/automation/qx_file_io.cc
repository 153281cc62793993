#include "automation/qx_file_io.h"

#include "com/boundary.h"
#include "com/bstr.h"

namespace tavirelle {

HRESULT CQXFileIO::OpenDotTavirelle(BSTR file_name,
                                    LONG download_missing_common_assets) {
  return Guarded([&]() -> HRESULT {
    std::string path;
    HRESULT hr = ArgumentFromBstr(file_name, &path);
    if (hr != S_OK) return hr;
    // The flag only asks for the description to be checked at once; this
    // library fetches nothing.
    // The interface promises E_FAIL for every package that does not open,
    // whatever the reason.
    Status opened = package_.OpenPackage(path, download_missing_common_assets != 0);
    return opened.ok() ? S_OK : E_FAIL;
  });
}

HRESULT CQXFileIO::GenerateTavirelleData() {
  return Guarded([&]() -> HRESULT {
    return ToHresult(ExtractForHost(package_, output_path_));
  });
}

HRESULT CQXFileIO::QuickGetShowInfo(BSTR* show_icon, BSTR* show_title) {
  return Guarded([&]() -> HRESULT {
    if (show_icon == nullptr || show_title == nullptr) return E_FAIL;
    *show_icon = nullptr;
    *show_title = nullptr;
    if (!package_.IsOpen()) return E_FAIL;
    // The host shows the icon from its output folder, whose subfolders it
    // makes itself; whether the icon could be saved there the interface
    // does not tell. A name that would land outside that folder is not saved.
    ShowQuery query = QueryShow(package_, IconSaving{output_path_, /*make_subfolders=*/false});
    BSTR icon = BstrFromAnsi(query.icon);
    BSTR title = BstrFromAnsi(query.title);
    if (icon == nullptr || title == nullptr) {
      SysFreeString(icon);
      SysFreeString(title);
      return E_OUTOFMEMORY;
    }
    *show_icon = icon;
    *show_title = title;
    return S_OK;
  });
}

HRESULT CQXFileIO::GetShowCode(BSTR* show_code) {
  return Guarded([&]() -> HRESULT {
    if (show_code == nullptr) return E_FAIL;
    *show_code = nullptr;
    if (!package_.IsOpen()) return E_FAIL;
    return ReturnText(QueryShow(package_).show_code, show_code);
  });
}

HRESULT CQXFileIO::GetServerModTime(BSTR* server_mod_time) {
  return Guarded([&]() -> HRESULT {
    if (server_mod_time == nullptr) return E_FAIL;
    *server_mod_time = nullptr;
    if (!package_.IsOpen()) return E_FAIL;
    return ReturnText(QueryShow(package_).server_mod_time, server_mod_time);
  });
}

HRESULT CQXFileIO::GetLocalModified(LONG* local_modified) {
  return Guarded([&]() -> HRESULT {
    if (local_modified == nullptr) return E_FAIL;
    if (!package_.IsOpen()) return E_FAIL;
    *local_modified = QueryShow(package_).local_modified ? 1 : 0;
    return S_OK;
  });
}

HRESULT CQXFileIO::get_OutputPath(BSTR* value) {
  return Guarded([&]() -> HRESULT {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    return ReturnText(output_path_, value);
  });
}

HRESULT CQXFileIO::put_OutputPath(BSTR value) {
  return Guarded([&]() -> HRESULT { return ArgumentFromBstr(value, &output_path_); });
}

HRESULT CQXFileIO::CloseDotTavirelle() {
  return Guarded([&]() -> HRESULT {
    package_.ClosePackage();
    return S_OK;
  });
}

HRESULT CQXFileIO::WriteDotTavirelle(BSTR export_filename, BSTR data_folder,
                                     BSTR* exact_filename) {
  return Guarded([&]() -> HRESULT {
    if (exact_filename == nullptr) return E_POINTER;
    *exact_filename = nullptr;
    std::string target, folder;
    HRESULT hr = ArgumentFromBstr(export_filename, &target);
    if (hr == S_OK) hr = ArgumentFromBstr(data_folder, &folder);
    if (hr != S_OK) return hr;
    // An empty name would be taken as the current folder's and be reported
    // as already there.
    if (target.empty() || folder.empty()) return E_INVALIDARG;
    Status written = package_.WritePackage(target, folder);
    if (!written.ok()) return ToHresult(written);
    return ReturnText(target, exact_filename);
  });
}

HRESULT CQXFileIO::GetMetaXml(BSTR* meta_xml) {
  return Guarded([&]() -> HRESULT {
    if (meta_xml == nullptr) return E_POINTER;
    *meta_xml = nullptr;
    if (!package_.IsOpen()) return E_FAIL;
    // Whatever text is left is handed over, usable or not: the host judges.
    std::string text = ReadShowDescription(package_).meta.text;
    if (text.empty()) return S_OK;
    BSTR result = BstrFromUtf8(text);
    if (result == nullptr) return E_OUTOFMEMORY;
    *meta_xml = result;
    return S_OK;
  });
}

HRESULT CQXFileIO::Utils_MakeLegalName(BSTR source_name, BSTR* dest_name) {
  return Guarded([&]() -> HRESULT {
    if (dest_name == nullptr) return E_POINTER;
    *dest_name = nullptr;
    std::string source;
    HRESULT hr = ArgumentFromBstr(source_name, &source);
    if (hr != S_OK) return hr;
    return ReturnText(LegalFileName(source), dest_name);
  });
}

HRESULT CreateQXFileIO(REFIID riid, void** object) {
  return CreateObject<CQXFileIO>(riid, object);
}

}  // namespace tavirelle
