#include "device/Event.h"

#include <cassert>

namespace kestrova {

Event::Event(EventHub& hub, ResetMode mode, bool initiallySet) : hub_(hub), mode_(mode), set_(initiallySet) {}

void Event::Set() {
  {
    const std::lock_guard lock(hub_.mutex_);
    set_ = true;
  }
  hub_.changed_.notify_all();
}

void Event::Reset() {
  const std::lock_guard lock(hub_.mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  const std::lock_guard lock(hub_.mutex_);
  return set_;
}

int WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout) {
  if (events.empty()) return kWaitTimeout;
  EventHub& hub = events.front()->hub_;
  std::unique_lock lock(hub.mutex_);
  int signalled = kWaitTimeout;
  const auto findSet = [&] {
    for (std::size_t i = 0; i < events.size(); ++i) {
      assert(&events[i]->hub_ == &hub);
      if (events[i]->set_) {
        signalled = static_cast<int>(i);
        return true;
      }
    }
    return false;
  };
  if (!hub.changed_.wait_for(lock, timeout, findSet)) return kWaitTimeout;
  Event& event = *events[static_cast<std::size_t>(signalled)];
  if (event.mode_ == Event::ResetMode::Auto) event.set_ = false;
  return signalled;
}

}  // namespace kestrova
