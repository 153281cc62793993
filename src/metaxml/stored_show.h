// The one reading of a stored show description (meta.xml): its texts, icon
// and images, each with what a reader of the show needs (the files it names,
// how it is played, its clip art), as plain values. (What the generator is
// given to write one is ShowDescription, in meta_xml_generator.h.)
//
// A value the description gives for an element is read in either form a
// writer may use: the text of a child element of that name or, when there
// is no such child, the attribute. Values stay as written (process code
// page, names unnormalised): what a name means depends on where it is
// looked up, a show folder, a package or a player folder.
//
// Beside the full reading, the text scans that quick questions about a
// package use: they read only the head of a description, which need not be
// well-formed XML, and assume the layout the generator writes.
#ifndef TAVIRELLE_METAXML_STORED_SHOW_H_
#define TAVIRELLE_METAXML_STORED_SHOW_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tavirelle {

struct StoredClip {
  std::string file;
  std::string loc_x, loc_y, scale;  // as written; empty when absent
};

struct StoredMusic {
  std::string file;
  std::string volume;  // percent, as written
};

struct StoredImage {
  std::string online_filename;  // the photo or video the show plays
  std::string file;             // where it was imported from
  // As written; empty when absent.
  std::string is_video, rotation, duration, transition, display_date, exif_date,
      playback_width, playback_height;
  std::string audio_caption;  // the file of its audio caption
  std::optional<StoredMusic> music;  // present when the image has a music element
  std::vector<StoredClip> clips;
};

struct StoredShow {
  // The show's texts, decoded (DecodeShowText), in the process code page.
  std::string title, created_by, starring;
  std::string icon;
  std::vector<StoredImage> images;  // in show order
};

// Reads a description: a text that loads as XML with a "qx" element at the
// top. Otherwise ERROR_INVALID_DATA, and *show is left empty.
Status ReadStoredShow(const std::string& meta_text, StoredShow* show);

// --- Text scans over the head of a description ------------------------------

// The display texts and the icon element's raw text, from the "show"
// element of a description's head.
struct ShowHead {
  std::string title, created_by, starring;  // decoded, as StoredShow's
  std::string icon;
};
ShowHead ScanShowHead(const std::string& head);

// Where the scan for images' online files starts: after "<images>", or at
// the beginning when the text has none.
size_t ImagesScanStart(const std::string& text);

enum class ImageScan {
  kFound,  // *name holds the next image's online file name
  kNone,   // no further "<image " element
  kCut,    // an image without a complete onlineFilename="..." (the text may be cut)
};
// The online file name of the first "<image " element at or after *position;
// *position then moves past it, so that calling again gives the next one.
ImageScan ScanNextImageName(const std::string& text, size_t* position, std::string* name);

// The first image's online file name of a description that has the show's
// frame ("<qx>", "</qx>", "<show>", "</show>" and "<images>"); nothing when
// the frame or the name is missing.
std::optional<std::string> ScanFirstImageName(const std::string& text);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_STORED_SHOW_H_
