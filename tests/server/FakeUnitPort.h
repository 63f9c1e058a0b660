#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/CommandProtocol.h"
#include "server/Instrument.h"

namespace kestrova::server {

// The unit as the instrument drives it: every configuration's control word,
// the terminal's traffic, and the replies it is to give.
class FakeUnitPort final : public UnitPort {
 public:
  void Configure(const ScopeSettings& settings, bool running) override {
    running_.Set(running);
    controlWords.push_back(ControlWord(settings, settings.timeIndex, running));
  }
  const AcquisitionRunning& Running() const override { return running_; }
  void DiscardQueuedFrames() override { ++discards; }
  void SendTerminal(std::span<const std::uint8_t> frame) override {
    sent.emplace_back(frame.begin(), frame.end());
  }
  std::vector<std::string> FinishTerminal() override { return replies; }

  std::vector<std::uint16_t> controlWords;
  std::vector<std::vector<std::uint8_t>> sent;
  std::vector<std::string> replies;
  int discards = 0;

 private:
  AcquisitionRunning running_;
};

}  // namespace kestrova::server
