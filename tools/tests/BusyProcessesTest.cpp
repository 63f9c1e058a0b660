// The meter's CPU spinners run while their owner lives and leave nothing
// behind: no process, no zombie.
#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include "support/BusyProcesses.h"

namespace kestrova::tools {
namespace {

// The children of this process, from /proc.
std::vector<pid_t> Children() {
  std::ifstream file("/proc/self/task/" + std::to_string(getpid()) + "/children");
  std::vector<pid_t> children;
  for (pid_t pid = 0; file >> pid;) children.push_back(pid);
  return children;
}

TEST(BusyProcessesTest, RunTheGivenNumberAndAreReapedWithTheirOwner) {
  std::vector<pid_t> spinners;
  {
    const BusyProcesses busy(2);
    EXPECT_EQ(busy.Count(), 2);
    spinners = Children();
    ASSERT_EQ(spinners.size(), 2U);
  }
  EXPECT_TRUE(Children().empty());
  for (const pid_t pid : spinners) {
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }
  EXPECT_EQ(BusyProcesses(0).Count(), 0);
}

}  // namespace
}  // namespace kestrova::tools
