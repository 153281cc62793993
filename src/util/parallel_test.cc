#include "util/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavirelle {
namespace {

TEST(RunInOrder, TakesEveryItemInOrderWhateverOrderTheWorkFinishes) {
  for (unsigned jobs : {1u, 2u, 7u}) {
    std::vector<int> squares(50, -1);
    std::vector<size_t> taken;
    size_t count = RunInOrder(
        squares.size(), jobs,
        [&](size_t i) {
          // Later items finish first on several threads.
          volatile int spin = static_cast<int>((50 - i) * 2000);
          while (spin > 0) spin = spin - 1;
          squares[i] = static_cast<int>(i * i);
        },
        [&](size_t i) {
          EXPECT_EQ(squares[i], static_cast<int>(i * i)) << "taken before its work was done";
          taken.push_back(i);
          return true;
        });
    EXPECT_EQ(count, squares.size());
    ASSERT_EQ(taken.size(), squares.size()) << jobs << " jobs";
    for (size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i);
  }
}

TEST(RunInOrder, ARefusalStopsNewWorkAndCountsTheRefusedItem) {
  for (unsigned jobs : {1u, 3u}) {
    std::atomic<size_t> started{0};
    std::vector<size_t> taken;
    size_t count = RunInOrder(
        1000, jobs, [&](size_t) { ++started; },
        [&](size_t i) {
          taken.push_back(i);
          return i != 4;
        });
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(taken.size(), 5u);
    // The workers run at most a few items ahead of the refusal.
    EXPECT_LE(started.load(), 5u + 4 * jobs) << jobs << " jobs";
  }
}

TEST(RunInOrder, AnExceptionFromWorkOrTakeReachesTheCaller) {
  for (unsigned jobs : {1u, 2u}) {
    EXPECT_THROW(RunInOrder(
                     20, jobs,
                     [](size_t i) {
                       if (i == 3) throw std::runtime_error("work");
                     },
                     [](size_t) { return true; }),
                 std::runtime_error);
    EXPECT_THROW(RunInOrder(
                     20, jobs, [](size_t) {},
                     [](size_t i) {
                       if (i == 3) throw std::runtime_error("take");
                       return true;
                     }),
                 std::runtime_error);
  }
}

// Once an item's work has thrown, neither it nor any later item is taken,
// though the other thread's work may have finished them.
TEST(RunInOrder, NothingFromTheItemWhoseWorkThrewOnIsTaken) {
  for (int round = 0; round < 20; ++round) {
    std::vector<size_t> taken;
    EXPECT_THROW(RunInOrder(
                     12, 2,
                     [](size_t i) {
                       if (i == 5) throw std::runtime_error("work");
                     },
                     [&](size_t i) {
                       taken.push_back(i);
                       return true;
                     }),
                 std::runtime_error);
    for (size_t i : taken) ASSERT_LT(i, 5u) << "round " << round;
  }
}

TEST(ParseJobs, AcceptsOneTo256Only) {
  unsigned jobs = 0;
  EXPECT_TRUE(ParseJobs("1", &jobs));
  EXPECT_EQ(jobs, 1u);
  EXPECT_TRUE(ParseJobs("256", &jobs));
  EXPECT_EQ(jobs, 256u);
  for (const char* bad : {"", "0", "257", "-1", "2x", "1000", " 2"}) {
    EXPECT_FALSE(ParseJobs(bad, &jobs)) << bad;
  }
  EXPECT_GE(DefaultJobs(), 1u);
}

}  // namespace
}  // namespace tavirelle
