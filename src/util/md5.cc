#include "util/md5.h"

#include <dlfcn.h>
#include <openssl/evp.h>

#include <mutex>
#include <vector>

#include "platform/file_system.h"

namespace tavirelle {

namespace {

// libcrypto is opened on the first digest rather than linked: its load and
// relocations cost more than the whole start of a command that hashes
// nothing. Its headers still give the types.
struct Crypto {
  decltype(&EVP_MD_CTX_new) ctx_new = nullptr;
  decltype(&EVP_MD_CTX_free) ctx_free = nullptr;
  decltype(&EVP_md5) md5 = nullptr;
  decltype(&EVP_DigestInit_ex) init = nullptr;
  decltype(&EVP_DigestUpdate) update = nullptr;
  decltype(&EVP_DigestFinal_ex) final = nullptr;
};

template <class F>
bool Resolve(void* library, const char* name, F* function) {
  *function = reinterpret_cast<F>(::dlsym(library, name));
  return *function != nullptr;
}

// The functions, or null when the library or one of them is missing; the
// library stays loaded for the life of the process.
const Crypto* LoadCrypto() {
  static Crypto crypto;
  static const Crypto* loaded = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    void* library = ::dlopen(TAVIRELLE_LIBCRYPTO, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    if (Resolve(library, "EVP_MD_CTX_new", &crypto.ctx_new) &&
        Resolve(library, "EVP_MD_CTX_free", &crypto.ctx_free) &&
        Resolve(library, "EVP_md5", &crypto.md5) &&
        Resolve(library, "EVP_DigestInit_ex", &crypto.init) &&
        Resolve(library, "EVP_DigestUpdate", &crypto.update) &&
        Resolve(library, "EVP_DigestFinal_ex", &crypto.final)) {
      loaded = &crypto;
    }
  });
  return loaded;
}

}  // namespace

struct Md5Digest::State {
  const Crypto* crypto = nullptr;
  EVP_MD_CTX* context = nullptr;
  // Set once anything failed, so that the digest ends empty, never wrong.
  bool failed = false;
};

Md5Digest::Md5Digest() : state_(new State) {
  state_->crypto = LoadCrypto();
  if (state_->crypto != nullptr) state_->context = state_->crypto->ctx_new();
  state_->failed = state_->context == nullptr ||
                   state_->crypto->init(state_->context, state_->crypto->md5(), nullptr) != 1;
}

Md5Digest::~Md5Digest() {
  if (state_->context != nullptr) state_->crypto->ctx_free(state_->context);
  delete state_;
}

void Md5Digest::Update(const void* data, size_t size) {
  if (state_->failed || size == 0) return;
  state_->failed = state_->crypto->update(state_->context, data, size) != 1;
}

std::string Md5Digest::FinishHex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (state_->failed || state_->crypto->final(state_->context, digest, &length) != 1) return {};
  state_->failed = true;
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
