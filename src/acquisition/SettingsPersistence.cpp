#include "acquisition/SettingsPersistence.h"

#include <cmath>
#include <optional>

#include "acquisition/NumberText.h"
#include "acquisition/SettingsControls.h"
#include "acquisition/TimeBaseTable.h"

namespace kestrova {

namespace {

constexpr ColorRef kColorMask = 0x00FFFFFFU;

std::string Num(int value) {
  return FormatInt(value);
}

std::vector<SettingsKey> BuildKeyTable() {
  std::vector<SettingsKey> table;
  table.reserve(kSettingsKeyCount);
  const auto addInt = [&table](std::string name, SettingsField field, int defaultInt, int mode = 0,
                               int index = 0) {
    table.push_back({std::move(name), SettingsKeyKind::Int, field, mode, index, defaultInt, {}});
  };
  const auto addText = [&table](std::string name, SettingsField field, std::string defaultText, int mode = 0,
                                int index = 0) {
    table.push_back({std::move(name), SettingsKeyKind::Text, field, mode, index, 0, std::move(defaultText)});
  };

  addText("Device Serial", SettingsField::DeviceSerial, "");
  for (int m = 0; m < kModeCount; ++m) {
    for (int c = 0; c < kChannelCount; ++c) {
      const std::string prefix = "M" + Num(m) + "_Ch" + Num(c);
      addInt(prefix + " Enable", SettingsField::ChannelEnable, 1, m, c);
      addText(prefix + " Scale", SettingsField::Scale, "1", m, c);
      addText(prefix + " Offset", SettingsField::Offset, "0", m, c);
      addInt(prefix + " Unsigned", SettingsField::Unsigned, 1, m, c);
    }
  }
  for (int i = 0; i < kGraphColorCount; ++i) {
    addInt("Graph Color" + Num(i), SettingsField::GraphColor,
           static_cast<int>(DefaultGraphColors[static_cast<std::size_t>(i)]), 0, i);
  }
  addInt("Time Index", SettingsField::TimeIndex, 4);
  addInt("Y Division", SettingsField::YDivision, 1);
  for (int m = 0; m < kModeCount; ++m) {
    addText("M" + Num(m) + "_YAxis Min", SettingsField::YAxisMin, "0", m);
    addText("M" + Num(m) + "_YAxis Max", SettingsField::YAxisMax, "100", m);
  }
  addInt("Auto", SettingsField::AutoTrigger, 1);
  addInt("Trigger Use", SettingsField::TriggerUse, 0);
  addInt("Trigger Stop", SettingsField::TriggerStop, 0);
  addInt("Trigger Only", SettingsField::TriggerOnly, 0);
  for (int m = 0; m < kModeCount; ++m) {
    addInt("M" + Num(m) + " Trigger Ch", SettingsField::TriggerChannel, 0, m);
  }
  addInt("Trigger Mode", SettingsField::TriggerEdge, 1);
  for (int m = 0; m < kModeCount; ++m) {
    addText("M" + Num(m) + " Trigger Level", SettingsField::TriggerLevel, "10", m);
  }
  addInt("Select Signal", SettingsField::OperationMode, 0);
  addInt("Channel Config Enable", SettingsField::ExtendedDisplay, 0);
  for (int m = 0; m < kModeCount; ++m) {
    addInt("M" + Num(m) + "_Lable Enable", SettingsField::AxisScaleEnable, 0, m);
    addText("M" + Num(m) + "_Lable Value", SettingsField::AxisScaleFactor, "1", m);
  }
  addInt("Cursor Enable", SettingsField::CursorEnable, 0);
  addInt("Graph Color Reverse", SettingsField::ColorReverse, 0);
  for (int m = 0; m < kModeCount; ++m) {
    for (int b = 0; b < kOptionBitCount; ++b) {
      addInt("M" + Num(m) + "_BIT" + Num(b), SettingsField::OptionBit, 0, m, b);
    }
  }
  addInt("Real Save Enable", SettingsField::RealSaveEnable, 0);
  addInt("Real Save Index", SettingsField::RealSaveIndex, 0);
  addText("Real Save File Path", SettingsField::RealSavePath, "");
  // Added later than the keys above: a file without it loads with it off.
  addInt("Peak Detect", SettingsField::PeakDetect, 0);
  return table;
}

std::size_t At(int index) {
  return static_cast<std::size_t>(index);
}

// The int field a key holds, or null for text keys and colours.
int* IntField(ScopeSettings& s, const SettingsKey& key) {
  const std::size_t m = At(key.mode);
  const std::size_t i = At(key.index);
  switch (key.field) {
    case SettingsField::ChannelEnable:
      return &s.channelEnable[m][i];
    case SettingsField::Unsigned:
      return &s.unsignedSamples[m][i];
    case SettingsField::TimeIndex:
      return &s.timeIndex;
    case SettingsField::YDivision:
      return &s.yDivision;
    case SettingsField::AutoTrigger:
      return &s.autoTrigger;
    case SettingsField::TriggerUse:
      return &s.triggerUse;
    case SettingsField::TriggerStop:
      return &s.triggerStop;
    case SettingsField::TriggerOnly:
      return &s.triggerOnly;
    case SettingsField::TriggerChannel:
      return &s.triggerChannel[m];
    case SettingsField::TriggerEdge:
      return &s.triggerEdge;
    case SettingsField::OperationMode:
      return &s.operationMode;
    case SettingsField::ExtendedDisplay:
      return &s.extendedDisplay;
    case SettingsField::AxisScaleEnable:
      return &s.axisScaleEnable[m];
    case SettingsField::CursorEnable:
      return &s.cursorEnable;
    case SettingsField::ColorReverse:
      return &s.colorReverse;
    case SettingsField::OptionBit:
      return &s.optionBits[m][i];
    case SettingsField::RealSaveEnable:
      return &s.realSaveEnable;
    case SettingsField::RealSaveIndex:
      return &s.realSaveIndex;
    case SettingsField::PeakDetect:
      return &s.peakDetect;
    default:
      return nullptr;
  }
}

bool IsFlag(SettingsField field) {
  switch (field) {
    case SettingsField::ChannelEnable:
    case SettingsField::Unsigned:
    case SettingsField::AutoTrigger:
    case SettingsField::TriggerUse:
    case SettingsField::TriggerStop:
    case SettingsField::TriggerOnly:
    case SettingsField::ExtendedDisplay:
    case SettingsField::AxisScaleEnable:
    case SettingsField::CursorEnable:
    case SettingsField::ColorReverse:
    case SettingsField::OptionBit:
    case SettingsField::RealSaveEnable:
    case SettingsField::PeakDetect:
      return true;
    default:
      return false;
  }
}

// A numeric text with the number parsed from it.
struct ParsedText {
  std::string* text = nullptr;
  double* value = nullptr;
  double fallback = 0.0;
};

std::optional<ParsedText> ParsedTextField(ScopeSettings& s, const SettingsKey& key) {
  const std::size_t m = At(key.mode);
  const std::size_t c = At(key.index);
  switch (key.field) {
    case SettingsField::Scale:
      return ParsedText{&s.scaleText[m][c], &s.scale[m][c], 1.0};
    case SettingsField::Offset:
      return ParsedText{&s.offsetText[m][c], &s.offset[m][c], 0.0};
    case SettingsField::YAxisMin:
      return ParsedText{&s.yMinText[m], &s.yMin[m], 0.0};
    case SettingsField::YAxisMax:
      return ParsedText{&s.yMaxText[m], &s.yMax[m], 100.0};
    case SettingsField::TriggerLevel:
      return ParsedText{&s.triggerLevelText[m], &s.triggerLevel[m], 10.0};
    default:
      return std::nullopt;
  }
}

int ClampToCount(int value, int count) {
  if (value < 0) return 0;
  if (value >= count) return count - 1;
  return value;
}

void LoadIntKey(const Profile& profile, const SettingsKey& key, ScopeSettings& s) {
  const int stored = profile.GetInt(kSettingsSection, key.name, key.defaultInt);
  if (key.field == SettingsField::GraphColor) {
    // Only 0x00BBGGRR is a colour; the top byte of a damaged value is dropped.
    const ColorRef color = static_cast<ColorRef>(stored) & kColorMask;
    s.graphColor[At(key.index)] = color;
    s.liveColors[At(key.index)] = color;
    return;
  }
  int* field = IntField(s, key);
  if (field == nullptr) return;
  if (IsFlag(key.field)) {
    *field = stored != 0 ? 1 : 0;
  } else if (key.field == SettingsField::TriggerChannel) {
    // ClampSettings only looks after the current mode; the channel of every
    // mode indexes the channel tables as soon as that mode is shown or sent.
    *field = ClampToCount(stored, kChannelCount);
  } else {
    // The other indices are pulled into range by ClampSettings below.
    *field = stored;
  }
}

void LoadTextKey(const Profile& profile, const SettingsKey& key, ScopeSettings& s, std::string& serial) {
  std::string stored = profile.GetText(kSettingsSection, key.name, key.defaultText);
  if (const std::optional<ParsedText> parsed = ParsedTextField(s, key)) {
    const std::optional<double> value = stored.empty() ? std::nullopt : ParseNumberText(stored);
    if (value) {
      *parsed->value = *value;
      *parsed->text = std::move(stored);
    } else {
      *parsed->value = parsed->fallback;
      *parsed->text = key.defaultText;
    }
    return;
  }
  switch (key.field) {
    case SettingsField::DeviceSerial:
      serial = LimitSerialNumber(stored);
      break;
    case SettingsField::AxisScaleFactor: {
      // Read with the plain decimal conversion; the text itself is not kept.
      // A factor that is not finite ("inf", "nan", "1e999") would poison
      // every axis label and read-out: take the fallback instead.
      const double factor = LeadingDecimalValue(stored);
      s.axisScaleFactor[At(key.mode)] = std::isfinite(factor) ? factor : 1.0;
      break;
    }
    case SettingsField::RealSavePath:
      s.realSavePath = std::move(stored);
      break;
    default:
      break;
  }
}

void SaveIntKey(Profile& profile, const SettingsKey& key, ScopeSettings& s) {
  if (key.field == SettingsField::GraphColor) {
    profile.PutInt(kSettingsSection, key.name, static_cast<int>(s.graphColor[At(key.index)]));
    return;
  }
  if (const int* field = IntField(s, key)) profile.PutInt(kSettingsSection, key.name, *field);
}

void SaveTextKey(Profile& profile, const SettingsKey& key, ScopeSettings& s, std::string_view serial) {
  if (const std::optional<ParsedText> parsed = ParsedTextField(s, key)) {
    profile.PutText(kSettingsSection, key.name, *parsed->text);
    return;
  }
  switch (key.field) {
    case SettingsField::DeviceSerial:
      profile.PutText(kSettingsSection, key.name, LimitSerialNumber(serial));
      break;
    case SettingsField::AxisScaleFactor:
      profile.PutText(kSettingsSection, key.name, FormatGeneral(s.axisScaleFactor[At(key.mode)]));
      break;
    case SettingsField::RealSavePath:
      profile.PutText(kSettingsSection, key.name, s.realSavePath);
      break;
    default:
      break;
  }
}

}  // namespace

const std::vector<SettingsKey>& SettingsKeyTable() {
  static const std::vector<SettingsKey> table = BuildKeyTable();
  return table;
}

std::string LimitSerialNumber(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.size() <= kSerialNumberLength) return std::string(text);
  text = text.substr(0, kSerialNumberLength);
  // Step back over continuation bytes to the start of the last character and
  // drop that character when the cut left it incomplete.
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t start = text.size();
  while (start > 0 && (byte(start - 1) & 0xC0U) == 0x80U && text.size() - start < 3) --start;
  if (start > 0) {
    const unsigned char lead = byte(start - 1);
    std::size_t length = 1;
    if (lead >= 0xF0U) {
      length = 4;
    } else if (lead >= 0xE0U) {
      length = 3;
    } else if (lead >= 0xC0U) {
      length = 2;
    }
    if (text.size() - (start - 1) < length) text = text.substr(0, start - 1);
  }
  return std::string(text);
}

void LoadSettings(const Profile& profile, ScopeSettings& settings, std::string& serialNumber,
                  ControlPanel& panel) {
  for (const SettingsKey& key : SettingsKeyTable()) {
    if (key.kind == SettingsKeyKind::Int) {
      LoadIntKey(profile, key, settings);
    } else {
      LoadTextKey(profile, key, settings, serialNumber);
    }
  }
  // Mode, time index, Y divisions, edge and logging interval come into range
  // here, together with the current mode's values.
  ClampSettings(settings, panel);
  settings.timePerDivision = TimeBaseAt(settings.timeIndex).perDivision;
  RefreshDisplayMapping(settings);
}

void SaveSettings(Profile& profile, ScopeSettings& settings, std::string_view serialNumber,
                  ControlPanel& panel, AxisLabelBuilder& labels) {
  ReadControls(settings, panel, labels);
  ClampSettings(settings, panel);
  for (const SettingsKey& key : SettingsKeyTable()) {
    if (key.kind == SettingsKeyKind::Int) {
      SaveIntKey(profile, key, settings);
    } else {
      SaveTextKey(profile, key, settings, serialNumber);
    }
  }
}

}  // namespace kestrova
