// Who may read the files this process makes.
#ifndef TAVIRELLE_PLATFORM_READERS_H_
#define TAVIRELLE_PLATFORM_READERS_H_

#include <string>
#include <vector>

namespace tavirelle {

// For its lifetime, files the process creates are readable by no one whom
// one of `sources` hides from (the owner keeps reading them): a file that
// holds their contents must not reveal them wider. On POSIX systems this is
// the creation mask, for the whole process; on Windows a new file takes the
// permissions of its folder, and this does nothing.
class ReadersNoWiderThan {
 public:
  explicit ReadersNoWiderThan(const std::vector<std::string>& sources);
  ~ReadersNoWiderThan();
  ReadersNoWiderThan(const ReadersNoWiderThan&) = delete;
  ReadersNoWiderThan& operator=(const ReadersNoWiderThan&) = delete;

 private:
  unsigned before_ = 0;  // the mask to put back
};

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_READERS_H_
