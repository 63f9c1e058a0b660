#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "device/DriverApi.h"
#include "device/Event.h"
#include "simulator/ManualSimClock.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::simtest {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr SimTime kFrameWireTime = kWireByteTime * 8005;

// The control word of a configuration command, field by field.
struct Control {
  int timeIndex = 4;
  int options = 0;  // B1 in bit 0
  bool run = true;
  bool normal = false;
  bool single = false;
  bool rising = true;
  bool signedChannel = false;
  int mode = 0;
  int channel = 0;

  [[nodiscard]] std::uint16_t Word() const {
    unsigned word = (static_cast<unsigned>(timeIndex) & 0xFU) << 12U;
    word |= (static_cast<unsigned>(options) & 7U) << 9U;
    if (run) word |= 0x100U;
    if (normal || single) word |= 0x80U;
    if (single) word |= 0x40U;
    if (rising) word |= 0x20U;
    if (signedChannel) word |= 0x10U;
    word |= (static_cast<unsigned>(mode) & 3U) << 2U;
    word |= static_cast<unsigned>(channel) & 3U;
    return static_cast<std::uint16_t>(word);
  }
};

// A framed command as the program builds it: STX, body, two checksum
// digits over the body, ETX.
inline std::vector<std::uint8_t> FramedCommand(std::string_view body) {
  unsigned sum = 0;
  for (const char c : body) sum += static_cast<unsigned char>(c);
  std::array<char, 3> digits{};
  std::snprintf(digits.data(), digits.size(), "%02X", sum & 0xFFU);
  std::string frame(1, static_cast<char>(kStx));
  frame.append(body);
  frame.append(digits.data(), 2);
  frame.push_back(static_cast<char>(kEtx));
  return {frame.begin(), frame.end()};
}

inline std::vector<std::uint8_t> ConfigurationCommand(std::uint16_t control, std::uint16_t level) {
  std::array<char, 10> body{};
  std::snprintf(body.data(), body.size(), "S%04X%04X", control, level);
  return FramedCommand(std::string_view(body.data(), 9));
}

// Splits a byte stream into STX/ETX payloads, keeping a partial frame
// between calls; bytes outside frames are counted.
class Splitter {
 public:
  void Feed(const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t b : bytes) {
      if (b == kStx) {
        inFrame_ = true;
        current_.clear();
      } else if (b == kEtx && inFrame_) {
        payloads.push_back(current_);
        inFrame_ = false;
      } else if (inFrame_) {
        current_.push_back(b);
      } else {
        outside.push_back(b);
      }
    }
  }
  std::vector<std::vector<std::uint8_t>> payloads;
  std::vector<std::uint8_t> outside;

 private:
  bool inFrame_ = false;
  std::vector<std::uint8_t> current_;
};

inline std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// A bridge that hands on every byte the moment it leaves the wire (each
// byte a packet and a transfer of its own), so that the receive queue shows
// the wire itself: for tests of the unit's pacing rather than the bridge's.
inline SimulatedBenchOptions WireLevel(SimulatedBenchOptions options = {}) {
  options.bridge = BridgeTiming{.packetSize = 3, .inTransferSize = 3};
  return options;
}

// A bench on a manual clock with one driver loaded and, once Open ran, the
// first unit open with an event registered.
class Rig {
 public:
  explicit Rig(SimulatedBenchOptions options = {}) {
    clock = std::make_shared<ManualSimClock>();
    options.clock = clock;
    bench = std::make_shared<SimulatedBench>(options);
    loader = MakeSimulatedDriverLoader(bench);
    driver = loader->Load();
  }

  void Open(const char* serial = "SIM00001") {
    ASSERT_EQ(driver->OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, handle), d2xx::FT_OK);
    ASSERT_EQ(driver->SetEventNotification(handle, d2xx::FT_EVENT_RXCHAR, rxEvent), d2xx::FT_OK);
  }

  void Write(const std::vector<std::uint8_t>& bytes) {
    d2xx::DWORD written = 0;
    ASSERT_EQ(driver->Write(handle, bytes, written), d2xx::FT_OK);
    ASSERT_EQ(written, bytes.size());
  }
  void Configure(const Control& control, std::uint16_t level = 10) {
    Write(ConfigurationCommand(control.Word(), level));
  }

  [[nodiscard]] std::size_t Queued() {
    d2xx::DWORD rx = 0;
    d2xx::DWORD tx = 0;
    d2xx::DWORD events = 0;
    EXPECT_EQ(driver->GetStatus(handle, rx, tx, events), d2xx::FT_OK);
    return rx;
  }

  // Everything in the receive queue.
  std::vector<std::uint8_t> ReadAll() {
    std::vector<std::uint8_t> bytes(Queued());
    d2xx::DWORD read = 0;
    EXPECT_EQ(driver->Read(handle, bytes, read), d2xx::FT_OK);
    bytes.resize(read);
    return bytes;
  }

  // Advances time in steps of at most 50 ms, reading as it goes, and
  // returns the payloads completed meanwhile.
  std::vector<std::vector<std::uint8_t>> Run(SimTime duration) {
    splitter.payloads.clear();
    const SimTime step = std::chrono::milliseconds(50);
    for (SimTime left = duration; left > SimTime::zero(); left -= step) {
      clock->Advance(std::min(step, left));
      splitter.Feed(ReadAll());
    }
    return splitter.payloads;
  }

  [[nodiscard]] UnitStatus Unit(std::string_view serial = "SIM00001") const {
    auto status = bench->StatusOf(serial);
    EXPECT_TRUE(status.has_value() && status->unit.has_value());
    return status && status->unit ? *status->unit : UnitStatus{};
  }

  std::shared_ptr<ManualSimClock> clock;
  std::shared_ptr<SimulatedBench> bench;
  std::unique_ptr<DriverLoader> loader;
  // Declared before the driver, which goes first and unregisters the event.
  EventHub hub;
  Event rxEvent{hub, Event::ResetMode::Auto};
  std::unique_ptr<DriverApi> driver;
  d2xx::FT_HANDLE handle = nullptr;
  Splitter splitter;
};

}  // namespace kestrova::simtest
