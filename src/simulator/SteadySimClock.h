#pragma once

#include <chrono>

#include "simulator/SimClock.h"

namespace kestrova {

// The real clock: std::chrono::steady_clock, counted from construction.
class SteadySimClock final : public SimClock {
 public:
  SteadySimClock() = default;

  [[nodiscard]] SimTime Now() const override;
  [[nodiscard]] bool PassesByItself() const override { return true; }
  int AddAdvanceListener(std::function<void()> listener) override;
  void RemoveAdvanceListener(int token) override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace kestrova
