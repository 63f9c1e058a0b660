// Decoding one full triggered frame: checksum, 2000 fields, scaling and rows.
// The reference converts each field the literal way (four characters copied
// into a five-character text and converted with strtoul); the decoder must be
// much faster while keeping every conversion rule.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {
namespace {

std::vector<std::uint8_t> TriggeredPayload() {
  std::string body = "T";
  for (int i = 0; i < kSamplesPerFrame; ++i) {
    for (int c = 0; c < kChannelCount; ++c) {
      char field[5];
      std::snprintf(field, sizeof field, "%04X", (i * 37 + c * 1000) % 4096);
      body += field;
    }
  }
  unsigned sum = 0;
  for (const char ch : body) sum += static_cast<unsigned char>(ch);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum & 0xFFU);
  body += digits;
  return {body.begin(), body.end()};
}

class NullField : public ColorTextField {
 public:
  void SetTextColor(ColorRef) override {}
  void SetBackgroundColor(ColorRef) override {}
  void SetText(std::string_view) override {}
};
class NullScroll : public ScrollBarControl {
 public:
  void SetRange(int, int) override {}
  void SetPosition(int) override {}
  [[nodiscard]] int Position() const override { return 0; }
};
class NullHooks : public FrameDecoderHooks {
 public:
  void WriteRealSaveLine() override {}
  void InvalidateDisplay() override {}
  void ShowElapsedTime() override {}
};

struct Fixture {
  Fixture() {
    settings.unsignedSamples[0][1] = 0;
    settings.scale[0][2] = 0.5;
    settings.offset[0][3] = -20.0;
    AllocateSampleBuffer(buffer, settings);
  }
  ScopeSettings settings;
  SampleBuffer buffer;
  AcquisitionRunning running;
  NullField field;
  NullScroll scroll;
  NullHooks hooks;
};

void BM_DecodeFrame(benchmark::State& state) {
  Fixture f;
  FrameDecoder decoder(f.settings, f.buffer, f.running, f.field, f.scroll, f.hooks);
  const auto payload = TriggeredPayload();
  for (auto _ : state) {
    benchmark::DoNotOptimize(decoder.OnFrameReady(payload));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeFrame);

// The literal way: the same steps, each field through strtoul.
void BM_DecodeFrameWithStrtoul(benchmark::State& state) {
  Fixture f;
  const auto payload = TriggeredPayload();
  for (auto _ : state) {
    const std::size_t length = payload.size();
    unsigned sum = 0;
    for (std::size_t i = 0; i + 2 < length; ++i) sum += payload[i];
    const unsigned expected =
        (static_cast<unsigned>(HexDigitValue(static_cast<char>(payload[length - 2]))) << 4) |
        HexDigitValue(static_cast<char>(payload[length - 1]));
    benchmark::DoNotOptimize(expected == (sum & 0xFFU));
    std::uint16_t raw[kChannelCount][kSamplesPerFrame];
    for (int i = 0; i < kSamplesPerFrame; ++i) {
      for (int c = 0; c < kChannelCount; ++c) {
        char text[5] = {};
        std::memcpy(text, payload.data() + 1 + 4 * (4 * i + c), 4);
        raw[c][i] = static_cast<std::uint16_t>(std::strtoul(text, nullptr, 16));
      }
    }
    const int m = f.settings.Mode();
    for (int c = 0; c < kChannelCount; ++c) {
      const auto values = f.buffer.Values(0, c);
      const auto rows = f.buffer.Rows(0, c);
      for (int i = 0; i < kSamplesPerFrame; ++i) {
        const double number = f.settings.unsignedSamples[m][c] != 0
                                  ? static_cast<double>(raw[c][i])
                                  : static_cast<double>(static_cast<std::int16_t>(raw[c][i]));
        const double value = number * f.settings.scale[m][c] + f.settings.offset[m][c];
        values[static_cast<std::size_t>(i)] = value;
        rows[static_cast<std::size_t>(i)] = ValueToRow(f.settings.mapping, value);
      }
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeFrameWithStrtoul);

}  // namespace
}  // namespace kestrova
