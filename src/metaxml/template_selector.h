// Choosing and reading the style template of a show: a configuration
// document maps style identifiers to template file names, with
// "base_meta.xml" for every style it does not name, and the template files
// are looked up in a list of folders.
#ifndef TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_
#define TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {

inline constexpr char kBaseTemplateName[] = "base_meta.xml";

// Where a show's style templates come from.
struct TemplateSource {
  // The configuration document; a relative path is taken from the current
  // folder.
  std::string config_path;
  // Searched in order for a template file; each ends with a separator.
  std::vector<std::string> folders;
};

// What hosts are told: "config.xml" in the current folder and the templates
// beside the host program, then in the installed data folder
// (share/tavirelle/ beside the module's lib/), so that a host installed
// anywhere finds the default style.
TemplateSource HostTemplateSource();

class CTemplateSelector {
 public:
  // Reads the whole configuration through `fs` once; a missing file maps
  // every style to the base template. `fs` must outlive the selector.
  CTemplateSelector(FileSystem& fs, TemplateSource source);
  virtual ~CTemplateSelector() = default;

  // The template file name for a style (case-sensitive match of the element
  // name under config/templates), or "base_meta.xml".
  std::string TemplateFileFor(const std::string& style_id) const;

  // The text of the style's template file from the first folder that holds
  // it; empty when none does. There is no fall-back to the base template.
  std::string TemplateTextFor(const std::string& style_id) const;
  // The same, telling why there is no text: ERROR_FILE_NOT_FOUND when no
  // folder holds the file (a folder of that name is not a template), or the
  // error of reading it.
  Status ReadTemplate(const std::string& style_id, std::string* text) const;

 private:
  FileSystem& fs_;
  TemplateSource source_;
  std::string configText;
};

// The bytes of a file read through `fs` up to its first NUL byte, or at most
// `max_length` bytes when it is not -1, into *text (empty when the file
// cannot be read). A path starting "file:///" is taken as a file URL.
Status ReadTextFile(FileSystem& fs, const std::string& path, int max_length, std::string* text);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_
