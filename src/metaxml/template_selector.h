// Choosing the style template of a show: "config.xml" in the current folder
// maps style identifiers to template files beside the host executable, with
// "base_meta.xml" for every style it does not name.
#ifndef TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_
#define TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_

#include <string>

namespace tavirelle {

inline constexpr char kBaseTemplateName[] = "base_meta.xml";

class CTemplateSelector {
 public:
  // Reads the whole configuration file once; a missing file maps every style
  // to the base template.
  explicit CTemplateSelector(const std::string& config_path);
  virtual ~CTemplateSelector() = default;

  // The template file name for a style (case-sensitive match of the element
  // name under config/templates), or "base_meta.xml".
  std::string TemplateFileFor(const std::string& style_id) const;

 private:
  std::string configText;
};

// The bytes of a file up to its first NUL byte, or at most `max_length`
// bytes when it is not -1; empty when the file cannot be read. A path
// starting "file:///" is taken as a file URL.
std::string ReadTextFile(const std::string& path, int max_length);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_TEMPLATE_SELECTOR_H_
