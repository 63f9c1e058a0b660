#include "device/CommandProtocol.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "device/DeviceSession.h"
#include "device/FrameExtractor.h"

namespace kestrova {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out.push_back(kHexDigits[(value >> shift) & 0xFU]);
}

int TriggerChannel(const ScopeSettings& settings) {
  return std::clamp(settings.triggerChannel[static_cast<std::size_t>(settings.Mode())], 0, kChannelCount - 1);
}

}  // namespace

std::span<const std::uint8_t> CommandBytes(std::string_view command) {
  // Reading text as bytes is what the wire does.
  return {reinterpret_cast<const std::uint8_t*>(command.data()), command.size()};
}

std::uint8_t BodyChecksum(std::string_view body) {
  unsigned sum = 0;
  for (const std::uint8_t byte : CommandBytes(body)) sum += byte;
  return static_cast<std::uint8_t>(sum & 0xFFU);
}

std::string FrameCommand(std::string_view body) {
  body = body.substr(0, body.find('\0'));
  std::string frame;
  frame.reserve(body.size() + 4);
  frame.push_back(static_cast<char>(kStx));
  frame.append(body);
  AppendHex(frame, BodyChecksum(body), 2);
  frame.push_back(static_cast<char>(kEtx));
  return frame;
}

std::uint16_t ControlWord(const ScopeSettings& settings, int timeListSelection, bool running) {
  const int mode = settings.Mode();
  const auto m = static_cast<std::size_t>(mode);
  const int channel = TriggerChannel(settings);
  const auto& options = settings.optionBits[m];

  unsigned word = (static_cast<unsigned>(timeListSelection) & 0xFU) << 12;
  if (options[0] != 0) word |= control::kOptionB1;
  if (options[1] != 0) word |= control::kOptionB2;
  if (options[2] != 0) word |= control::kOptionB3;
  if (running) word |= control::kRunning;
  if (settings.autoTrigger == 0) word |= control::kTriggered;
  if (settings.triggerStop != 0) word |= control::kSingle;
  if (settings.triggerEdge != 0) word |= control::kRising;
  if (settings.unsignedSamples[m][static_cast<std::size_t>(channel)] == 0) word |= control::kSigned;
  word |= static_cast<unsigned>(mode) << control::kModeShift;
  word |= static_cast<unsigned>(channel);
  return static_cast<std::uint16_t>(word);
}

std::uint16_t LevelWord(const ScopeSettings& settings) {
  const auto m = static_cast<std::size_t>(settings.Mode());
  const auto c = static_cast<std::size_t>(TriggerChannel(settings));
  const double raw = std::trunc((settings.triggerLevel[m] - settings.offset[m][c]) / settings.scale[m][c]);
  if (std::isnan(raw)) return 0;
  const bool isUnsigned = settings.unsignedSamples[m][c] != 0;
  const double low = isUnsigned ? 0.0 : -32768.0;
  const double high = isUnsigned ? 65535.0 : 32767.0;
  const auto limited = static_cast<std::int32_t>(std::clamp(raw, low, high));
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(limited) & 0xFFFFU);
}

std::string ConfigurationCommand(std::uint16_t controlWord, std::uint16_t levelWord) {
  std::string body = "S";
  AppendHex(body, controlWord, 4);
  AppendHex(body, levelWord, 4);
  return FrameCommand(body);
}

std::string ParkCommand() {
  return ConfigurationCommand(0x4000, 0x0000);
}

std::string IdentificationQuery() {
  return {static_cast<char>(kStx), '?', static_cast<char>(kEtx)};
}

void SendConfiguration(DeviceSession& session, const ScopeSettings& settings, int timeListSelection) {
  if (!session.IsOpen()) return;
  session.QueueCommand(ConfigurationCommand(ControlWord(settings, timeListSelection, session.Running().Get()),
                                            LevelWord(settings)));
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void StopStreaming(DeviceSession& session, const ScopeSettings& settings, int timeListSelection,
                   SampleBuffer& buffer, const std::function<void()>& invalidateDisplay) {
  if (session.IsOpen()) {
    session.Running().Set(false);
    SendConfiguration(session, settings, timeListSelection);
  }
  buffer.viewIndexAtStop = buffer.viewIndex;
  if (invalidateDisplay) invalidateDisplay();
}

}  // namespace kestrova
