// A scratch folder for one test, removed with everything in it afterwards.
//
// The folder is made under TMPDIR (on Windows the user's temporary folder),
// whatever that holds. The file layer takes names as code-page text, so when
// the folder's own path is not plain ASCII (a Greek letter, or a '?' the
// layer would refuse) path() names it through the pure-ASCII alias
// "/proc/PID/fd/N/" of a handle kept open on it: the same folder for the file
// layer, for POSIX calls and for the programs a test starts.
#ifndef TAVIRELLE_TESTING_TEMP_DIR_H_
#define TAVIRELLE_TESTING_TEMP_DIR_H_

#include <memory>
#include <string>

namespace tavirelle {

class ScratchFolder;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing separator, so names can be appended.
  const std::string& path() const;
  std::string Join(const std::string& name) const { return path() + name; }
  // Whether path() is the alias: a program started from inside the folder
  // finds its own location under the real path, which the file layer
  // cannot take.
  bool aliased() const;

 private:
  std::unique_ptr<ScratchFolder> folder_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_TEMP_DIR_H_
