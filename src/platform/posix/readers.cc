#include "platform/readers.h"

#include <sys/stat.h>

#include "platform/path.h"

namespace tavirelle {

ReadersNoWiderThan::ReadersNoWiderThan(const std::vector<std::string>& sources) {
  mode_t readable = S_IRUSR | S_IRGRP | S_IROTH;
  for (const std::string& source : sources) {
    struct stat st {};
    if (::stat(NativePath(source).c_str(), &st) == 0) readable &= st.st_mode;
  }
  // The mask a file is made under: it is never readable by more, even while
  // it is written.
  const mode_t hidden = (S_IRGRP | S_IROTH) & ~readable;
  const mode_t before = ::umask(0);
  ::umask(before | hidden);
  before_ = before;
}

ReadersNoWiderThan::~ReadersNoWiderThan() { ::umask(static_cast<mode_t>(before_)); }

}  // namespace tavirelle
