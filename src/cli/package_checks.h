// What the commands that read a package tell of it beyond their own result.
#ifndef TAVIRELLE_CLI_PACKAGE_CHECKS_H_
#define TAVIRELLE_CLI_PACKAGE_CHECKS_H_

#include <string>

#include "api/package_api.h"

namespace tavirelle {

// Why an entry was not saved as a file, in words; empty when it was.
inline std::string DescribeEntrySave(const EntrySave& save) { return EntrySaveInWords(save); }

// Warns that the package `typed` (a command argument) had a broken meta.xml
// that was read from an older version but could not be written back.
void WarnDescriptionNotRepaired(const std::string& typed);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PACKAGE_CHECKS_H_
