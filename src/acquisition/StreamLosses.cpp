#include "acquisition/StreamLosses.h"

#include <string_view>

#include "resources/Translatable.h"

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

std::string LossNoteText(const LossCounts& counts, const TranslateText& translate) {
  if (!counts.Any()) return {};
  const auto text = [&](std::string_view source) {
    return translate ? translate(source) : std::string(source);
  };
  std::string parts;
  const auto part = [&](std::uint64_t n, std::string_view source) {
    if (n == 0) return;
    if (!parts.empty()) parts.append(", ");
    parts.append(WithArgument(text(source), std::to_string(n)));
  };
  part(counts.Frames(), KESTROVA_TR_NOOP("Kestrova", "프레임 %1개"));
  part(counts.discardedBytes, KESTROVA_TR_NOOP("Kestrova", "%1바이트"));
  part(counts.overruns, KESTROVA_TR_NOOP("Kestrova", "USB 넘침 %1회"));
  return WithArgument(text(KESTROVA_TR_NOOP("Kestrova", "손실: %1")), parts);
}

}  // namespace kestrova
