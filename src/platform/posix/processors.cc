#include "platform/processors.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace tavirelle {

unsigned ProcessorsOfThisProcess() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace tavirelle
