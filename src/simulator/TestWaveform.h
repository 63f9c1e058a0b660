#pragma once

#include <array>
#include <cstdint>

namespace kestrova {

// The signals the simulated unit captures: four deterministic channels per
// operation mode, fixed by a seed. They are laid out in samples per screen,
// so that a screen shows a few periods whatever the time base, and without
// options they stay within 0..100 raw units so that they are visible (and
// channel 1 triggers) with the program's default axis and level.
//
//   ADC:  1 sine 5..95 (3 periods a screen), 2 square 20/80 (5 periods),
//         3 triangle 10..90 with +-1 noise (2 periods), 4 a ringing pulse
//         from 95 that settles at 40 with its trough at about 3, twice a
//         screen. Option B1 (the wide input range) shows every channel six
//         times smaller about 50; B2 lowers channel 4's pulse to settle at
//         30, so that its trough dips to about -10 (two's complement).
//   SPI:  1 SCLK, 2 MOSI, 3 MISO, 4 /CS, 0 or 100; 16-bit transfers. B1
//         widens the gap between transfers, B2 makes the clock idle high,
//         B3 shifts the data by half a clock.
//   CAN:  1 TX (dominant 0, recessive 100), 2 RX (TX a quarter bit late),
//         3 CAN_H (75/50), 4 CAN_L (25/50). B1 extended frames, B2 the
//         faster bit rate.
//   UART: 1 TX, 2 RX (idle 100, start bit 0, eight data bits LSB first,
//         stop bit 100), 3 TX busy, 4 the last byte sent scaled to 0..100.
//         B1 the faster bit rate, B2 bytes back to back.
//
// A value type; safe to use from any thread.
class TestWaveform {
 public:
  // mode: operation mode 0..3 (others are taken as ADC); optionBits: B1 in
  // bit 0, B2 in bit 1, B3 in bit 2; samplesPerScreen >= 1.
  TestWaveform(std::uint32_t seed, int mode, int optionBits, std::int64_t samplesPerScreen);

  // Sample n (n >= 0) of channel 0..3 as the 16-bit word the unit sends
  // (negative values in two's complement).
  [[nodiscard]] std::uint16_t Sample(int channel, std::int64_t n) const;

  [[nodiscard]] std::int64_t SamplesPerScreen() const { return samplesPerScreen_; }

 private:
  [[nodiscard]] int AdcValue(int channel, std::int64_t n) const;
  [[nodiscard]] int SpiValue(int channel, std::int64_t n) const;
  [[nodiscard]] int CanValue(int channel, std::int64_t n) const;
  [[nodiscard]] int UartValue(int channel, std::int64_t n) const;
  // Where sample n falls within a cycle of `cycles` cycles per screen, as a
  // fraction 0 <= f < 1; exact for any n.
  [[nodiscard]] double Phase(std::int64_t n, std::int64_t cycles) const;
  // Index of the unit of 1/`unitsPerScreen` screen that sample n falls in.
  [[nodiscard]] std::int64_t Slot(std::int64_t n, std::int64_t unitsPerScreen) const;
  [[nodiscard]] std::uint64_t Noise(std::uint64_t a, std::uint64_t b) const;

  std::uint32_t seed_;
  int mode_;
  int options_;
  std::int64_t samplesPerScreen_;
  std::array<std::int64_t, 4> offset_{};
};

// Sample spacing of the unit at a time-base index (as the time combo lists
// them, out-of-range indices pulled to the nearest entry): 2 x the time per
// division (in units of 100 us) microseconds up to 5 ms per division, 200 us
// from 10 ms per division on. In nanoseconds.
std::int64_t SampleSpacingNs(int timeBaseIndex);

// Samples one screen covers at a time-base index: one frame (500 samples) up
// to 10 ms per division, then as many frames as a screen shows.
std::int64_t SamplesPerScreen(int timeBaseIndex);

}  // namespace kestrova
