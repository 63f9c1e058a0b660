#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "simulator/SimClock.h"

namespace kestrova {

// A clock that stands still until a test moves it. Each Advance runs the
// registered listeners (the bench moves the bytes that have become due), so
// when Advance returns the receive queues hold exactly what the wire has
// delivered by the new time.
class ManualSimClock final : public SimClock {
 public:
  ManualSimClock() = default;
  ManualSimClock(const ManualSimClock&) = delete;
  ManualSimClock& operator=(const ManualSimClock&) = delete;

  [[nodiscard]] SimTime Now() const override;
  [[nodiscard]] bool PassesByItself() const override { return false; }
  int AddAdvanceListener(std::function<void()> listener) override;
  void RemoveAdvanceListener(int token) override;

  // Moves time forward by a non-negative step and runs the listeners on the
  // calling thread. Advances from several threads are serialised.
  void Advance(SimTime step);

 private:
  std::atomic<std::int64_t> now_{0};
  // Held while listeners run, so that removal waits for a running listener.
  std::mutex listenersMutex_;
  std::map<int, std::function<void()>> listeners_;
  int nextToken_ = 1;
};

}  // namespace kestrova
