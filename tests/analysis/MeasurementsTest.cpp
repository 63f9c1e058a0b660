#include "analysis/Measurements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {
namespace {

constexpr double kStep = 200e-6;  // the history time bases' sample spacing

std::vector<double> Wave(int count, const std::function<double(int)>& at) {
  std::vector<double> samples(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) samples[static_cast<std::size_t>(k)] = at(k);
  return samples;
}

// Square wave: `high` for the first `highSamples` of every `period` samples.
std::vector<double> Square(int count, int period, int highSamples, double high, int phase = 0) {
  return Wave(count, [=](int k) { return (k + phase) % period < highSamples ? high : 0.0; });
}

struct Expected {
  double minimum, maximum, mean, rms;
  std::optional<double> frequency;  // hertz
  std::optional<double> dutyCycle;  // percent
};

struct Case {
  std::string name;
  std::vector<double> samples;
  Expected expected;
};

void ExpectNear(const std::optional<double>& actual, const std::optional<double>& expected, double tolerance,
                const std::string& what) {
  ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
  if (expected) {
    EXPECT_NEAR(*actual, *expected, tolerance) << what;
  }
}

TEST(MeasurementsTest, KnownWaveforms) {
  const double twoPi = 2.0 * std::numbers::pi;
  // A slow sine with a small fast ripple that crosses the middle several
  // times per pass: the hysteresis must count each pass once.
  auto rippled = Wave(1000, [&](int k) { return 2.0 * std::sin(twoPi * k / 250.0) + 0.15 * ((k % 2) ? 1 : -1); });
  const std::vector<Case> cases = {
      {"sine, 50 Hz, 5 V about 1 V", Wave(500, [&](int k) { return 1.0 + 5.0 * std::sin(twoPi * k / 100.0); }),
       {-4.0, 6.0, 1.0, std::sqrt(1.0 + 12.5), 50.0, 50.0}},
      {"square, 25 % duty, 125 Hz", Square(480, 40, 10, 3.3, 30),
       {0.0, 3.3, 0.825, 1.65, 125.0, 25.0}},
      {"square, 75 % duty, starting high", Square(500, 20, 15, 1.0),
       {0.0, 1.0, 0.75, std::sqrt(0.75), 250.0, 75.0}},
      {"constant", std::vector<double>(500, 7.5), {7.5, 7.5, 7.5, 7.5, std::nullopt, std::nullopt}},
      {"single spike", Wave(500, [](int k) { return k == 250 ? 10.0 : 0.0; }),
       {0.0, 10.0, 0.02, std::sqrt(100.0 / 500.0), std::nullopt, std::nullopt}},
      {"ramp: one crossing", Wave(500, [](int k) { return k * 0.01; }),
       {0.0, 4.99, 2.495, std::sqrt(0.01 * 0.01 * 499.0 * 500.0 * 999.0 / 6.0 / 500.0), std::nullopt, std::nullopt}},
      {"negative square (falling edges first)", Square(500, 50, 25, -2.0),
       {-2.0, 0.0, -1.0, std::sqrt(2.0), 100.0, 50.0}},
  };
  for (const auto& c : cases) {
    const Measurements m = Measure(c.samples, kStep);
    EXPECT_EQ(m.samples, c.samples.size()) << c.name;
    EXPECT_NEAR(m.minimum, c.expected.minimum, 1e-9) << c.name;
    EXPECT_NEAR(m.maximum, c.expected.maximum, 1e-9) << c.name;
    EXPECT_NEAR(m.peakToPeak, c.expected.maximum - c.expected.minimum, 1e-9) << c.name;
    EXPECT_NEAR(m.mean, c.expected.mean, 1e-9) << c.name;
    EXPECT_NEAR(m.rms, c.expected.rms, 1e-9) << c.name;
    ExpectNear(m.frequency, c.expected.frequency, 1e-6 * c.expected.frequency.value_or(0.0), c.name + " frequency");
    ExpectNear(m.dutyCycle, c.expected.dutyCycle, 1e-6, c.name + " duty");
    if (m.frequency) {
      EXPECT_DOUBLE_EQ(*m.period, 1.0 / *m.frequency) << c.name;
    }
    EXPECT_EQ(m.period.has_value(), m.frequency.has_value()) << c.name;
  }

  const Measurements m = Measure(rippled, kStep);
  ASSERT_TRUE(m.frequency.has_value());
  EXPECT_NEAR(*m.frequency, 1.0 / (250 * kStep), 0.2);
  EXPECT_NEAR(*m.dutyCycle, 50.0, 0.5);
}

TEST(MeasurementsTest, PiecesMeasureAsOneStretch) {
  // A history window that wraps around the ring arrives in pieces; an edge
  // that falls between two pieces still counts, at the right time.
  const auto whole = Square(1500, 60, 21, 4.0, 50);
  const std::span<const double> all(whole);
  const std::vector<std::span<const double>> pieces = {all.subspan(0, 500), all.subspan(500, 9),
                                                       all.subspan(509, 0), all.subspan(509)};
  const Measurements joined = Measure(whole, kStep);
  const Measurements split = Measure(pieces, kStep);
  EXPECT_EQ(split.samples, joined.samples);
  EXPECT_DOUBLE_EQ(split.mean, joined.mean);
  ASSERT_TRUE(split.frequency && joined.frequency);
  EXPECT_DOUBLE_EQ(*split.frequency, *joined.frequency);
  EXPECT_DOUBLE_EQ(*split.dutyCycle, *joined.dutyCycle);
  EXPECT_NEAR(*split.dutyCycle, 35.0, 1e-9);
}

TEST(MeasurementsTest, NothingToMeasure) {
  EXPECT_EQ(Measure(std::span<const double>(), kStep).samples, 0U);
  // No sample spacing: the levels are measured, the timing is not.
  const Measurements m = Measure(Square(500, 40, 10, 1.0), 0.0);
  EXPECT_EQ(m.samples, 500U);
  EXPECT_DOUBLE_EQ(m.maximum, 1.0);
  EXPECT_FALSE(m.frequency.has_value());
  EXPECT_FALSE(m.dutyCycle.has_value());
}

}  // namespace
}  // namespace kestrova
