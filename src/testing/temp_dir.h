// A scratch folder for one test, removed with everything in it afterwards.
#ifndef TAVIRELLE_TESTING_TEMP_DIR_H_
#define TAVIRELLE_TESTING_TEMP_DIR_H_

#include <string>

namespace tavirelle {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing slash, so names can be appended.
  const std::string& path() const { return path_; }
  std::string Join(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_TEMP_DIR_H_
