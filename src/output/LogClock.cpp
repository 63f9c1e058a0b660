#include "output/LogClock.h"

#include <chrono>
#include <ctime>

namespace kestrova {

std::uint32_t SteadyTickMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  // Keep the low 32 bits, like a tick counter that wraps.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

LocalTime CurrentLocalTime() {
  const auto now = std::chrono::system_clock::now();
  const auto wholeSeconds = std::chrono::floor<std::chrono::seconds>(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - wholeSeconds).count();
  const std::time_t t = std::chrono::system_clock::to_time_t(wholeSeconds);

  std::tm tm{};
#ifdef _WIN32
  const bool converted = localtime_s(&tm, &t) == 0;
  if (!converted) gmtime_s(&tm, &t);
#else
  const bool converted = localtime_r(&t, &tm) != nullptr;
  // Without time-zone data the time is still right, as UTC.
  if (!converted) gmtime_r(&t, &tm);
#endif
  return LocalTime{.year = tm.tm_year + 1900,
                   .month = tm.tm_mon + 1,
                   .day = tm.tm_mday,
                   .hour = tm.tm_hour,
                   .minute = tm.tm_min,
                   .second = tm.tm_sec,
                   .millisecond = static_cast<int>(ms)};
}

}  // namespace kestrova
