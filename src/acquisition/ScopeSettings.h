#pragma once

#include <array>
#include <string>

#include "acquisition/Color.h"
#include "acquisition/DisplayMapping.h"
#include "acquisition/OperationMode.h"

namespace kestrova {

template <typename T>
using PerMode = std::array<T, kModeCount>;
template <typename T>
using PerModeChannel = std::array<std::array<T, kChannelCount>, kModeCount>;

template <typename T>
PerModeChannel<T> FilledPerModeChannel(const T& value) {
  // Every element is assigned below. (Not "table{}": clang 14 crashes on the
  // value-initialisation of nested arrays of strings.)
  PerModeChannel<T> table;
  for (auto& row : table) row.fill(value);
  return table;
}
template <typename T>
PerMode<T> FilledPerMode(const T& value) {
  PerMode<T> row;
  row.fill(value);
  return row;
}

// The configuration the user edits and that persists between runs. Most
// channel, axis and trigger fields exist once per operation mode ([M]) or per
// mode and channel ([M][C]). Numeric entries keep the text as typed beside
// their number: the text is what the edit shows and what is stored.
//
// Owned by the main window; user-interface thread only.
struct ScopeSettings {
  int operationMode = 0;

  PerModeChannel<int> channelEnable = FilledPerModeChannel(1);
  PerModeChannel<std::string> scaleText = FilledPerModeChannel(std::string("1"));
  PerModeChannel<double> scale = FilledPerModeChannel(1.0);
  PerModeChannel<std::string> offsetText = FilledPerModeChannel(std::string("0"));
  PerModeChannel<double> offset = FilledPerModeChannel(0.0);
  PerModeChannel<int> unsignedSamples = FilledPerModeChannel(1);

  std::array<ColorRef, kGraphColorCount> graphColor = DefaultGraphColors;

  int timeIndex = 4;  // "2 ms"
  int yDivision = 1;  // 8 divisions

  PerMode<std::string> yMinText = FilledPerMode(std::string("0"));
  PerMode<double> yMin = FilledPerMode(0.0);
  PerMode<std::string> yMaxText = FilledPerMode(std::string("100"));
  PerMode<double> yMax = FilledPerMode(100.0);

  int autoTrigger = 1;
  int triggerUse = 0;
  int triggerStop = 0;
  int triggerOnly = 0;
  PerMode<int> triggerChannel = FilledPerMode(0);
  int triggerEdge = 1;  // 0 Falling, 1 Rising
  PerMode<std::string> triggerLevelText = FilledPerMode(std::string("10"));
  PerMode<double> triggerLevel = FilledPerMode(10.0);

  int extendedDisplay = 0;
  PerMode<int> axisScaleEnable = FilledPerMode(0);
  PerMode<double> axisScaleFactor = FilledPerMode(1.0);
  int cursorEnable = 0;
  int colorReverse = 0;
  int peakDetect = 0;  // history time bases: each column spans its lowest to highest sample
  PerMode<std::array<int, kOptionBitCount>> optionBits{};

  int realSaveEnable = 0;
  int realSaveIndex = 0;
  std::string realSavePath;

  // Derived values: recomputed from the fields above, never persisted.
  int timePerDivision = 20;  // TimeBaseTable[timeIndex].perDivision
  DisplayMapping mapping;    // Y axis of the current mode
  int triggerRow = 360;      // ValueToRow(triggerLevel[M])
  // The colours last taken from the six colour buttons; drawing uses these,
  // graphColor is their persisted copy.
  std::array<ColorRef, kGraphColorCount> liveColors = DefaultGraphColors;

  // The current mode as an index, always within 0..3.
  [[nodiscard]] int Mode() const {
    return operationMode >= 0 && operationMode < kModeCount ? operationMode : 0;
  }
};

// Recomputes pixelsPerUnit and pixelOffset, then triggerRow, from the current
// mode's axis and level.
void RefreshDisplayMapping(ScopeSettings& settings);

}  // namespace kestrova
