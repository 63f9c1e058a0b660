#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"

namespace kestrova {

class DeviceSession;

// Control word bits of the configuration command.
namespace control {
inline constexpr std::uint16_t kTimeBaseMask = 0xF000;
inline constexpr std::uint16_t kOptionB3 = 0x0800;
inline constexpr std::uint16_t kOptionB2 = 0x0400;
inline constexpr std::uint16_t kOptionB1 = 0x0200;
inline constexpr std::uint16_t kRunning = 0x0100;
inline constexpr std::uint16_t kTriggered = 0x0080;  // Normal or Single
inline constexpr std::uint16_t kSingle = 0x0040;
inline constexpr std::uint16_t kRising = 0x0020;
inline constexpr std::uint16_t kSigned = 0x0010;  // trigger channel holds signed samples
inline constexpr int kModeShift = 2;
}  // namespace control

// The bytes of a command text as they go on the wire.
std::span<const std::uint8_t> CommandBytes(std::string_view command);

// Low 8 bits of the sum of the body's bytes.
std::uint8_t BodyChecksum(std::string_view body);

// STX, the body, its checksum as two upper-case hexadecimal digits, ETX
// (the frame of every command the program builds). The body is text: it
// ends at its first NUL.
std::string FrameCommand(std::string_view body);

// The 16-bit control word of the current mode's settings. timeListSelection
// is the time-base list's selected index (-1 when nothing is selected, which
// sends 15); running is AcquisitionRunning.
std::uint16_t ControlWord(const ScopeSettings& settings, int timeListSelection, bool running);

// The trigger level in the trigger channel's raw units:
// (level - offset) / scale, truncated toward zero and limited to the
// channel's range (0..65535 unsigned, -32768..32767 signed, the latter sent
// as 16-bit two's complement). An undefined quotient (0 / 0) sends 0.
std::uint16_t LevelWord(const ScopeSettings& settings);

// The framed configuration command "S" + control word + level word.
std::string ConfigurationCommand(std::uint16_t controlWord, std::uint16_t levelWord);

// The command sent at shutdown: the configuration with control word 0x4000
// (time base "2 ms", everything else off, not running) and level 0.
std::string ParkCommand();

// STX '?' ETX: asks the unit to identify itself. Carries no checksum.
std::string IdentificationQuery();

// Queues the configuration command built from the settings and
// AcquisitionRunning, then pauses 10 ms so that the receive thread writes it
// before the caller goes on. Does nothing when the session is not open.
// User-interface thread.
void SendConfiguration(DeviceSession& session, const ScopeSettings& settings, int timeListSelection);

// Stops streaming: when the session is open, clears AcquisitionRunning and
// sends the configuration. In every case then keeps the history position
// (viewIndexAtStop = viewIndex) and redraws through invalidateDisplay.
// User-interface thread.
void StopStreaming(DeviceSession& session, const ScopeSettings& settings, int timeListSelection,
                   SampleBuffer& buffer, const std::function<void()>& invalidateDisplay);

}  // namespace kestrova
