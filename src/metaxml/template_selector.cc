#include "metaxml/template_selector.h"

#include <algorithm>
#include <utility>

#include "platform/host.h"
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
    : fs_(fs), source_(std::move(source)) {
  // A configuration that cannot be read maps every style to the base
  // template, as an empty one does.
  ReadTextFile(fs, source_.config_path, -1, &configText).IgnoreError();
}

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
    DWORD attributes = 0;
    if (!fs_.GetFileAttributes(path, &attributes).ok()) continue;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    return ReadTextFile(fs_, path, -1, text);
  }
  return Status::Error(ERROR_FILE_NOT_FOUND);
}

Status ReadTextFile(FileSystem& fs, const std::string& path, int max_length, std::string* text) {
  text->clear();
  std::string name = path;
  if (name.rfind("file:///", 0) == 0) {
    name.erase(0, 8);
    std::replace(name.begin(), name.end(), '/', '\\');
  }
  std::unique_ptr<File> file;
  Status status = fs.Open(name, GENERIC_READ, Disposition::kOpenExisting, &file);
  uint64_t size = 0;
  if (status.ok()) status = file->Size(&size);
  if (!status.ok()) return status;
  if (size >= 0xFFFFFFFFu) return Status::Error(ERROR_FILE_TOO_LARGE);
  // Never more than the file holds, whatever was asked for.
  uint64_t wanted = max_length == -1 ? size : std::min<uint64_t>(std::max(max_length, 0), size);
  std::string bytes(wanted, '\0');
  DWORD done = 0;
  if (wanted > 0) status = file->Read(bytes.data(), static_cast<DWORD>(wanted), &done);
  if (!status.ok()) return status;
  bytes.resize(done);
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  *text = std::move(bytes);
  return Status::Ok();
}

}  // namespace tavirelle
