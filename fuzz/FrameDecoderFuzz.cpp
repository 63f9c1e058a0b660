// Any payload of 0 to 8003 bytes through the frame decoder: no crash, no
// sanitizer report, the ring's indices stay in range, and the whole-frame
// field decoding agrees with the field-by-field rule.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/FrameHandoff.h"
#include "acquisition/TimeBaseTable.h"

namespace {

using namespace kestrova;

class NullField : public ColorTextField {
 public:
  void SetTextColor(ColorRef) override {}
  void SetBackgroundColor(ColorRef) override {}
  void SetText(std::string_view) override {}
};
class ClampingScroll : public ScrollBarControl {
 public:
  void SetRange(int lo, int hi) override {
    lo_ = lo;
    hi_ = hi;
  }
  void SetPosition(int p) override { position_ = std::clamp(p, lo_, hi_); }
  [[nodiscard]] int Position() const override { return position_; }

 private:
  int lo_ = 0, hi_ = 0, position_ = 0;
};
class NullHooks : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override {}
  void ShowElapsedTime() override {}
};

struct State {
  State() { AllocateSampleBuffer(buffer, settings); }
  ScopeSettings settings;
  SampleBuffer buffer;
  AcquisitionRunning running;
  NullField field;
  ClampingScroll scroll;
  NullHooks hooks;
  FrameDecoder decoder{settings, buffer, running, field, scroll, hooks};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static State state;
  if (size > kMaxPayloadLength) return -1;
  const std::span<const std::uint8_t> payload(data, size);

  // Vary the settings with the first byte so both ring regimes and both
  // signedness rules are reached.
  const std::uint8_t knob = size > 0 ? data[0] : 0;
  const int timeIndex = knob % kTimeBaseCount;
  state.settings.timeIndex = timeIndex;
  state.settings.timePerDivision = TimeBaseTable[static_cast<std::size_t>(timeIndex)].perDivision;
  state.scroll.SetRange(0, TimeBaseTable[static_cast<std::size_t>(timeIndex)].scrollMax);
  state.settings.triggerOnly = (knob >> 4) & 1;
  state.settings.triggerUse = (knob >> 5) & 1;
  state.settings.unsignedSamples[0][0] = (knob >> 6) & 1;

  state.decoder.OnFrameReady(payload);
  const SampleBuffer& b = state.buffer;
  if (b.writeIndex < 0 || b.writeIndex >= kHistoryFrames || b.frameCount < 0 ||
      b.frameCount > kHistoryFrames || b.captureEnd < 0 || b.captureEnd >= kHistoryFrames ||
      b.captureFrames < 0 || b.captureFrames > b.frameCount) {
    std::abort();
  }

  RawFrame raw{};
  DecodeSampleFields(payload, raw);
  std::uint8_t padded[8001] = {};
  std::copy_n(data, std::min<std::size_t>(size, sizeof padded), padded);
  for (std::size_t i = 0; i < kSamplesPerFrame; ++i) {
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      const std::span<const std::uint8_t, 4> field(padded + 1 + 4 * (4 * i + c), 4);
      if (raw[c][i] != ConvertSampleField(field)) std::abort();
    }
  }
  return 0;
}
