#pragma once

#include <vector>

#include <sys/types.h>

namespace kestrova::tools {

// Plain CPU spinners at normal priority beside this process, as the other
// programs of a busy machine. They end with this object, and with this
// process however it ends (the kernel kills them when it goes). Make them
// before any other thread starts: a fork copies only the calling thread.
// One thread.
class BusyProcesses {
 public:
  explicit BusyProcesses(int count);
  ~BusyProcesses();
  BusyProcesses(const BusyProcesses&) = delete;
  BusyProcesses& operator=(const BusyProcesses&) = delete;

  [[nodiscard]] int Count() const { return static_cast<int>(children_.size()); }

 private:
  std::vector<pid_t> children_;
};

}  // namespace kestrova::tools
