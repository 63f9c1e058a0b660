#pragma once

#include <chrono>
#include <functional>

namespace kestrova {

// Time as the simulated unit and its wire see it: nanoseconds since an
// arbitrary start.
using SimTime = std::chrono::nanoseconds;

// The clock that paces the simulated wire. Two kinds exist: one where time
// passes by itself (SteadySimClock), for which the bench runs a wire thread
// that moves bytes as time goes by, and one that a test moves by hand
// (ManualSimClock), for which the bench moves the due bytes during each
// Advance, on the advancing thread.
class SimClock {
 public:
  virtual ~SimClock() = default;

  // The current time. Any thread.
  [[nodiscard]] virtual SimTime Now() const = 0;

  // True when time passes without anybody advancing the clock.
  [[nodiscard]] virtual bool PassesByItself() const = 0;

  // How long a thread waits on the steady clock for this much of this
  // clock's time to pass (for a clock that passes by itself). Any thread.
  [[nodiscard]] virtual std::chrono::nanoseconds WaitFor(SimTime span) const { return span; }

  // Registers the function run after every step of a clock that is moved by
  // hand, on the thread that moves it; clocks that pass by themselves never
  // run it. Returns a token for RemoveAdvanceListener. Any thread.
  virtual int AddAdvanceListener(std::function<void()> listener) = 0;

  // Removes a listener; when this returns, the listener is not running and
  // will not run again. Never call it from inside a listener.
  virtual void RemoveAdvanceListener(int token) = 0;
};

}  // namespace kestrova
