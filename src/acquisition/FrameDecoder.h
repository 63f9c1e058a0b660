#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/ControlPanel.h"
#include "acquisition/OperationMode.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova {

// Payload layout of a data frame: type letter, 2000 interleaved four-digit
// hexadecimal fields (sample i of channel c at 1 + 4 * (4 * i + c)), and two
// checksum digits.
inline constexpr std::size_t kSampleFieldCount = 2000;
inline constexpr std::size_t kFirstFieldOffset = 1;
inline constexpr char kTriggeredFrame = 'T';
inline constexpr char kMonitorFrame = 'M';

using RawFrame = std::array<std::array<std::uint16_t, kSamplesPerFrame>, kChannelCount>;

// '0'..'9', 'A'..'F', 'a'..'f' give 0..15; anything else 0xFF.
std::uint8_t HexDigitValue(char c);

// True when the last two payload bytes are hexadecimal digits that spell the
// byte sum of everything before them, modulo 256. Payloads shorter than three
// bytes never match, and neither does a checksum digit that is not a
// hexadecimal digit.
bool ChecksumMatches(std::span<const std::uint8_t> payload);

// One sample field converted the way the unit's numbers always have been:
// as base-16 text (leading blanks, an optional sign, an optional "0x", up to
// the first non-digit or NUL), negated for a '-', low 16 bits kept.
std::uint16_t ConvertSampleField(std::span<const std::uint8_t, 4> field);

// The 2000 fields of a payload at their fixed offsets. Bytes past the end of
// a short payload read as NUL, as in the zero-filled frame area.
void DecodeSampleFields(std::span<const std::uint8_t> payload, RawFrame& raw);

// What became of a frame.
enum class FrameOutcome {
  Rejected,        // checksum wrong or payload too short: nothing changed
  NotSampleData,   // neither 'T' nor 'M': only lastFrameType changed
  MonitorDropped,  // 'M' while only triggered frames are shown
  Stored,          // decoded into the history ring
};

// What a stored frame tells the rest of the window. User-interface thread.
class FrameDecoderHooks {
 public:
  virtual ~FrameDecoderHooks() = default;
  // The frame just stored at writeIndex, when real-time logging is enabled.
  virtual void WriteRealSaveLine() = 0;
  virtual void InvalidateDisplay() = 0;
  // A stored frame changed the plot and nothing around it; by default the
  // whole display is redrawn.
  virtual void InvalidatePlot() { InvalidateDisplay(); }
  // At the end of each stored frame while acquisition runs.
  virtual void ShowElapsedTime() = 0;
};

// Shows a triggered frame in the trigger status field: red on black, then
// "Trigger!" in single-shot mode or the running count "%d Trigger".
void ShowTriggerStatus(const ScopeSettings& settings, SampleBuffer& buffer, ColorTextField& status);

// Decodes frame payloads into the history ring (the handler of each
// frame-ready notification). User-interface thread only.
class FrameDecoder {
 public:
  FrameDecoder(ScopeSettings& settings, SampleBuffer& buffer, const AcquisitionRunning& running,
               ColorTextField& triggerStatus, ScrollBarControl& historyScroll, FrameDecoderHooks& hooks);

  FrameOutcome OnFrameReady(std::span<const std::uint8_t> payload);

 private:
  void StoreFrame(const RawFrame& raw);
  void AdvanceRing();

  ScopeSettings& settings_;
  SampleBuffer& buffer_;
  const AcquisitionRunning& running_;
  ColorTextField& triggerStatus_;
  ScrollBarControl& historyScroll_;
  FrameDecoderHooks& hooks_;
  RawFrame raw_{};
};

}  // namespace kestrova
