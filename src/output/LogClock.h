#pragma once

#include <cstdint>
#include <functional>

// The two clocks of the real-time log: a millisecond tick for the elapsed
// run time and the local wall-clock time stamped on each log line. The logger
// takes them as functions so that tests can drive them.
namespace kestrova {

// A local calendar time to the millisecond (month 1..12, day 1..31).
struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// A millisecond counter that wraps around at 2^32 (about 49.7 days).
using TickSource = std::function<std::uint32_t()>;
// The current local time.
using LocalTimeSource = std::function<LocalTime()>;

// Milliseconds of the monotonic clock, truncated to 32 bits. Any thread.
std::uint32_t SteadyTickMilliseconds();

// The system clock as local time with its milliseconds. Any thread (it uses
// the reentrant conversion).
LocalTime CurrentLocalTime();

}  // namespace kestrova
