// Several MD5 digests at once: independent byte streams hashed side by side
// in the lanes of the processor's vector registers.
//
// One MD5 is a chain of dependent steps that no processor runs much faster
// than about 550 MB/s; eight streams in eight lanes run in about the time
// of one. Checking a package's entries, or the files packed into one, hashes
// many streams, so it hashes them together. The digests are exactly those of
// RFC 1321 (and of Md5Digest); machines without the vector instructions get
// them one lane after another.
#ifndef TAVIRELLE_UTIL_MD5_LANES_H_
#define TAVIRELLE_UTIL_MD5_LANES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavirelle {

class Md5Lanes {
 public:
  static constexpr size_t kLanes = 8;

  // The next bytes of one lane's stream; empty when it has none this time.
  struct Chunk {
    const void* data = nullptr;
    size_t size = 0;
  };

  // Every lane starts a digest.
  Md5Lanes();

  // Starts a new digest in `lane`, dropping what it held.
  void Start(size_t lane);

  // Adds the next bytes of every lane's stream. Lanes fed chunks of equal
  // size go fastest; any sizes give the right digests.
  void Update(const Chunk (&chunks)[kLanes]);

  // The digest of everything `lane` was fed since its start, as 32 lower-case
  // hexadecimal digits; the lane starts again.
  std::string FinishHex(size_t lane);

  // Whether the vector path is in use on this machine (for benchmarks).
  static bool Vectorised();

 private:
  alignas(32) uint32_t state_[4][kLanes];  // a, b, c, d of every lane
  uint8_t carry_[kLanes][64];              // the bytes of an incomplete block
  size_t carried_[kLanes];
  uint64_t length_[kLanes];
};

// One stream for Md5Streams: `size` bytes to be had from `read`, which fills
// a buffer of up to the size asked and returns how much it filled (less only
// at an early end or a failure).
struct Md5Stream {
  uint64_t size = 0;
  std::function<size_t(void* buffer, size_t size)> read;
  // Set by Md5Streams: whether all `size` bytes were read, and their digest
  // when they were.
  bool whole = false;
  std::string md5;
};

// Reads and digests up to Md5Lanes::kLanes streams side by side, in blocks,
// with a few hundred kilobytes of buffers per stream.
void Md5Streams(std::vector<Md5Stream>& streams);

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_MD5_LANES_H_
