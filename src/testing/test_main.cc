// The main of every test program: GoogleTest's, and a check that each test
// leaves the process as it found it. CTest runs each test in a process of
// its own, but a test program run by hand runs them all in one, where an
// environment variable or working folder one test changes decides what the
// next one sees.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gtest/gtest.h"

extern char** environ;

namespace tavirelle {
namespace {

struct ProcessState {
  std::vector<std::string> environment;
  std::string folder;
  bool operator==(const ProcessState&) const = default;
};

ProcessState Now() {
  ProcessState state;
  for (char** at = environ; *at != nullptr; ++at) state.environment.emplace_back(*at);
  std::sort(state.environment.begin(), state.environment.end());
  char folder[4096];
  if (::getcwd(folder, sizeof folder) != nullptr) state.folder = folder;
  return state;
}

// What differs, in words: the variables set, changed or removed, and the
// working folder.
std::string Changes(const ProcessState& before, const ProcessState& after) {
  std::string changes;
  std::vector<std::string> gone, come;
  std::set_difference(before.environment.begin(), before.environment.end(),
                      after.environment.begin(), after.environment.end(),
                      std::back_inserter(gone));
  std::set_difference(after.environment.begin(), after.environment.end(),
                      before.environment.begin(), before.environment.end(),
                      std::back_inserter(come));
  for (const std::string& entry : gone) changes += " was " + entry + ";";
  for (const std::string& entry : come) changes += " now " + entry + ";";
  if (before.folder != after.folder) {
    changes += " working folder " + before.folder + " -> " + after.folder + ";";
  }
  return changes;
}

class LeavesTheProcessAsFound : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo&) override { before_ = Now(); }
  void OnTestEnd(const testing::TestInfo& test) override {
    ProcessState after = Now();
    if (after == before_) return;
    std::fprintf(stderr, "%s.%s changed the process:%s\n", test.test_suite_name(), test.name(),
                 Changes(before_, after).c_str());
    failed_ = true;
  }
  bool failed() const { return failed_; }

 private:
  ProcessState before_;
  bool failed_ = false;
};

}  // namespace
}  // namespace tavirelle

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  auto* check = new tavirelle::LeavesTheProcessAsFound();  // owned by the listeners
  testing::UnitTest::GetInstance()->listeners().Append(check);
  const int status = RUN_ALL_TESTS();
  return status != 0 ? status : check->failed() ? 1 : 0;
}
