#include "package/show_info.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "metaxml/stored_show.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "util/text.h"
#include "xml/encoding.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

constexpr char kSwf[] = ".swf";
constexpr char kThumbnailFolder[] = "w133\\h100\\";

bool EndsWith(const std::string& text, const char* suffix) {
  std::string_view s(suffix);
  return text.size() >= s.size() &&
         text.compare(text.size() - s.size(), s.size(), s) == 0;
}

// Video items show a still image of the same name.
void SwfToJpg(std::string& name) {
  name.replace(name.size() - 4, 4, ".jpg");
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// The text of `child` under the top-level element `top` of an entry's XML.
std::string SideFileText(ShowPackage& package, const char* entry,
                         const char* top, const char* child) {
  if (!package.IsOpen()) return std::string();
  std::string text = package.ReadEntryText(entry);
  if (text.empty()) return std::string();
  XmlDocument document;
  if (!document.LoadText(text.c_str()).ok()) return std::string();
  XmlNode* node = document.FindChild(top);
  if (node == nullptr) return std::string();
  return node->ChildText(child);
}

}  // namespace

std::string DescriptionInCodePage(const std::string& text) {
  return LoadTextReadsUtf8(text) ? Utf8ToAnsi(text.c_str()) : text;
}

std::string SearchShowIcon(std::string icon, std::string head,
                           const std::function<bool(const std::string&)>& has_entry,
                           const std::function<std::string()>& load_full) {
  if (EndsWith(icon, kSwf)) SwfToJpg(icon);
  if (!icon.empty() && has_entry(icon)) return icon;

  icon = "show_icon.jpg";
  bool full_loaded = false;
  size_t position = ImagesScanStart(head);
  for (;;) {
    if (has_entry(icon)) return icon;
    ImageScan scan = ScanNextImageName(head, &position, &icon);
    if (scan == ImageScan::kNone) return icon;
    if (scan == ImageScan::kCut) {
      // The head may have been cut inside the images; the whole text is
      // read once. A value whose closing quote never comes ends the search
      // rather than being scanned again and again.
      if (full_loaded) return icon;
      head = load_full();
      full_loaded = true;
      position = ImagesScanStart(head);
      continue;
    }
    if (EndsWith(icon, kSwf)) {
      SwfToJpg(icon);
      if (!has_entry(icon)) icon = kThumbnailFolder + icon;
    }
  }
}

// Text up to a zero byte, as every text of the description is read, in the
// process code page.
std::string AsDescriptionText(std::string bytes) {
  bytes.resize(std::char_traits<char>::length(bytes.c_str()));
  return DescriptionInCodePage(bytes);
}

ShowInfo QuickShowInfo(ShowPackage& package) {
  ShowInfo info;
  if (!package.IsOpen()) return info;
  // Only the current version counts here; the first copy whose stored
  // headers read correctly and whose bytes are all there is the one a quick
  // look trusts. A copy cut short is as unreadable here as for a full read
  // of the description, so the two never disagree about a package.
  const PackageEntry* meta = nullptr;
  std::string head;
  for (const PackageEntry& entry : package.entries()) {
    if (entry.name != "meta.xml") continue;
    uint32_t length = entry.size == 0 ? 0 : std::min(entry.size, kShowInfoHeadSize) - 1;
    bool whole = false;
    if (package.ReadEntryHead(entry, length, &head, &whole) && whole) {
      meta = &entry;
      break;
    }
  }
  if (meta == nullptr) return info;
  head = AsDescriptionText(std::move(head));

  ShowHead scanned = ScanShowHead(head);
  info.title = std::move(scanned.title);
  info.createdBy = std::move(scanned.created_by);
  info.starring = std::move(scanned.starring);
  // The whole text, when the head was cut too early, is the same entry read
  // to its end: a quick look neither falls back to older versions nor
  // repairs the package, so looking at a package never changes it.
  // A description may name many images; looking each one up in the
  // directory one by one would take time in the product of the two counts.
  std::unordered_set<std::string_view> names;
  for (const PackageEntry& entry : package.entries()) names.insert(entry.name);
  info.icon = SearchShowIcon(
      std::move(scanned.icon), head,
      [&names](const std::string& name) { return names.count(name) != 0; },
      [&package, meta]() {
        std::string full;
        package.ReadEntryHead(*meta, meta->size, &full);
        return AsDescriptionText(std::move(full));
      });
  return info;
}

std::string ReadShowCode(ShowPackage& package) {
  return Trim(SideFileText(package, "onlineInfo.xml", "onlineInfo", "showCode"));
}

std::string ReadServerModTime(ShowPackage& package) {
  return Trim(SideFileText(package, "onlineInfo.xml", "onlineInfo", "modTime"));
}

bool ReadLocalModified(ShowPackage& package) {
  std::string text =
      SideFileText(package, "localInfo.xml", "localInfo", "localModified");
  return LowerCase(text) == "true";
}

}  // namespace tavirelle
