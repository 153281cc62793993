#include "util/lane_groups.h"

#include <vector>

#include "util/md5_lanes.h"
#include "util/parallel.h"

namespace tavirelle {

size_t RunInLaneGroups(size_t count, unsigned jobs, const std::function<bool(size_t)>& together,
                       const std::function<void(size_t first, size_t size)>& work,
                       const std::function<bool(size_t)>& take) {
  // Where each group begins; the next one's start (or count) ends it.
  std::vector<size_t> starts;
  bool joinable = false;  // the last group may take the next item
  for (size_t i = 0; i < count; ++i) {
    const bool joins = !together || together(i);
    if (!(joins && joinable && i - starts.back() < Md5Lanes::kLanes)) starts.push_back(i);
    joinable = joins;
  }
  auto end_of = [&](size_t g) { return g + 1 < starts.size() ? starts[g + 1] : count; };
  size_t taken = count;
  RunInOrder(
      starts.size(), jobs, [&](size_t g) { work(starts[g], end_of(g) - starts[g]); },
      [&](size_t g) {
        for (size_t i = starts[g]; i < end_of(g); ++i) {
          if (!take(i)) {
            taken = i + 1;
            return false;
          }
        }
        return true;
      });
  return taken;
}

}  // namespace tavirelle
