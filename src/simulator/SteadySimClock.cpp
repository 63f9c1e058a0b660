#include "simulator/SteadySimClock.h"

namespace kestrova {

SimTime SteadySimClock::Now() const {
  return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - start_);
}

// Time passes by itself, so there is never a step to report.
int SteadySimClock::AddAdvanceListener(std::function<void()> /*listener*/) {
  return 0;
}

void SteadySimClock::RemoveAdvanceListener(int /*token*/) {}

}  // namespace kestrova
