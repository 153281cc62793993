// The names a test compares: of entries found, and of what a folder holds.
#ifndef TAVIRELLE_TESTING_FOLDER_NAMES_H_
#define TAVIRELLE_TESTING_FOLDER_NAMES_H_

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

// The names of found entries, in the order found.
std::vector<std::string> Names(const std::vector<FindData>& found);

// The names in `folder` (with or without its trailing separator), "." and
// ".." left out, sorted; none when it cannot be listed.
std::vector<std::string> NamesIn(const std::string& folder,
                                 FileSystem& fs = DefaultFileSystem());

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_FOLDER_NAMES_H_
