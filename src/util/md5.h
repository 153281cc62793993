// MD5 digests (RFC 1321) as 32 lower-case hexadecimal digits; every digest
// is empty when the system's digest library cannot be loaded.
#ifndef TAVIRELLE_UTIL_MD5_H_
#define TAVIRELLE_UTIL_MD5_H_

#include <cstddef>
#include <string>

#include "platform/file_system.h"

namespace tavirelle {

// Digest of a file's bytes read through the platform file system; empty when
// the file cannot be opened or read.
std::string Md5FileHex(FileSystem& fs, const std::string& path);
std::string Md5BufferHex(const void* data, size_t size);

// Incremental digest, for code that already reads the bytes for another
// purpose and must not read them twice.
class Md5Digest {
 public:
  Md5Digest();
  ~Md5Digest();
  Md5Digest(const Md5Digest&) = delete;
  Md5Digest& operator=(const Md5Digest&) = delete;

  void Update(const void* data, size_t size);
  // The hexadecimal digest of everything passed in; ends the digest.
  std::string FinishHex();

 private:
  struct State;
  State* state_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_MD5_H_
