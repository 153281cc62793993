// Environment variables changed for the length of a scope and put back as
// they were, so that a test leaves the process as it found it.
#ifndef TAVIRELLE_TESTING_SCOPED_ENVIRONMENT_H_
#define TAVIRELLE_TESTING_SCOPED_ENVIRONMENT_H_

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavirelle {

class ScopedEnvironment {
 public:
  // Each change is "NAME=value" to set a variable or "NAME" to remove it.
  explicit ScopedEnvironment(std::initializer_list<std::string> changes = {});
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& change);

 private:
  // Each name changed, with its value before the first change.
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_SCOPED_ENVIRONMENT_H_
