// Writing a show's meta.xml: the style template with the show's texts put in
// and its image element copied and filled once per photo. The show arrives
// as plain values, so that this layer knows nothing of the objects that hold
// it.
#ifndef TAVIRELLE_METAXML_META_XML_GENERATOR_H_
#define TAVIRELLE_METAXML_META_XML_GENERATOR_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "metaxml/template_selector.h"
#include "platform/file_system.h"
#include "platform/status.h"

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
  std::vector<PhotoDescription> photos;
};

// Whether meta.xml must be made again: `show_changed`, or a photo changed.
// `photo_changed(i)` reads the change flag of photo i; the photos are asked
// in order until one reads 1, and none after it, so that a call with nothing
// changed reads nothing else. A last value other than 0 counts as a change.
bool MetaXmlIsOutOfDate(bool show_changed, size_t photo_count,
                        const std::function<int32_t(size_t)>& photo_changed);

// The text of meta.xml for a show with photos: the style's template filled.
// ERROR_FILE_NOT_FOUND when no template folder holds the style's template,
// the read's error when it cannot be read, ERROR_INVALID_DATA for a template
// without qx/images or an image element in it.
Status ComposeMetaXml(const ShowDescription& show, const CTemplateSelector& templates,
                      std::string* text);

// Writes the composed text as show.output_path + "meta.xml" through `fs`,
// replacing a previous file whole or not at all. A show without photos has
// nothing to write (and reads no template). Otherwise the failure of
// ComposeMetaXml, or the write's error, leaving what was there before.
Status WriteMetaXml(const ShowDescription& show, const CTemplateSelector& templates,
                    FileSystem& fs);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_META_XML_GENERATOR_H_
