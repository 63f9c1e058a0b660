// Any bytes as a sigrok session file: no crash, no sanitizer report, no
// allocation beyond the reader's bounds, and what opens reads in frames of
// at most 500 samples of finite-or-not floats without going past the end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "captures/SrFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrova::OpenedCapture opened = kestrova::OpenSrCapture(kestrova::MemorySource({data, size}));
  if (!opened.source) {
    if (opened.error.Empty()) std::abort();
    return 0;
  }
  const kestrova::CaptureInfo& info = opened.source->Info();
  if (info.channels.empty() || info.channels.size() > 4 || info.sampleCount <= 0) std::abort();
  if (info.frameCount != (info.sampleCount + 499) / 500) std::abort();
  // A few pieces from the start and the end, as a view scrolling would ask.
  kestrova::FrameBlock block;
  kestrova::LocalText error;
  for (const long long first : {0LL, info.frameCount / 2, info.frameCount - 1, info.frameCount + 3}) {
    if (!opened.source->ReadFrames(first, 3, block, error)) continue;
    if (block.Count() > 3 || block.channelCount != static_cast<int>(info.channels.size())) std::abort();
    for (long long f = 0; f < block.Count(); ++f)
      for (int c = 0; c < block.channelCount; ++c)
        if (block.Samples(f, c).size() > 500) std::abort();
  }
  return 0;
}
