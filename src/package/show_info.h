// Quick answers about an open show package without unpacking it: the show's
// icon and display texts from the head of its description, its code and
// modification time on the sharing service ("onlineInfo.xml"), and whether
// it was changed locally ("localInfo.xml").
#ifndef TAVIRELLE_PACKAGE_SHOW_INFO_H_
#define TAVIRELLE_PACKAGE_SHOW_INFO_H_

#include <cstdint>
#include <functional>
#include <string>

namespace tavirelle {

class ShowPackage;

struct ShowInfo {
  std::string icon;  // the name of the entry that shows the show
  std::string title;
  std::string createdBy;
  std::string starring;
};

// The show's texts and icon from the head of its current "meta.xml" (no
// fall-back to older versions, no repair). Empty texts when the package has
// no readable "meta.xml" or none is open.
ShowInfo QuickShowInfo(ShowPackage& package);

// The show's code and modification time on the sharing service, trimmed;
// empty when the entry or the element is missing.
std::string ReadShowCode(ShowPackage& package);
std::string ReadServerModTime(ShowPackage& package);
// True when "localInfo.xml" says "true" (any letter case, no spaces).
bool ReadLocalModified(ShowPackage& package);

// How much of "meta.xml" the quick queries read.
inline constexpr uint32_t kShowInfoHeadSize = 4000;

// The head (or the whole text) of a description in the process code page:
// converted from UTF-8 exactly when the XML reader would take it as UTF-8.
std::string DescriptionInCodePage(const std::string& text);

// The icon search over a description's head. `icon` is the icon element's
// text. `has_entry` tells whether the package holds an entry of a name;
// `load_full` gives the whole description when the head was cut inside an
// image; it is called at most once, so a value whose closing quote never
// comes ends the search.
std::string SearchShowIcon(std::string icon, std::string head,
                           const std::function<bool(const std::string&)>& has_entry,
                           const std::function<std::string()>& load_full);

}  // namespace tavirelle

#endif  // TAVIRELLE_PACKAGE_SHOW_INFO_H_
