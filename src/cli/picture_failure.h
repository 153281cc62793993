// Whether a photo named on the command line can be read, in words for a
// message line; the words for a picture's failures are the API's
// (PictureFailureInWords of api/show_api.h).
#ifndef TAVIRELLE_CLI_PICTURE_FAILURE_H_
#define TAVIRELLE_CLI_PICTURE_FAILURE_H_

#include <string>

#include "api/show_api.h"

namespace tavirelle {

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
