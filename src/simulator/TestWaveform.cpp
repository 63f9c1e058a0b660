#include "simulator/TestWaveform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "acquisition/SampleBuffer.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

constexpr int kHigh = 100;
constexpr int kLow = 0;

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31U);
}

bool Bit(int options, int b) {
  return ((static_cast<unsigned>(options) >> static_cast<unsigned>(b)) & 1U) != 0;
}

}  // namespace

TestWaveform::TestWaveform(std::uint32_t seed, int mode, int optionBits, std::int64_t samplesPerScreen)
    : seed_(seed),
      mode_(mode >= 0 && mode <= 3 ? mode : 0),
      options_(optionBits & 7),
      samplesPerScreen_(std::max<std::int64_t>(samplesPerScreen, 1)) {
  for (std::size_t c = 0; c < offset_.size(); ++c) {
    offset_[c] =
        static_cast<std::int64_t>(Mix(seed_ * 4ULL + c) % static_cast<std::uint64_t>(samplesPerScreen_));
  }
}

double TestWaveform::Phase(std::int64_t n, std::int64_t cycles) const {
  // n * cycles stays far below 2^63 for any stream a test or a session runs.
  const std::int64_t position = (n * cycles) % samplesPerScreen_;
  return static_cast<double>(position) / static_cast<double>(samplesPerScreen_);
}

std::int64_t TestWaveform::Slot(std::int64_t n, std::int64_t unitsPerScreen) const {
  return n * unitsPerScreen / samplesPerScreen_;
}

std::uint64_t TestWaveform::Noise(std::uint64_t a, std::uint64_t b) const {
  return Mix(Mix((static_cast<std::uint64_t>(seed_) << 32U) ^ a) ^ b);
}

std::uint16_t TestWaveform::Sample(int channel, std::int64_t n) const {
  channel = std::clamp(channel, 0, 3);
  n = std::max<std::int64_t>(n, 0);
  int value = 0;
  switch (mode_) {
    case 1:
      value = SpiValue(channel, n + offset_[0]);
      break;
    case 2:
      value = CanValue(channel, n + offset_[0]);
      break;
    case 3:
      value = UartValue(channel, n + offset_[0]);
      break;
    default:
      value = AdcValue(channel, n + offset_[static_cast<std::size_t>(channel)]);
      break;
  }
  return static_cast<std::uint16_t>(value);
}

int TestWaveform::AdcValue(int channel, std::int64_t n) const {
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  double value = 0.0;
  switch (channel) {
    case 0:
      value = 50.0 + 45.0 * std::sin(kTwoPi * Phase(n, 3));
      break;
    case 1:
      value = Phase(n, 5) < 0.4 ? 80.0 : 20.0;
      break;
    case 2: {
      const double f = Phase(n, 2);
      const double triangle = f < 0.5 ? 2.0 * f : 2.0 - 2.0 * f;
      const auto noise = static_cast<int>(Noise(3, static_cast<std::uint64_t>(n)) % 3U) - 1;
      value = 10.0 + 80.0 * triangle + noise;
      break;
    }
    default: {
      // A pulse that rings five times per event and decays with a quarter
      // of the event period. Its first trough stays above zero, so the
      // default (unsigned) reading shows it; with B2 the pulse rides lower
      // and that trough dips below zero, for the signed reading.
      const double t = Phase(n, 2);
      const double ring = std::exp(-t / 0.25) * std::cos(kTwoPi * 5.0 * t);
      value = Bit(options_, 1) ? 30.0 + 60.0 * ring : 40.0 + 55.0 * ring;
      break;
    }
  }
  if (Bit(options_, 0)) value = 50.0 + (value - 50.0) / 6.0;
  return static_cast<int>(std::lround(value));
}

