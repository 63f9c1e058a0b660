#include "stream_meter/MeterFigures.h"

#include <algorithm>
#include <cmath>

namespace kestrova::tools {

std::map<std::string, std::uint64_t> ByThread(int uiTid, const std::vector<ThreadTimes>& before,
                                              const std::vector<ThreadTimes>& after,
                                              std::uint64_t ThreadTimes::*counter) {
  std::map<std::string, std::uint64_t> split;
  for (const ThreadTimes& t : after) {
    std::uint64_t used = t.*counter;
    const auto earlier = std::ranges::find(before, t.tid, &ThreadTimes::tid);
    if (earlier != before.end()) used = t.*counter >= (*earlier).*counter ? t.*counter - (*earlier).*counter : 0;
    split[t.tid == uiTid ? std::string(kWindowThread) : t.name] += used;
  }
  return split;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::ranges::sort(values);
  const auto index = static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
  return values[std::min(index, values.size() - 1)];
}

double PercentOfCore(std::uint64_t ns, double wallSeconds) {
  return wallSeconds > 0 ? 100.0 * static_cast<double>(ns) / 1e9 / wallSeconds : 0.0;
}

}  // namespace kestrova::tools
