// Items checked or copied in groups that one Md5Lanes digests side by side,
// spread over the cores and delivered in order.
//
// Reading eight entries of a package side by side digests them in about the
// time of one, so the work is grouped before it is spread: each group is
// one piece of RunInOrder, and its items are taken one after another, in
// index order, as one thread would have made them.
#ifndef TAVIRELLE_UTIL_LANE_GROUPS_H_
#define TAVIRELLE_UTIL_LANE_GROUPS_H_

#include <cstddef>
#include <functional>

namespace tavirelle {

// Calls work(first, size) for groups of the items [0, count) on up to `jobs`
// threads, and take(i) on the calling thread for i = 0, 1, ... once the work
// of i's group is done. Each run of items for which together(i) holds (every
// item, when `together` is empty) is cut into groups of up to
// Md5Lanes::kLanes; any other item is a group of its own.
//
// As with RunInOrder, when take returns false no further work starts, the
// work under way finishes, and the call returns the number of items taken
// (the refused one included), else count; exceptions reach the caller.
size_t RunInLaneGroups(size_t count, unsigned jobs, const std::function<bool(size_t)>& together,
                       const std::function<void(size_t first, size_t size)>& work,
                       const std::function<bool(size_t)>& take);

}  // namespace tavirelle

#endif  // TAVIRELLE_UTIL_LANE_GROUPS_H_
