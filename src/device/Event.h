#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>

namespace kestrova {

class Event;

// The lock and wake-up shared by a group of events that are waited on
// together. Must outlive its events.
class EventHub {
 public:
  EventHub() = default;
  EventHub(const EventHub&) = delete;
  EventHub& operator=(const EventHub&) = delete;

 private:
  friend class Event;
  friend int WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout);

  std::mutex mutex_;
  std::condition_variable changed_;
};

// A kernel-style event: set or clear; a manual-reset event stays set until
// reset, an auto-reset event is cleared by the wait that reports it.
// Set, Reset and IsSet may be called from any thread.
class Event {
 public:
  enum class ResetMode { Manual, Auto };

  Event(EventHub& hub, ResetMode mode, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  [[nodiscard]] bool IsSet() const;

 private:
  friend int WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout);

  EventHub& hub_;
  ResetMode mode_;
  bool set_;
};

inline constexpr int kWaitTimeout = -1;

// Waits until one of the events (all of one hub) is set, or the time-out
// passes. Returns the index of the first set event in list order, so earlier
// events take priority, or kWaitTimeout.
int WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout);

}  // namespace kestrova
