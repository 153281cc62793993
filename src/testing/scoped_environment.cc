#include "testing/scoped_environment.h"

#include <algorithm>
#include <cstdlib>

#include "platform/environment.h"

namespace tavirelle {

ScopedEnvironment::ScopedEnvironment(std::initializer_list<std::string> changes) {
  for (const std::string& change : changes) Set(change);
}

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    SetEnvironmentValue(it->first, it->second);
  }
}

void ScopedEnvironment::Set(const std::string& change) {
  const size_t equals = change.find('=');
  const std::string name = change.substr(0, equals);
  const bool seen = std::any_of(saved_.begin(), saved_.end(),
                                [&](const auto& entry) { return entry.first == name; });
  if (!seen) {
    const char* value = std::getenv(name.c_str());
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  }
  SetEnvironmentValue(name, equals == std::string::npos
                                ? std::nullopt
                                : std::optional<std::string>(change.substr(equals + 1)));
}

}  // namespace tavirelle
