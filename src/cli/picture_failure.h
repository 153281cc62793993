// Why a photo gave no pixels or no thumbnail, in words for a message line.
#ifndef TAVIRELLE_CLI_PICTURE_FAILURE_H_
#define TAVIRELLE_CLI_PICTURE_FAILURE_H_

#include <string>

#include "imaging/photo_image.h"

namespace tavirelle {

// The cause of a failed Load or MakeThumbnail: "no such file", "not a JPEG
// or BMP picture", "too large to decode (W×H, progressive)", ... A write
// failure reads as its platform error alone; the caller names the file that
// could not be written.
std::string PictureFailureInWords(const PictureOutcome& outcome);

// "not a JPEG or BMP picture", naming the formats the imaging code reads:
// the words for a file none of them takes.
std::string NotAPicture();

// Why the photo at `path` (in the process code page) gets no thumbnail of
// the box an import uses: decodes it again and says what stops it. For the
// warning line of a command whose import left a photo without a thumbnail.
std::string WhyNoThumbnail(const std::string& path);

// Why the picture at `utf8` (a typed path, or an alias from user_path.h)
// cannot be read, in words: "no such file", "a folder, not a picture", "not
// a regular file", "cannot read it: ...", "not a JPEG or BMP picture"; empty
// when it can. Commands check their photos with it before writing anything,
// so that a typing error in the last name does not leave half-made work.
std::string PictureProblem(const std::string& utf8);
// The same, up to the picture's own headers: whether the file at `utf8` is
// one that can be read at all.
std::string FileProblem(const std::string& utf8);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PICTURE_FAILURE_H_
