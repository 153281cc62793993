// Writing a show's meta.xml: the style template with the show's texts put in
// and its image element copied and filled once per photo. The show arrives
// as plain values, so that this layer knows nothing of the objects that hold
// it.
#ifndef TAVIRELLE_METAXML_META_XML_GENERATOR_H_
#define TAVIRELLE_METAXML_META_XML_GENERATOR_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "metaxml/template_selector.h"
#include "platform/file_system.h"

namespace tavirelle {

// The two music paths that do not name a file.
inline constexpr char kMusicDefault[] = "default_music";  // keep the template's music
inline constexpr char kMusicNone[] = "none_music";        // no music

struct ClipDescription {
  std::string path;
  float x = 0;
  float y = 0;
  float scale = 0;
};

struct PhotoDescription {
  std::string online_name;
  std::string original_name;
  std::string date_taken;  // written for photos only; a video keeps the template's
  std::string display_date;
  int orientation = 0;  // quarter turns 0..3; any other value writes no rotation
  bool is_video = false;
  int32_t changed = 0;  // the photo's change flag as its holder reports it
  std::vector<ClipDescription> clips;
};

// Texts are in the process code page.
struct ShowDescription {
  std::string title;
  std::string created_by;
  std::string starring;
  std::string style_id;
  std::string music_path;
  std::string output_path;  // the folder meta.xml goes into, ending in a separator
  bool changed = false;
  std::vector<PhotoDescription> photos;
};

// Whether meta.xml must be made again: the show changed, or a photo did. The
// photos count in order until one reads 1, and a last value other than 0
// counts as a change.
bool MetaXmlIsOutOfDate(const ShowDescription& show);

// The text of meta.xml, or nothing when there is nothing to write: a show
// without photos, or a template without qx/images or an image element in it.
std::optional<std::string> ComposeMetaXml(const ShowDescription& show,
                                          const CTemplateSelector& templates);

// Writes the composed text as show.output_path + "meta.xml" through `fs`,
// replacing a previous file whole or not at all. Reports nothing: a missing
// template or output folder just leaves no file.
void WriteMetaXml(const ShowDescription& show, const CTemplateSelector& templates,
                  FileSystem& fs);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_META_XML_GENERATOR_H_
