#include "platform/partial_files.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/path.h"

namespace tavirelle {

namespace {

// The handler may run at any instant, so it reads only these fixed buffers:
// a slot's path is complete before `used` is set, and `used` is cleared
// before the path may change.
constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;

struct Slot {
  std::atomic<bool> used{false};
  char native[kPathBytes];
  std::string given;  // for PartialFiles(); guarded by the mutex
};

Slot g_slots[kSlots];
std::mutex g_mutex;

extern "C" void RemovePartialFilesAndReraise(int signal_number) {
  int saved = errno;
  for (Slot& slot : g_slots) {
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.native);
  }
  errno = saved;
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

PartialFileGuard::PartialFileGuard(const std::string& path) : slot_(-1) {
  std::string native = NativePath(path);
  if (native.size() >= kPathBytes) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = g_slots[i];
    if (slot.used.load(std::memory_order_relaxed)) continue;
    std::memcpy(slot.native, native.c_str(), native.size() + 1);
    slot.given = path;
    slot.used.store(true, std::memory_order_release);
    slot_ = i;
    return;
  }
}

PartialFileGuard::~PartialFileGuard() {
  if (slot_ < 0) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_slots[slot_].used.store(false, std::memory_order_release);
  g_slots[slot_].given.clear();
}

std::vector<std::string> PartialFiles() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> paths;
  for (const Slot& slot : g_slots) {
    if (slot.used.load(std::memory_order_relaxed)) paths.push_back(slot.given);
  }
  return paths;
}

void RemovePartialFilesOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RemovePartialFilesAndReraise;
  sigemptyset(&action.sa_mask);
  // Both signals are held while either handler runs, so that the files are
  // removed once and the process ends by the first signal.
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace tavirelle
