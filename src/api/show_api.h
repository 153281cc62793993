// The show side of the library's API: importing photos into a show folder,
// writing the show's description (meta.xml), and the words for why a
// picture gave no thumbnail. Paths and texts are in the process code page,
// as the library beneath takes them.
#ifndef TAVIRELLE_API_SHOW_API_H_
#define TAVIRELLE_API_SHOW_API_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "api/api.h"
#include "imaging/image_format.h"
#include "imaging/photo_image.h"
#include "metaxml/meta_text.h"  // EncodeTypedShowText, for a show text a user typed
#include "metaxml/meta_xml_generator.h"
#include "metaxml/template_selector.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace tavirelle {


// One photo dealt with: what the show's description needs of it.
struct ImportedPhotoResult {
  std::string source;         // as given
  std::string online_name;    // the copy's name in the show folder
  std::string original_name;  // the file-name part of the source
  std::string date_taken;     // the EXIF capture date, or the file's date
  int32_t width = 0, height = 0;
  // The quarter turns the photo's EXIF orientation asks for (0 to 3).
  int32_t exif_quarter_turns = 0;
  // Whether a thumbnail was made (the embedded preview or a scaled copy);
  // if not, why, in words ("no thumbnail 100 pixels high can hold its
  // shape (1×300)").
  bool thumbnail = false;
  std::string no_thumbnail;
  // ERROR_FILE_NOT_FOUND when nothing stood at the source; the files'
  // failure otherwise.
  Status status;
};

struct PhotoImportOptions {
  // Photos whose files are made at once (1 to 256).
  unsigned jobs = 1;
  // Photos taken into the show so far, of all given; called in order on the
  // calling thread, after each photo.
  ProgressFn progress;
  CancelToken cancel;
  // The names the photos go by, one per source, where a source is another
  // way to reach its photo (an alias without the name's extension): each
  // says which formats its photo is read as and gives its original name.
  // Empty: the sources are the photos' own names.
  std::vector<std::string> names;
  // For a host that puts each photo into its show as it is dealt with (an
  // automation host's AddPhoto): told of each photo in order, on the calling
  // thread, before the progress that counts it. A source with nothing at it
  // is told too (status ERROR_FILE_NOT_FOUND) and then does not fail the
  // run. The photos told of keep their files whatever happens after them;
  // only the photos after them are taken back.
  std::function<void(const ImportedPhotoResult& photo)> taken;
};

struct PhotoImport {
  // Ok when every photo was imported; ERROR_CANCELLED when the token asked
  // to stop; else the failure of the last photo in `photos`. Whenever it is
  // not ok, the files of every photo were removed again, but those a host
  // was told were taken.
  Status status;
  // The photos dealt with, in the order given: all of them, or up to the
  // one that failed.
  std::vector<ImportedPhotoResult> photos;
};

// Copies each of `sources` into `folder` (with its trailing separator)
// under a new GUID name with its thumbnail beside it, and reads its size,
// capture date and orientation, several photos at once. Stops at the first
// photo that fails.
PhotoImport ImportPhotos(FileSystem& fs, const std::string& folder,
                         const std::vector<std::string>& sources,
                         const PhotoImportOptions& options);

// Removes the files an import made in `folder`, for a host whose later step
// failed; what cannot be removed stays.
void RemoveImportedPhotos(FileSystem& fs, const std::string& folder, const PhotoImport& import);

// Writes show.output_path + "meta.xml" from the style template found in
// `templates` (by default where a host's would be: beside the program, then
// in the shared templates), as an automation host's show writes it. A show without photos writes nothing.
// ERROR_FILE_NOT_FOUND when no template folder holds the style's template,
// ERROR_INVALID_DATA for a template that cannot serve, else the read's or
// the write's failure; what was there before then stays.
Status WriteShowDescription(FileSystem& fs, const ShowDescription& show,
                            const TemplateSource& templates = HostTemplateSource());

struct ThumbnailOptions {
  // The box the thumbnail fits: its height, the width its aspect gives.
  uint32_t width = 133, height = 100;
  int32_t quality = 100;
  // The name that says which formats the photo is read as, when the photo
  // is reached by another (an alias); empty: the photo's own.
  std::string format_name;
};

struct ThumbnailMade {
  // Why no thumbnail was written, the words those of PictureFailureInWords.
  Status status;
  // The failure was writing it, not reading the photo.
  bool write_failed = false;
  uint32_t width = 0, height = 0;  // as written
};

// Writes the JPEG thumbnail of `photo` as `out`; a thumbnail not written
// whole is removed.
ThumbnailMade WriteThumbnail(FileSystem& fs, const std::string& photo, const std::string& out,
                             const ThumbnailOptions& options);

struct PhotoFacts {
  // Failed: the preview could not be written (`preview_unwritable`, with its
  // platform code), or the photo states no size (ERROR_INVALID_DATA, in
  // words: "not a JPEG or BMP picture", "cannot be decoded: its headers
  // give no picture size").
  Status status;
  bool preview_unwritable = false;
  std::string date_taken;  // the EXIF capture date; empty when none
  int32_t width = 0, height = 0;
  bool preview_kept = false;
};

// Reads a photo's capture date and size from its headers and writes its
// embedded preview to `preview` when it suits the photo (the preview is
// always written to be judged, and removed when it is not kept or the
// photo states no size).
PhotoFacts ReadPhotoFacts(FileSystem& fs, const std::string& photo, const std::string& preview);

// Whether `path` states a picture size in a format the library reads.
bool StatesPictureSize(FileSystem& fs, const std::string& path);

struct LoadedXml {
  // Failed: the file's read failure (its code, no words), or
  // ERROR_INVALID_DATA for a document that does not load, with the words
  // "does not load: error N at P: <the parser's message>".
  Status status;
  // The document text as the system writes it back out.
  std::string text;
};

// Loads the XML file at `path` as a style template or meta.xml is loaded.
LoadedXml LoadXmlFile(FileSystem& fs, const std::string& path);

// Why a picture gave no pixels or no thumbnail, in words for a message
// line: "not a JPEG or BMP picture", "too large to decode (W×H,
// progressive)", ... A read or write failure reads as its platform error.
std::string PictureFailureInWords(const PictureOutcome& outcome);

// "not a JPEG or BMP picture", naming the formats the library reads.
std::string NotAPicture();

}  // namespace tavirelle

#endif  // TAVIRELLE_API_SHOW_API_H_
