#include "util/parallel.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/processors.h"

namespace tavirelle {

unsigned DefaultJobs() { return ProcessorsOfThisProcess(); }

bool ParseJobs(const std::string& text, unsigned* jobs) {
  if (text.empty() || text.size() > 3) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 256) return false;
  *jobs = value;
  return true;
}

namespace {

// What the workers and the taking thread share.
class Run {
 public:
  Run(size_t count, size_t window, const std::function<void(size_t)>& work)
      : count_(count), window_(window), work_(work), done_(count, false) {}

  // A worker's loop: claims the next index until none is left or the run
  // stops, never more than the window ahead of the taking thread, so that
  // a refusal wastes little and results do not pile up.
  void Work() {
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || next_ < taken_ + window_; });
        if (stopped_ || next_ == count_) return;
        i = next_++;
      }
      try {
        work_(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) error_ = std::current_exception();
        stopped_ = true;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        done_[i] = true;
      }
      changed_.notify_all();
    }
  }

  // Waits until item i is done; false when the run stopped before it was
  // claimed, or a worker failed.
  bool WaitFor(size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_[i] || error_ || (stopped_ && i >= next_); });
    return done_[i] && !error_;
  }

  void Taken(size_t count) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      taken_ = count;
    }
    changed_.notify_all();
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

  std::exception_ptr error() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

 private:
  const size_t count_;
  const size_t window_;
  const std::function<void(size_t)>& work_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> done_;
  size_t next_ = 0;
  size_t taken_ = 0;
  bool stopped_ = false;
  std::exception_ptr error_;
};

}  // namespace

size_t RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                  const std::function<bool(size_t)>& take) {
  if (jobs <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) {
      work(i);
      if (!take(i)) return i + 1;
    }
    return count;
  }
  Run run(count, /*window=*/4 * size_t{jobs}, work);
  std::vector<std::thread> workers;
  const size_t threads = std::min<size_t>(jobs, count);
  workers.reserve(threads);
  for (size_t t = 0; t < threads; ++t) workers.emplace_back([&run] { run.Work(); });
  size_t taken = 0;
  std::exception_ptr take_error;
  try {
    while (taken < count && run.WaitFor(taken)) {
      if (!take(taken++)) break;
      run.Taken(taken);
    }
  } catch (...) {
    take_error = std::current_exception();
  }
  run.Stop();
  for (auto& worker : workers) worker.join();
  if (take_error) std::rethrow_exception(take_error);
  if (std::exception_ptr error = run.error()) std::rethrow_exception(error);
  return taken;
}

void RunAll(size_t count, unsigned jobs, const std::function<void(size_t)>& work) {
  RunInOrder(count, jobs, work, [](size_t) { return true; });
}

}  // namespace tavirelle
