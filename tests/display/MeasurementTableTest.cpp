#include <cmath>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "DisplayTestSupport.h"
#include "display/MeasurementTable.h"

namespace kestrova {
namespace {

using test::k1s;
using test::k2ms;

// What the window lists for the display's known test waveforms, in one
// frame at 2 ms/div: the whole table, as the copy gives it.
TEST(MeasurementTable, KnownWaveformsInOneFrame) {
  ScopeSettings settings = test::SettingsAt(k2ms);
  SampleBuffer buffer = test::ClearedBuffer(settings);
  buffer.frameCount = 1;
  const auto& m = settings.mapping;
  // A sine of 50 samples (2 ms, 500 Hz), amplitude 10 about 50; its peaks
  // fall between samples.
  test::FillSlot(buffer, m, 0, 0,
                 [](int k) { return 50.0 + 10.0 * std::sin(2 * std::numbers::pi * k / 50.0); });
  // A square of 100 samples (4 ms, 250 Hz), high (20) for the first quarter.
  test::FillSlot(buffer, m, 0, 1, [](int k) { return k % 100 < 25 ? 20.0 : 0.0; });
  // A constant, and a single spike on a flat line: no whole period.
  test::FillSlot(buffer, m, 0, 2, [](int) { return 42.5; });
  test::FillSlot(buffer, m, 0, 3, [](int k) { return k == 250 ? 10.0 : 0.0; });

  const std::string table =
      MeasurementTableText(MeasureDisplayed(settings, buffer, {true, true, true, true}, false));
  EXPECT_EQ(table,
            "Ch\t최소\t최대\t피크-피크\t평균\tRMS\t주파수\t주기\t듀티\n"
            "Ch 1\t40.02\t59.98\t19.96\t50.00\t50.50\t500.0 Hz\t2.000 ms\t50.0 %\n"
            "Ch 2\t0.000\t20.00\t20.00\t5.000\t10.00\t250.0 Hz\t4.000 ms\t25.0 %\n"
            "Ch 3\t42.50\t42.50\t0.000\t42.50\t42.50\t-\t-\t-\n"
            "Ch 4\t0.000\t10.00\t10.00\t0.020\t0.447\t-\t-\t-\n");
}

// At 1 s/div the window measures every sample of the 100 frames on screen,
// across the slots in display order, with 200 us between samples.
TEST(MeasurementTable, HistoryWindowMeasuresEverySampleOfItsFrames) {
  ScopeSettings settings = test::SettingsAt(k1s);
  SampleBuffer buffer = test::ClearedBuffer(settings);
  buffer.frameCount = kHistoryFrames;
  buffer.writeIndex = 37;
  // A slow ramp that climbs over the whole window and falls back once, at
  // the wrap from slot 36 to slot 37 (the oldest frame): seen in display
  // order it has no falling edge at all.
  for (int f = 0; f < kHistoryFrames; ++f) {
    const int position = (f - 37 + kHistoryFrames) % kHistoryFrames;
    test::FillSlot(buffer, settings.mapping, f, 0, [&](int k) { return (position * 500 + k) / 500.0; });
  }
  const std::vector<MeasurementRow> rows =
      MeasureDisplayed(settings, buffer, {true, false, false, false}, true);
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].values.samples, 50'000U);
  EXPECT_DOUBLE_EQ(rows[0].values.minimum, 0.0);
  EXPECT_DOUBLE_EQ(rows[0].values.maximum, 99.998);
  EXPECT_FALSE(rows[0].values.frequency.has_value());

  // A 2 Hz square (every 2500 samples) across the frames.
  for (int f = 0; f < kHistoryFrames; ++f) {
    const int position = (f - 37 + kHistoryFrames) % kHistoryFrames;
    test::FillSlot(buffer, settings.mapping, f, 0,
                   [&](int k) { return (position * 500 + k) % 2500 < 1250 ? 5.0 : -5.0; });
  }
  const MeasurementCells cells =
      FormatMeasurementCells(MeasureDisplayed(settings, buffer, {true, false, false, false}, true)[0].values);
  EXPECT_EQ(cells[5], "2.000 Hz");
  EXPECT_EQ(cells[6], "500.0 ms");
  EXPECT_EQ(cells[7], "50.0 %");

  EXPECT_EQ(SampleSpacingSeconds(TimeBaseAt(0).perDivision), 2e-6);
}

TEST(MeasurementTable, NothingToShowBeforeTheFirstFrame) {
  const ScopeSettings settings = test::SettingsAt(k2ms);
  const SampleBuffer buffer = test::ClearedBuffer(settings);
  EXPECT_EQ(MeasurementTableText(MeasureDisplayed(settings, buffer, {false, true, false, false}, true)),
            "Ch\t최소\t최대\t피크-피크\t평균\tRMS\t주파수\t주기\t듀티\n"
            "Ch 2\t-\t-\t-\t-\t-\t-\t-\t-\n");
}

}  // namespace
}  // namespace kestrova
