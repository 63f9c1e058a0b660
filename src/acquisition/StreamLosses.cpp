#include "acquisition/StreamLosses.h"

#include <string_view>

namespace kestrova {

LossCounts StreamLosses::Counts() const {
  return {.checksumFrames = checksumFrames_.load(std::memory_order_relaxed),
          .brokenFrames = brokenFrames_.load(std::memory_order_relaxed),
          .queueFrames = queueFrames_.load(std::memory_order_relaxed),
          .discardedBytes = discardedBytes_.load(std::memory_order_relaxed),
          .overruns = overruns_.load(std::memory_order_relaxed)};
}

void StreamLosses::Reset() {
  for (auto* counter : {&checksumFrames_, &brokenFrames_, &queueFrames_, &discardedBytes_, &overruns_})
    counter->store(0, std::memory_order_relaxed);
}

std::string LossNoteText(const LossCounts& counts) {
  if (!counts.Any()) return {};
  std::string text = "손실: ";
  std::string_view separator;
  const auto part = [&](std::uint64_t n, std::string_view before, std::string_view after) {
    if (n == 0) return;
    text.append(separator).append(before).append(std::to_string(n)).append(after);
    separator = ", ";
  };
  part(counts.Frames(), "프레임 ", "개");
  part(counts.discardedBytes, "", "바이트");
  part(counts.overruns, "USB 넘침 ", "회");
  return text;
}

}  // namespace kestrova
