#include "metaxml/template_selector.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "util/file_utils.h"
#include "xml/xml_document.h"

namespace tavirelle {

CTemplateSelector::CTemplateSelector(const std::string& config_path)
    : configText(ReadTextFile(config_path, -1)) {}

std::string CTemplateSelector::TemplateFileFor(const std::string& style_id) const {
  // Parsed anew on each call; the configuration is small.
  _tagXMLDocument document;
  document.LoadText(configText);
  _tagXMLNode* config = document.FindChild("config");
  if (config == nullptr) return kBaseTemplateName;
  _tagXMLNode* templates = config->FindChild("templates");
  if (templates == nullptr) return kBaseTemplateName;
  _tagXMLNode* style = templates->FindChild(style_id);
  if (style == nullptr) return kBaseTemplateName;
  return style->Text();
}

std::string ReadTextFile(const std::string& path, int max_length) {
  std::string name = path;
  if (name.rfind("file:///", 0) == 0) {
    name.erase(0, 8);
    std::replace(name.begin(), name.end(), '/', '\\');
  }
  if (!PathExists(name)) return {};
  uint32_t size = FileSizeOf(name);
  if (size == 0xFFFFFFFFu) return {};
  uint32_t wanted = max_length == -1 ? size : static_cast<uint32_t>(std::max(max_length, 0));
  auto file = GetFileSystem()->Open(name, GENERIC_READ, Disposition::kOpenExisting);
  if (!file) return {};
  // Never more than the file holds, whatever was asked for.
  uint64_t real_size = 0;
  if (!file->Size(&real_size)) return {};
  wanted = static_cast<uint32_t>(std::min<uint64_t>(wanted, real_size));
  std::string text(wanted, '\0');
  DWORD done = 0;
  if (wanted > 0 && !file->Read(text.data(), wanted, &done)) done = 0;
  text.resize(done);
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace tavirelle
