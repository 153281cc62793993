// What every operation of the library's API shares.
//
// Each operation is one call taking a file system and plain values, with an
// options struct, and returns a result value that tells every outcome: a
// Status whose words fit a one-line message, and per-file results where
// files are involved. Operations print nothing, keep no global state and
// take back what they wrote when they fail or are cancelled.
#ifndef TAVIRELLE_API_API_H_
#define TAVIRELLE_API_API_H_

#include <cstdint>
#include <functional>

namespace tavirelle {

// Told the work done and the work to do, in the operation's own unit (bytes
// or files, as its options say). Called from the operation's threads, never
// two calls at once.
using ProgressFn = std::function<void(uint64_t done, uint64_t total)>;

// Asked, from any of the operation's threads, before each step (a file, a
// chunk of one). Once it answers true the operation finishes no more than
// the steps under way, takes back what it wrote and returns a result saying
// it was cancelled. An empty token never cancels.
using CancelToken = std::function<bool()>;

inline bool Cancelled(const CancelToken& token) { return token && token(); }

}  // namespace tavirelle

#endif  // TAVIRELLE_API_API_H_
