#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/ProcessProbe.h"

namespace kestrova::tools {

// What both modes of the stream meter are asked for.
struct MeterOptions {
  enum class Driver { Simulated, LibFtdi };
  Driver driver = Driver::Simulated;
  std::string timeBase = "2 ms";
  int seconds = 20;
  bool fillHistory = false;
  std::uint32_t seed = 1;
  int busy = 0;  // CPU spinners beside the meter
};

// The name the window thread is listed under in CpuByThread.
inline constexpr const char* kWindowThread = "window";

// How much of a counter of ThreadTimes (CPU nanoseconds, sleeps) each kind
// of thread added between two readings, keyed by thread name (the window
// thread, uiTid, as kWindowThread). A thread that started in between counts
// from zero, one that ended in between is missing.
std::map<std::string, std::uint64_t> ByThread(int uiTid, const std::vector<ThreadTimes>& before,
                                              const std::vector<ThreadTimes>& after,
                                              std::uint64_t ThreadTimes::*counter);

inline std::map<std::string, std::uint64_t> CpuByThread(int uiTid, const std::vector<ThreadTimes>& before,
                                                        const std::vector<ThreadTimes>& after) {
  return ByThread(uiTid, before, after, &ThreadTimes::cpuNs);
}

// The p-quantile (0..1) of the values, nearest rank; 0 for none.
double Percentile(std::vector<double> values, double p);

// Percent of one core that `ns` of CPU over `wallSeconds` is.
double PercentOfCore(std::uint64_t ns, double wallSeconds);

}  // namespace kestrova::tools
