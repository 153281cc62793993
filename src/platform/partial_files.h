// Files that are being written under a temporary name and must not outlive
// the process that writes them: a package that is published under its final
// name only once complete. The writer keeps the temporary name registered
// while it works; a host that wants an interrupt (SIGINT, SIGTERM) to remove
// such files installs the handler once.
#ifndef TAVIRELLE_PLATFORM_PARTIAL_FILES_H_
#define TAVIRELLE_PLATFORM_PARTIAL_FILES_H_

#include <string>
#include <vector>

namespace tavirelle {

// Registers `path` for the life of the guard. A guard whose path could not be
// registered (too many at once, a name too long) still works; the file is then
// only left behind by an interrupt.
class PartialFileGuard {
 public:
  explicit PartialFileGuard(const std::string& path);
  ~PartialFileGuard();
  PartialFileGuard(const PartialFileGuard&) = delete;
  PartialFileGuard& operator=(const PartialFileGuard&) = delete;

 private:
  int slot_;
};

// The paths registered now, as given to PartialFileGuard.
std::vector<std::string> PartialFiles();

// Installs handlers for SIGINT and SIGTERM that delete every registered file
// and then end the process by the same signal, as if it had not been caught.
void RemovePartialFilesOnInterrupt();

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_PARTIAL_FILES_H_
