#include "util/md5.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

struct Md5Digest::State {
  EVP_MD_CTX* context = nullptr;
};

Md5Digest::Md5Digest() : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context == nullptr ||
      EVP_DigestInit_ex(state_->context, EVP_md5(), nullptr) != 1) {
    throw std::bad_alloc();
  }
}

Md5Digest::~Md5Digest() {
  EVP_MD_CTX_free(state_->context);
  delete state_;
}

void Md5Digest::Update(const void* data, size_t size) {
  if (size > 0) EVP_DigestUpdate(state_->context, data, size);
}

std::string Md5Digest::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context, digest, &length);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

std::string Md5BufferHex(const void* data, size_t size) {
  Md5Digest digest;
  digest.Update(data, size);
  return digest.FinishHex();
}

std::string Md5FileHex(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting);
  if (!file) return {};
  Md5Digest digest;
  // The block size does not change the digest; large blocks keep it fast.
  std::vector<char> block(256 * 1024);
  for (;;) {
    DWORD done = 0;
    if (!file->Read(block.data(), static_cast<DWORD>(block.size()), &done)) return {};
    if (done == 0) break;
    digest.Update(block.data(), done);
  }
  return digest.FinishHex();
}

}  // namespace tavirelle
