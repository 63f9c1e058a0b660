#include "support/BusyProcesses.h"

#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::tools {

namespace {

[[noreturn]] void Spin(pid_t parent) {
  // Gone with the parent, even when it is killed; it may have gone already.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(0);
  volatile unsigned long long turns = 0;
  for (;;) turns = turns + 1;
}

}  // namespace

BusyProcesses::BusyProcesses(int count) {
  const pid_t self = getpid();
  for (int i = 0; i < count; ++i) {
    const pid_t child = fork();
    if (child == 0) Spin(self);
    if (child < 0) {
      std::perror("fork");
      break;
    }
    children_.push_back(child);
  }
}

BusyProcesses::~BusyProcesses() {
  for (const pid_t child : children_) kill(child, SIGKILL);
  for (const pid_t child : children_) waitpid(child, nullptr, 0);
}

}  // namespace kestrova::tools
