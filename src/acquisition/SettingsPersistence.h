#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/ControlPanel.h"
#include "acquisition/Profile.h"
#include "acquisition/ScopeSettings.h"

// Loading the settings at start-up and saving them at shutdown. All keys live
// in one profile section; the key table fixes their names, kinds, defaults
// and the order in which both operations process them.
namespace kestrova {

inline constexpr std::string_view kSettingsSection = "Kestrova View Info";
inline constexpr std::size_t kSettingsKeyCount = 122;

// The unit's serial number is kept in a 16-byte field: 15 characters and a
// terminating NUL.
inline constexpr std::size_t kSerialNumberLength = 15;

enum class SettingsKeyKind { Int, Text };

// The ScopeSettings field (or the serial number) a key holds.
enum class SettingsField {
  DeviceSerial,
  ChannelEnable,  // [M][C]
  Scale,          // [M][C]
  Offset,         // [M][C]
  Unsigned,       // [M][C]
  GraphColor,     // [i]
  TimeIndex,
  YDivision,
  YAxisMin,  // [M]
  YAxisMax,  // [M]
  AutoTrigger,
  TriggerUse,
  TriggerStop,
  TriggerOnly,
  TriggerChannel,  // [M]
  TriggerEdge,
  TriggerLevel,  // [M]
  OperationMode,
  ExtendedDisplay,
  AxisScaleEnable,  // [M]
  AxisScaleFactor,  // [M]
  CursorEnable,
  ColorReverse,
  OptionBit,  // [M][b]
  RealSaveEnable,
  RealSaveIndex,
  RealSavePath,
  PeakDetect,
};

struct SettingsKey {
  std::string name;
  SettingsKeyKind kind = SettingsKeyKind::Int;
  SettingsField field = SettingsField::DeviceSerial;
  int mode = 0;             // M of per-mode keys, else 0
  int index = 0;            // C, b or i of indexed keys, else 0
  int defaultInt = 0;       // Int keys
  std::string defaultText;  // Text keys
};

// The 121 keys in processing order. Built once; safe to call from any thread
// after the first call, used on the user-interface thread.
const std::vector<SettingsKey>& SettingsKeyTable();

// A stored serial number as it fits the 16-byte field: up to the first NUL,
// at most 15 bytes, and never ending inside a UTF-8 sequence that the cut
// broke. Any thread.
std::string LimitSerialNumber(std::string_view text);

// Reads every key (missing keys take their defaults) into the settings and
// the serial number, then keeps the current mode inside its limits with
// ClampSettings, which also writes the current mode's texts into the edits.
// Finally the derived values (time per division, display mapping, trigger
// row) are recomputed.
//
// Stored values are not trusted: a numeric text that is empty or not a number
// takes its field's fallback value and default text; flags other than 0 read
// as 1; colours keep their low 24 bits; every mode's trigger channel and all
// list indices are pulled into range, so nothing loaded can index outside a
// table. User-interface thread only.
void LoadSettings(const Profile& profile, ScopeSettings& settings, std::string& serialNumber,
                  ControlPanel& panel);

// Captures the controls' current contents (ReadControls, ClampSettings), then
// writes every key: ints as they are, texts as stored, the secondary axis
// factor as "%g" of its value. User-interface thread only.
void SaveSettings(Profile& profile, ScopeSettings& settings, std::string_view serialNumber,
                  ControlPanel& panel, AxisLabelBuilder& labels);

}  // namespace kestrova
