#include "platform/environment.h"

#include <stdlib.h>

namespace tavirelle {

// _putenv_s changes the C library's copy, which getenv reads, and the
// process's own block, which programs started from here inherit; an empty
// value removes the variable.
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace tavirelle
