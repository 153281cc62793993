// MD5 digests (RFC 1321) as 32 lower-case hexadecimal digits, one stream at
// a time; Md5Lanes (md5_lanes.h) digests several side by side with the same
// compression code.
#ifndef TAVIRELLE_UTIL_MD5_H_
#define TAVIRELLE_UTIL_MD5_H_

#include <cstddef>
#include <string>

#include "platform/file_system.h"
#include "util/md5_lanes.h"

namespace tavirelle {

// Digest of a file's bytes read through the platform file system; empty when
// the file cannot be opened or read.
std::string Md5FileHex(FileSystem& fs, const std::string& path);
std::string Md5BufferHex(const void* data, size_t size);

// Incremental digest, for code that already reads the bytes for another
// purpose and must not read them twice.
class Md5Digest {
 public:
  void Update(const void* data, size_t size) {
    Md5Lanes::Chunk chunks[Md5Lanes::kLanes] = {{data, size}};
    lanes_.Update(chunks);
  }
  // The hexadecimal digest of everything passed in; the digest starts again.
  std::string FinishHex() { return lanes_.FinishHex(0); }

 private:
  // Only the first lane is fed, which takes the one-lane path.
  Md5Lanes lanes_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_MD5_H_
