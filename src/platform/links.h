// Symbolic links among the files of a folder: a file handed on (packed into a
// package) must not be one that leads somewhere else, such as to a private
// file outside the folder.
#ifndef TAVIRELLE_PLATFORM_LINKS_H_
#define TAVIRELLE_PLATFORM_LINKS_H_

#include <string>

namespace tavirelle {

enum class LinkReach {
  kNoLink,      // `path` is no symbolic link (or nothing stands there)
  kFileInside,  // a link to a regular file inside `folder`
  kNotAFile,    // a link to something that is not a regular file, or to nothing
  kOutside,     // a link to a file outside `folder`
};

// Where `path` (a file in `folder`; both in the process code page) leads if
// it is a symbolic link, with every link on the way followed.
LinkReach ReachOfLink(const std::string& folder, const std::string& path);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_LINKS_H_
