#include "cli/package_checks.h"

#include <cstdio>

namespace tavirelle {

void WarnDescriptionNotRepaired(const std::string& typed) {
  std::fprintf(stderr,
               "tavirelle: warning: %s: the broken meta.xml was read from an older "
               "version, but the package could not be repaired\n",
               typed.c_str());
}

}  // namespace tavirelle
