// Settings loading from an arbitrary profile: every key may be missing, an
// integer of any value, or a text of any content (also under the other
// kind). Loading must not crash, must leave every index and flag in range,
// and what was loaded must survive showing every mode, saving and loading
// again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FakeControlPanel.h"
#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/NumberText.h"
#include "acquisition/OperationModes.h"
#include "acquisition/SettingsPersistence.h"
#include "acquisition/TimeBaseTable.h"
#include "acquisition/TriggerModes.h"

namespace {

using kestrova::kChannelCount;
using kestrova::kModeCount;
using kestrova::kOptionBitCount;
using kestrova::ScopeSettings;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

bool IsFlag(int value) {
  return value == 0 || value == 1;
}

void RequireInRange(const ScopeSettings& s, const std::string& serial) {
  Require(s.operationMode >= 0 && s.operationMode < kModeCount);
  Require(s.timeIndex >= 0 && s.timeIndex < kestrova::kTimeBaseCount);
  Require(s.timePerDivision == kestrova::TimeBaseTable[static_cast<std::size_t>(s.timeIndex)].perDivision);
  Require(s.yDivision >= 0 && s.yDivision <= 2);
  Require(s.triggerEdge == 0 || s.triggerEdge == 1);
  Require(s.realSaveIndex >= 0 && s.realSaveIndex <= 13);
  for (int flag : {s.autoTrigger, s.triggerUse, s.triggerStop, s.triggerOnly, s.extendedDisplay,
                   s.cursorEnable, s.colorReverse, s.realSaveEnable}) {
    Require(IsFlag(flag));
  }
  for (std::size_t m = 0; m < kModeCount; ++m) {
    Require(s.triggerChannel[m] >= 0 && s.triggerChannel[m] < kChannelCount);
    Require(IsFlag(s.axisScaleEnable[m]));
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      Require(IsFlag(s.channelEnable[m][c]) && IsFlag(s.unsignedSamples[m][c]));
    }
    for (std::size_t b = 0; b < kOptionBitCount; ++b) Require(IsFlag(s.optionBits[m][b]));
  }
  for (std::size_t i = 0; i < s.graphColor.size(); ++i) {
    Require(s.graphColor[i] <= 0x00FFFFFFU && s.liveColors[i] == s.graphColor[i]);
  }
  Require(serial.size() <= kestrova::kSerialNumberLength);
  // The current mode is clamped: its axis is valid and the level lies on it.
  const auto m = static_cast<std::size_t>(s.operationMode);
  Require(s.yMin[m] < s.yMax[m] && s.yMin[m] >= -65535.0 && s.yMax[m] <= 65535.0);
  Require(s.triggerLevel[m] >= s.yMin[m] && s.triggerLevel[m] <= s.yMax[m]);
  Require(s.triggerRow >= 0 && s.triggerRow <= kestrova::kPlotHeight);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kestrova::MemoryProfile stored;
  const std::vector<kestrova::SettingsKey>& table = kestrova::SettingsKeyTable();
  // Each record names a key by its place in the table, so that short inputs
  // reach every key; later records for the same key replace earlier ones.
  while (input.remaining_bytes() > 0) {
    const std::string& key = table[input.ConsumeIntegralInRange<std::size_t>(0, table.size() - 1)].name;
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
      case 0:
        stored.PutInt(kestrova::kSettingsSection, key, input.ConsumeIntegral<int>());
        break;
      case 1:  // near the ranges, where off-by-one faults live
        stored.PutInt(kestrova::kSettingsSection, key, input.ConsumeIntegralInRange<int>(-2, 16));
        break;
      case 2:  // a number of any size, as the edits would hold it
        stored.PutText(kestrova::kSettingsSection, key,
                       kestrova::FormatGeneral(input.ConsumeFloatingPoint<double>()));
        break;
      case 3:
        stored.PutText(kestrova::kSettingsSection, key,
                       kestrova::FormatFixed(input.ConsumeFloatingPoint<double>(), 4));
        break;
      default:
        stored.PutText(kestrova::kSettingsSection, key, input.ConsumeRandomLengthString(40));
        break;
    }
  }

  ScopeSettings settings;
  std::string serial;
  kestrova::testing::FakeControlPanel panel;
  kestrova::LoadSettings(stored, settings, serial, panel);
  RequireInRange(settings, serial);

  // Show every mode the way the window does, then come back.
  kestrova::testing::RecordingAxisLabels labels;
  panel.ShowSettings(settings);
  const int start = settings.operationMode;
  for (int step = 1; step <= kModeCount; ++step) {
    const int k = (start + step) % kModeCount;
    for (std::size_t r = 0; r < kestrova::ctl::ModeRadio.size(); ++r) {
      panel.checks[kestrova::ctl::ModeRadio[r]] = static_cast<int>(r) == k;
    }
    kestrova::HandleModeRadio(k, false, settings, panel, labels);
    kestrova::HandleTriggerLevelChange(false, settings, panel);
  }

  kestrova::MemoryProfile saved;
  kestrova::SaveSettings(saved, settings, serial, panel, labels);
  Require(saved.KeyCount(kestrova::kSettingsSection) == kestrova::kSettingsKeyCount);

  ScopeSettings reloaded;
  std::string reloadedSerial;
  kestrova::testing::FakeControlPanel reloadedPanel;
  kestrova::LoadSettings(saved, reloaded, reloadedSerial, reloadedPanel);
  RequireInRange(reloaded, reloadedSerial);
  Require(reloadedSerial == serial);
  Require(reloaded.operationMode == settings.operationMode);
  return 0;
}
