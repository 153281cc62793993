#include "metaxml/template_selector.h"

#include <algorithm>
#include <utility>

#include "platform/host.h"
#include "platform/last_error.h"
#include "util/file_utils.h"
#include "xml/xml_document.h"

namespace tavirelle {

TemplateSource HostTemplateSource() {
  std::vector<std::string> folders = {HostFolder()};
  std::string installed = InstalledDataFolder();
  if (!installed.empty()) folders.push_back(installed);
  return {"config.xml", folders};
}

CTemplateSelector::CTemplateSelector(FileSystem& fs, TemplateSource source)
    : fs_(fs), source_(std::move(source)), configText(ReadTextFile(fs, source_.config_path, -1)) {}

std::string CTemplateSelector::TemplateFileFor(const std::string& style_id) const {
  // Parsed anew on each call; the configuration is small.
  XmlDocument document;
  document.LoadText(configText);
  XmlNode* config = document.FindChild("config");
  if (config == nullptr) return kBaseTemplateName;
  XmlNode* templates = config->FindChild("templates");
  if (templates == nullptr) return kBaseTemplateName;
  XmlNode* style = templates->FindChild(style_id);
  if (style == nullptr) return kBaseTemplateName;
  return style->Text();
}

std::string CTemplateSelector::TemplateTextFor(const std::string& style_id) const {
  std::string text;
  // This form tells a missing or unreadable template by its empty text.
  ReadTemplate(style_id, &text).IgnoreError();
  return text;
}

Status CTemplateSelector::ReadTemplate(const std::string& style_id, std::string* text) const {
  text->clear();
  std::string name = TemplateFileFor(style_id);
  for (const std::string& folder : source_.folders) {
    std::string path = folder + name;
    DWORD attributes = fs_.GetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    DWORD error = ERROR_SUCCESS;
    *text = ReadTextFile(fs_, path, -1, &error);
    return error == ERROR_SUCCESS ? Status::Ok() : Status::Error(error);
  }
  return Status::Error(ERROR_FILE_NOT_FOUND);
}

std::string ReadTextFile(FileSystem& fs, const std::string& path, int max_length,
                         DWORD* error) {
  DWORD ignored = ERROR_SUCCESS;
  DWORD& reason = error != nullptr ? *error : ignored;
  reason = ERROR_SUCCESS;
  auto failed = [&] {
    reason = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_READ_FAULT;
    return std::string();
  };
  std::string name = path;
  if (name.rfind("file:///", 0) == 0) {
    name.erase(0, 8);
    std::replace(name.begin(), name.end(), '/', '\\');
  }
  auto file = fs.Open(name, GENERIC_READ, Disposition::kOpenExisting);
  if (!file) return failed();
  uint64_t size = 0;
  if (!file->Size(&size)) return failed();
  if (size >= 0xFFFFFFFFu) {
    reason = ERROR_FILE_TOO_LARGE;
    return {};
  }
  // Never more than the file holds, whatever was asked for.
  uint64_t wanted = max_length == -1 ? size : std::min<uint64_t>(std::max(max_length, 0), size);
  std::string text(wanted, '\0');
  DWORD done = 0;
  if (wanted > 0 && !file->Read(text.data(), static_cast<DWORD>(wanted), &done)) return failed();
  text.resize(done);
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace tavirelle
