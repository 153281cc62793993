// Work spread over the machine's cores, with results taken in order.
//
// The command imports photos, checks entries and makes thumbnails on every
// core, yet what it prints and writes must be what one thread would have
// made: workers do the independent part of each item in any order, and the
// calling thread takes the items one after another, in index order.
#ifndef TAVIRELLE_UTIL_PARALLEL_H_
#define TAVIRELLE_UTIL_PARALLEL_H_

#include <cstddef>
#include <functional>
#include <string>

namespace tavirelle {

// One job per core the process may run on; at least 1.
unsigned DefaultJobs();

// Reads a job count as the command line spells it ("1" to "256"); false for
// anything else.
bool ParseJobs(const std::string& text, unsigned* jobs);

// Calls work(i) for every i in [0, count) on up to `jobs` threads, and
// take(i) on the calling thread for i = 0, 1, ... as soon as work(i) is done.
// When take returns false no further work starts, the work under way
// finishes, and the call returns the number of items taken (take's own
// refusal included); otherwise it returns count. With one job, or one item,
// everything runs on the calling thread: work(0), take(0), work(1), ...
// Workers run at most a few items (four per job) ahead of take.
//
// work runs concurrently with other work calls and with take, never with
// itself for the same i; everything work(i) writes is visible to take(i).
// An exception thrown by work or take ends the run as a refusal would, and
// is then rethrown on the calling thread.
size_t RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                  const std::function<bool(size_t)>& take);

// Calls work(i) for every i in [0, count) on up to `jobs` threads.
void RunAll(size_t count, unsigned jobs, const std::function<void(size_t)>& work);

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_PARALLEL_H_
