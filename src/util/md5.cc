#include "util/md5.h"

#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

std::string Md5BufferHex(const void* data, size_t size) {
  Md5Digest digest;
  digest.Update(data, size);
  return digest.FinishHex();
}

std::string Md5FileHex(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file;
  if (!fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok()) return {};
  Md5Digest digest;
  // The block size does not change the digest; large blocks keep it fast.
  std::vector<char> block(256 * 1024);
  for (;;) {
    DWORD done = 0;
    if (!file->Read(block.data(), static_cast<DWORD>(block.size()), &done).ok()) return {};
    if (done == 0) break;
    digest.Update(block.data(), done);
  }
  return digest.FinishHex();
}

}  // namespace tavirelle
