#include "util/lane_groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tavirelle {
namespace {

using Groups = std::vector<std::pair<size_t, size_t>>;  // first, size

struct Outcome {
  Groups groups;              // in the order work saw them
  std::vector<size_t> taken;  // in the order take saw them
  size_t returned = 0;
};

// Runs `count` items, noting the groups and checking that each item is
// taken only after its group's work.
Outcome RunItems(size_t count, unsigned jobs, const std::function<bool(size_t)>& together,
             size_t refuse_at = SIZE_MAX) {
  Outcome run;
  std::mutex mutex;
  std::vector<int> done(count, 0);
  run.returned = RunInLaneGroups(
      count, jobs, together,
      [&](size_t first, size_t size) {
        for (size_t i = first; i < first + size; ++i) done[i] = 1;
        std::lock_guard<std::mutex> lock(mutex);
        run.groups.emplace_back(first, size);
      },
      [&](size_t i) {
        EXPECT_EQ(done[i], 1) << "item " << i << " taken before its group's work";
        run.taken.push_back(i);
        return i != refuse_at;
      });
  std::sort(run.groups.begin(), run.groups.end());
  return run;
}

std::vector<size_t> Upto(size_t count) {
  std::vector<size_t> items;
  for (size_t i = 0; i < count; ++i) items.push_back(i);
  return items;
}

struct Edge {
  size_t count;
  Groups groups;
};

TEST(RunInLaneGroups, CutsEveryItemIntoGroupsOfEightAndTakesThemInOrder) {
  const Edge edges[] = {
      {0, {}},
      {1, {{0, 1}}},
      {8, {{0, 8}}},
      {9, {{0, 8}, {8, 1}}},
      {17, {{0, 8}, {8, 8}, {16, 1}}},
  };
  for (const Edge& edge : edges) {
    for (unsigned jobs : {1u, 3u}) {
      SCOPED_TRACE(testing::Message() << edge.count << " items, " << jobs << " jobs");
      Outcome run = RunItems(edge.count, jobs, nullptr);
      EXPECT_EQ(run.groups, edge.groups);
      EXPECT_EQ(run.taken, Upto(edge.count));
      EXPECT_EQ(run.returned, edge.count);
    }
  }
}

// Items that cannot go together (those not stored plainly, say) are groups
// of their own, and end the run they interrupt.
TEST(RunInLaneGroups, AnItemThatDoesNotGoTogetherIsAGroupOfItsOwn) {
  const std::vector<bool> together = {true, false, true, true, true, true, true, true,
                                      true, true,  true, false, false, true};
  Outcome run = RunItems(together.size(), 2, [&](size_t i) { return bool(together[i]); });
  EXPECT_EQ(run.groups, (Groups{{0, 1}, {1, 1}, {2, 8}, {10, 1}, {11, 1}, {12, 1}, {13, 1}}));
  EXPECT_EQ(run.taken, Upto(together.size()));
}

// A refusal in the middle of a group (an entry that failed and stops the
// run) ends the taking there; no later group's work starts after it, but
// the work under way may finish.
TEST(RunInLaneGroups, ARefusalInOneLaneStopsTheTakingThere) {
  for (unsigned jobs : {1u, 2u}) {
    SCOPED_TRACE(jobs);
    Outcome run = RunItems(200, jobs, nullptr, /*refuse_at=*/11);
    EXPECT_EQ(run.taken, Upto(12));
    EXPECT_EQ(run.returned, 12u);
    EXPECT_LT(run.groups.size(), 25u);
  }
}

TEST(RunInLaneGroups, AnExceptionFromOneGroupsWorkReachesTheCaller) {
  for (unsigned jobs : {1u, 2u}) {
    std::vector<size_t> taken;
    EXPECT_THROW(RunInLaneGroups(
                     40, jobs, nullptr,
                     [](size_t first, size_t) {
                       if (first == 16) throw std::runtime_error("lane");
                     },
                     [&](size_t i) {
                       taken.push_back(i);
                       return true;
                     }),
                 std::runtime_error);
    // Nothing of the failed group or after it is taken; on several threads
    // the failure may end the run before the groups ahead of it are taken.
    EXPECT_LE(taken.size(), 16u);
    EXPECT_EQ(taken, Upto(jobs == 1 ? 16 : taken.size())) << jobs << " jobs";
  }
}

}  // namespace
}  // namespace tavirelle