int TestWaveform::SpiValue(int channel, std::int64_t n) const {
  constexpr std::int64_t kWordBits = 16;
  const std::int64_t gapBits = Bit(options_, 0) ? 6 : 3;
  const std::int64_t transferBits = kWordBits + gapBits;
  // Three transfers a screen; two half-bit slots per bit.
  const std::int64_t halfBit = Slot(n, transferBits * 6);
  const std::int64_t bit = halfBit / 2;
  const std::int64_t transfer = bit / transferBits;
  const std::int64_t bitInTransfer = bit % transferBits;
  const bool active = bitInTransfer < kWordBits;
  const bool idleHigh = Bit(options_, 1);
  switch (channel) {
    case 0: {
      if (!active) return idleHigh ? kHigh : kLow;
      const bool secondHalf = (halfBit % 2) != 0;
      return (secondHalf != idleHigh) ? kHigh : kLow;
    }
    case 1:
    case 2: {
      if (!active) return kLow;
      std::int64_t dataBit = bitInTransfer;
      if (Bit(options_, 2)) {
        // With the clock phase option the data changes half a bit later.
        if (halfBit == 0) return kLow;
        dataBit = (halfBit - 1) / 2 - transfer * transferBits;
      }
      if (dataBit < 0 || dataBit >= kWordBits) return kLow;
      const auto word = Noise(static_cast<std::uint64_t>(channel), static_cast<std::uint64_t>(transfer));
      return ((word >> static_cast<unsigned>(kWordBits - 1 - dataBit)) & 1U) != 0 ? kHigh : kLow;
    }
    default:
      return active ? kLow : kHigh;
  }
}

int TestWaveform::CanValue(int channel, std::int64_t n) const {
  const std::int64_t frameBits = Bit(options_, 0) ? 64 : 44;
  const std::int64_t idleBits = 12;
  const std::int64_t bitsPerScreen = Bit(options_, 1) ? 160 : 100;
  // RX hears the bus a quarter bit after TX drives it.
  const std::int64_t quarter = Slot(n, 4 * bitsPerScreen);
  const std::int64_t bit = (channel == 1 ? std::max<std::int64_t>(quarter - 1, 0) : quarter) / 4;
  const std::int64_t frame = bit / (frameBits + idleBits);
  const std::int64_t bitInFrame = bit % (frameBits + idleBits);
  bool dominant = false;
  if (bitInFrame == 0) {
    dominant = true;  // start of frame
  } else if (bitInFrame < frameBits) {
    const auto pattern =
        Noise(10U + static_cast<std::uint64_t>(bitInFrame / 32), static_cast<std::uint64_t>(frame));
    dominant = ((pattern >> static_cast<unsigned>(bitInFrame % 32)) & 1U) != 0;
  }
  switch (channel) {
    case 0:
    case 1:
      return dominant ? kLow : kHigh;
    case 2:
      return dominant ? 75 : 50;
    default:
      return dominant ? 25 : 50;
  }
}

int TestWaveform::UartValue(int channel, std::int64_t n) const {
  constexpr std::int64_t kCharacterBits = 10;  // start, eight data, stop
  const std::int64_t idleBits = Bit(options_, 1) ? 0 : 4;
  const std::int64_t slotBits = kCharacterBits + idleBits;
  const std::int64_t bitsPerScreen = Bit(options_, 0) ? 120 : 60;
  // RX answers half a character after TX.
  const std::int64_t shift = channel == 1 ? slotBits * 2 : 0;  // in half-bit slots
  const std::int64_t halfBit = Slot(n, 2 * bitsPerScreen) - shift;
  if (halfBit < 0) return kHigh;
  const std::int64_t bit = halfBit / 2;
  const std::int64_t character = bit / slotBits;
  const std::int64_t bitInSlot = bit % slotBits;
  const auto byteOf = [&](std::int64_t index) {
    return static_cast<unsigned>(Noise(channel == 1 ? 21U : 20U, static_cast<std::uint64_t>(index)) & 0xFFU);
  };
  switch (channel) {
    case 0:
    case 1: {
      if (bitInSlot == 0) return kLow;
      if (bitInSlot > 8) return kHigh;
      return ((byteOf(character) >> static_cast<unsigned>(bitInSlot - 1)) & 1U) != 0 ? kHigh : kLow;
    }
    case 2:
      return bitInSlot < kCharacterBits ? kHigh : kLow;
    default: {
      // The byte whose stop bit has been sent most recently.
      const std::int64_t last = bitInSlot >= kCharacterBits - 1 ? character : character - 1;
      if (last < 0) return kLow;
      return static_cast<int>(byteOf(last) * 100U / 255U);
    }
  }
}

std::int64_t SampleSpacingNs(int timeBaseIndex) {
  const int perDivision = TimeBaseAt(timeBaseIndex).perDivision;
  if (IsHistoryTimeBase(perDivision)) return 200'000;
  return 2'000LL * perDivision;
}

std::int64_t SamplesPerScreen(int timeBaseIndex) {
  const int perDivision = TimeBaseAt(timeBaseIndex).perDivision;
  if (!IsHistoryTimeBase(perDivision)) return kSamplesPerFrame;
  return static_cast<std::int64_t>(kSamplesPerFrame) * FramesPerScreen(perDivision);
}

}  // namespace kestrova
