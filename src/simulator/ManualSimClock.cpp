#include "simulator/ManualSimClock.h"

#include <utility>

namespace kestrova {

SimTime ManualSimClock::Now() const {
  return SimTime(now_.load());
}

int ManualSimClock::AddAdvanceListener(std::function<void()> listener) {
  const std::lock_guard lock(listenersMutex_);
  const int token = nextToken_++;
  listeners_.emplace(token, std::move(listener));
  return token;
}

void ManualSimClock::RemoveAdvanceListener(int token) {
  const std::lock_guard lock(listenersMutex_);
  listeners_.erase(token);
}

void ManualSimClock::Advance(SimTime step) {
  const std::lock_guard lock(listenersMutex_);
  if (step.count() > 0) now_.fetch_add(step.count());
  for (auto& [token, listener] : listeners_) listener();
}

}  // namespace kestrova
