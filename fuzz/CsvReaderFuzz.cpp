// Any bytes as a Kestrova CSV file: no crash, no sanitizer report; what opens
// has four channels and reads back frame by frame up to its end.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "captures/CsvCapture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrova::OpenedCapture opened = kestrova::OpenCsvCapture(kestrova::MemorySource({data, size}));
  if (!opened.source) {
    if (opened.error.Empty()) std::abort();
    return 0;
  }
  const kestrova::CaptureInfo& info = opened.source->Info();
  if (info.channels.size() != 4 || info.sampleCount < 2 || info.frameCount != (info.sampleCount + 499) / 500)
    std::abort();
  kestrova::FrameBlock block;
  kestrova::LocalText error;
  // The file does not change under the reader: every frame reads.
  if (!opened.source->ReadFrames(0, info.frameCount, block, error)) std::abort();
  long long samples = 0;
  for (long long f = 0; f < block.Count(); ++f) samples += static_cast<long long>(block.Samples(f, 3).size());
  if (samples != info.sampleCount) std::abort();
  return 0;
}
