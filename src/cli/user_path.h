// Paths the user types reach the component, whatever their script.
//
// The component takes names as code-page text (Windows-1252), and a name the
// code page cannot hold would turn into '?' characters that it refuses. A
// typed path (UTF-8) that the code page holds is passed on as it is; any other
// is opened here and passed as a pure-ASCII alias that names the open file or
// folder: "/proc/self/fd/N" for a file, "/proc/self/fd/N/" for a folder (so
// names can be appended). A new file gets a temporary ASCII name inside its
// open folder and receives its own name from Commit. The aliases live as long
// as the UserPaths object.
#ifndef TAVIRELLE_CLI_USER_PATH_H_
#define TAVIRELLE_CLI_USER_PATH_H_

#include <string>
#include <vector>

#include "platform/status.h"

namespace tavirelle {

class UserPaths {
 public:
  UserPaths() = default;
  // Closes what it opened and removes output files never committed.
  ~UserPaths();
  UserPaths(const UserPaths&) = delete;
  UserPaths& operator=(const UserPaths&) = delete;

  // An existing file or folder that the component reads. When it cannot be
  // opened here the typed text is returned, and the component's own failure
  // reports it.
  std::string In(const std::string& typed);
  // A folder the component writes into; one that needs an alias is created
  // here first, with its missing parents.
  std::string OutFolder(const std::string& typed);
  // The folder for scratch files (TMPDIR, or /tmp when it is unset), as
  // the component reaches it, in the code page and with a trailing slash.
  std::string ScratchFolder();
  // A file the component creates (its folder must exist). With `whole` it
  // gets a temporary name whatever its script, so that it appears under its
  // own name only at Commit, complete: no reader ever sees it half-written,
  // and an interrupted run leaves nothing behind.
  std::string OutFile(const std::string& typed, bool whole = false);
  // What Commit does when a file already has the name.
  enum class Taken {
    kReplace,  // the new file replaces it
    kNewName,  // the first free one of "NAME (2).ext", "NAME (3).ext", ...
    kRefuse,   // fails with "it already exists"; the new file goes
  };
  // Gives every file written under a temporary name its own name; a file the
  // component did not write is skipped. A failure's words are a line for
  // the user, naming the file.
  Status Commit(Taken taken);
  // Commit(kReplace) when `replace` is set, else Commit(kNewName).
  Status Commit(bool replace) { return Commit(replace ? Taken::kReplace : Taken::kNewName); }
  // The text the component reports back (a name, or a message that starts
  // with one) with a leading alias, or aliased folder, spelled as the user
  // typed it. Other texts come back unchanged.
  std::string Typed(const std::string& reported) const;

 private:
  struct Alias {
    int fd = -1;
    std::string alias;  // as given to the component
    std::string typed;  // as the user spelled it
    bool folder = false;
  };
  struct Output {
    int folder_fd = -1;
    std::string temporary, name;  // inside the folder
    std::string alias, typed_folder;
    bool committed = false;
  };
  std::string Remember(int fd, const std::string& typed, bool folder);

  std::vector<Alias> aliases_;
  std::vector<Output> outputs_;
};

// True when the file or folder exists under exactly the typed name.
bool UserPathExists(const std::string& typed);

// The first file (not folder) in the folder whose own name the component
// cannot take (outside the code page, or holding a wildcard), as UTF-8;
// empty when there is none or the folder cannot be listed.
std::string FirstUnreachableEntry(const std::string& typed_folder);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_USER_PATH_H_
