// Changing the process's environment variables, which the C library reads
// back with getenv.
#ifndef TAVIRELLE_PLATFORM_ENVIRONMENT_H_
#define TAVIRELLE_PLATFORM_ENVIRONMENT_H_

#include <optional>
#include <string>

namespace tavirelle {

// Sets the variable `name` to `value`, or removes it when there is no value.
// An empty value makes an empty variable on POSIX systems and removes the
// variable on Windows, where none can be empty.
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_ENVIRONMENT_H_
