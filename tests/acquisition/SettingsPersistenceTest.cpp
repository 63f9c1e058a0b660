#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeControlPanel.h"
#include "acquisition/ControlIds.h"
#include "acquisition/MemoryProfile.h"
#include "acquisition/NumberText.h"
#include "acquisition/OperationModes.h"
#include "acquisition/SettingsPersistence.h"

namespace kestrova {
namespace {

using testing::FakeControlPanel;
using testing::RecordingAxisLabels;

constexpr std::string_view kSection = kSettingsSection;

// Forwards to a MemoryProfile and records every call in order.
class RecordingProfile : public Profile {
 public:
  struct Call {
    std::string key;
    SettingsKeyKind kind;
    bool write;
  };

  [[nodiscard]] int GetInt(std::string_view section, std::string_view key, int fallback) const override {
    EXPECT_EQ(section, kSection);
    calls.push_back({std::string(key), SettingsKeyKind::Int, false});
    return store.GetInt(section, key, fallback);
  }
  void PutInt(std::string_view section, std::string_view key, int value) override {
    EXPECT_EQ(section, kSection);
    calls.push_back({std::string(key), SettingsKeyKind::Int, true});
    store.PutInt(section, key, value);
  }
  [[nodiscard]] std::string GetText(std::string_view section, std::string_view key,
                                    std::string_view fallback) const override {
    EXPECT_EQ(section, kSection);
    calls.push_back({std::string(key), SettingsKeyKind::Text, false});
    return store.GetText(section, key, fallback);
  }
  void PutText(std::string_view section, std::string_view key, std::string_view value) override {
    EXPECT_EQ(section, kSection);
    calls.push_back({std::string(key), SettingsKeyKind::Text, true});
    store.PutText(section, key, value);
  }

  MemoryProfile store;
  mutable std::vector<Call> calls;
};

// Checks that the calls visit every key of the table once, in table order,
// with the table's kind, all reads or all writes.
void ExpectTableOrder(const std::vector<RecordingProfile::Call>& calls, bool write) {
  const std::vector<SettingsKey>& table = SettingsKeyTable();
  ASSERT_EQ(calls.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(calls[i].key, table[i].name) << "position " << i;
    EXPECT_EQ(calls[i].kind, table[i].kind) << table[i].name;
    EXPECT_EQ(calls[i].write, write) << table[i].name;
  }
}

// Fills the controls from the settings as the window's set-up does,
// including the "%g" secondary factor.
void ShowAsWindowDoes(FakeControlPanel& panel, const ScopeSettings& s) {
  panel.ShowSettings(s);
  panel.texts[ctl::AxisScaleEdit] = FormatGeneral(s.axisScaleFactor[s.Mode()]);
}

TEST(SettingsKeyTable, HoldsEveryKeyOnceInProcessingOrder) {
  const std::vector<SettingsKey>& table = SettingsKeyTable();
  ASSERT_EQ(table.size(), kSettingsKeyCount);

  std::set<std::string> names;
  for (const SettingsKey& key : table) EXPECT_TRUE(names.insert(key.name).second) << key.name;

  struct Expected {
    std::size_t position;
    const char* name;
    SettingsKeyKind kind;
  };
  const Expected expected[] = {
      {0, "Device Serial", SettingsKeyKind::Text},
      {1, "M0_Ch0 Enable", SettingsKeyKind::Int},
      {2, "M0_Ch0 Scale", SettingsKeyKind::Text},
      {3, "M0_Ch0 Offset", SettingsKeyKind::Text},
      {4, "M0_Ch0 Unsigned", SettingsKeyKind::Int},
      {5, "M0_Ch1 Enable", SettingsKeyKind::Int},
      {60, "M3_Ch2 Unsigned", SettingsKeyKind::Int},
      {64, "M3_Ch3 Unsigned", SettingsKeyKind::Int},
      {65, "Graph Color0", SettingsKeyKind::Int},
      {70, "Graph Color5", SettingsKeyKind::Int},
      {71, "Time Index", SettingsKeyKind::Int},
      {72, "Y Division", SettingsKeyKind::Int},
      {73, "M0_YAxis Min", SettingsKeyKind::Text},
      {74, "M0_YAxis Max", SettingsKeyKind::Text},
      {76, "M1_YAxis Max", SettingsKeyKind::Text},
      {81, "Auto", SettingsKeyKind::Int},
      {84, "Trigger Only", SettingsKeyKind::Int},
      {85, "M0 Trigger Ch", SettingsKeyKind::Int},
      {89, "Trigger Mode", SettingsKeyKind::Int},
      {92, "M2 Trigger Level", SettingsKeyKind::Text},
      {94, "Select Signal", SettingsKeyKind::Int},
      {95, "Channel Config Enable", SettingsKeyKind::Int},
      {96, "M0_Lable Enable", SettingsKeyKind::Int},
      {97, "M0_Lable Value", SettingsKeyKind::Text},
      {103, "M3_Lable Value", SettingsKeyKind::Text},
      {104, "Cursor Enable", SettingsKeyKind::Int},
      {105, "Graph Color Reverse", SettingsKeyKind::Int},
      {106, "M0_BIT0", SettingsKeyKind::Int},
      {108, "M0_BIT2", SettingsKeyKind::Int},
      {117, "M3_BIT2", SettingsKeyKind::Int},
      {118, "Real Save Enable", SettingsKeyKind::Int},
      {119, "Real Save Index", SettingsKeyKind::Int},
      {120, "Real Save File Path", SettingsKeyKind::Text},
      {121, "Peak Detect", SettingsKeyKind::Int},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(table[e.position].name, e.name);
    EXPECT_EQ(table[e.position].kind, e.kind) << e.name;
  }

  std::size_t texts = 0;
  for (const SettingsKey& key : table) texts += key.kind == SettingsKeyKind::Text ? 1 : 0;
  // Serial, path, 16 scales, 16 offsets, 8 axis limits, 4 levels, 4 factors.
  EXPECT_EQ(texts, 50U);
}

TEST(LoadSettings, FirstStartGivesTheDefaults) {
  RecordingProfile profile;
  FakeControlPanel panel;
  ScopeSettings s;
  s.operationMode = 3;  // whatever was there before must not survive
  s.scaleText[0][2] = "7";
  s.scale[0][2] = 7.0;
  std::string serial = "stale";

  LoadSettings(profile, s, serial, panel);
  ExpectTableOrder(profile.calls, /*write=*/false);

  EXPECT_EQ(serial, "");
  EXPECT_EQ(s.operationMode, 0);
  for (std::size_t m = 0; m < kModeCount; ++m) {
    for (std::size_t c = 0; c < kChannelCount; ++c) {
      EXPECT_EQ(s.channelEnable[m][c], 1);
      EXPECT_EQ(s.unsignedSamples[m][c], 1);
      EXPECT_EQ(s.scaleText[m][c], "1");
      EXPECT_EQ(s.scale[m][c], 1.0);
      EXPECT_EQ(s.offsetText[m][c], "0");
      EXPECT_EQ(s.offset[m][c], 0.0);
    }
    EXPECT_EQ(s.yMinText[m], "0");
    EXPECT_EQ(s.yMaxText[m], "100");
    EXPECT_EQ(s.yMax[m], 100.0);
    EXPECT_EQ(s.triggerChannel[m], 0);
    EXPECT_EQ(s.triggerLevelText[m], "10");
    EXPECT_EQ(s.triggerLevel[m], 10.0);
    EXPECT_EQ(s.axisScaleEnable[m], 0);
    EXPECT_EQ(s.axisScaleFactor[m], 1.0);
    EXPECT_EQ(s.optionBits[m], (std::array<int, kOptionBitCount>{0, 0, 0}));
  }
  EXPECT_EQ(s.graphColor, DefaultGraphColors);
  EXPECT_EQ(s.liveColors, DefaultGraphColors);
  EXPECT_EQ(s.timeIndex, 4);
  EXPECT_EQ(s.timePerDivision, 20);
  EXPECT_EQ(s.yDivision, 1);
  EXPECT_EQ(s.autoTrigger, 1);
  EXPECT_EQ(s.triggerUse, 0);
  EXPECT_EQ(s.triggerStop, 0);
  EXPECT_EQ(s.triggerOnly, 0);
  EXPECT_EQ(s.triggerEdge, 1);
  EXPECT_EQ(s.extendedDisplay, 0);
  EXPECT_EQ(s.cursorEnable, 0);
  EXPECT_EQ(s.colorReverse, 0);
  EXPECT_EQ(s.peakDetect, 0);
  EXPECT_EQ(s.realSaveEnable, 0);
  EXPECT_EQ(s.realSaveIndex, 0);
  EXPECT_EQ(s.realSavePath, "");
  EXPECT_EQ(s.triggerRow, 360);

  // The closing clamp shows the current mode's texts.
  EXPECT_EQ(panel.Text(ctl::YMinEdit), "0");
  EXPECT_EQ(panel.Text(ctl::YMaxEdit), "100");
  EXPECT_EQ(panel.Text(ctl::TriggerLevelEdit), "10");
  EXPECT_EQ(panel.Text(ctl::ScaleEdit[3]), "1");
  EXPECT_EQ(panel.Text(ctl::OffsetEdit[3]), "0");
}

// A stored profile with a distinct, valid value under every key.
MemoryProfile DistinctProfile() {
  MemoryProfile p;
  const auto put = [&p](const std::string& key, int value) { p.PutInt(kSection, key, value); };
  const auto text = [&p](const std::string& key, const std::string& value) {
    p.PutText(kSection, key, value);
  };
  text("Device Serial", "FT5XK2Q9");
  for (int m = 0; m < kModeCount; ++m) {
    const std::string mm = "M" + FormatInt(m);
    for (int c = 0; c < kChannelCount; ++c) {
      const std::string ch = mm + "_Ch" + FormatInt(c);
      put(ch + " Enable", (m + c) % 2);
      text(ch + " Scale", FormatInt(m + 1) + "." + FormatInt(c + 1));
      text(ch + " Offset", c == 3 ? "1FH" : "-" + FormatInt(10 * m + c));
      put(ch + " Unsigned", (m * c + 1) % 2);
    }
    text(mm + "_YAxis Min", "-" + FormatInt(20 + m));
    text(mm + "_YAxis Max", m == 1 ? "0x64" : FormatInt(200 + m));
    put(mm + " Trigger Ch", 3 - m);
    text(mm + " Trigger Level", FormatInt(5 + m) + ".25");
    put(mm + "_Lable Enable", m % 2);
    text(mm + "_Lable Value", m == 0 ? "2.5" : FormatGeneral(0.125 * (m + 1)));
    for (int b = 0; b < kOptionBitCount; ++b) put(mm + "_BIT" + FormatInt(b), (m + b) % 2);
  }
  for (int i = 0; i < kGraphColorCount; ++i) put("Graph Color" + FormatInt(i), 0x102030 + i);
  put("Time Index", 9);
  put("Y Division", 2);
  put("Auto", 0);
  put("Trigger Use", 1);
  put("Trigger Stop", 1);
  put("Trigger Only", 1);
  put("Trigger Mode", 0);
  put("Select Signal", 2);
  put("Channel Config Enable", 1);
  put("Cursor Enable", 1);
  put("Graph Color Reverse", 1);
  put("Real Save Enable", 1);
  put("Real Save Index", 13);
  text("Real Save File Path", "/home/user/로그 1.txt");
  put("Peak Detect", 1);
  return p;
}

TEST(SettingsPersistence, EveryKeySurvivesARoundTrip) {
  const MemoryProfile stored = DistinctProfile();
  ASSERT_EQ(stored.KeyCount(kSection), kSettingsKeyCount);

  ScopeSettings s;
  std::string serial;
  FakeControlPanel panel;
  LoadSettings(stored, s, serial, panel);

  EXPECT_EQ(serial, "FT5XK2Q9");
  EXPECT_EQ(s.operationMode, 2);
  EXPECT_EQ(s.scale[1][2], 2.3);
  EXPECT_EQ(s.offset[2][3], 31.0);
  EXPECT_EQ(s.offsetText[2][3], "1FH");
  EXPECT_EQ(s.yMax[1], 100.0);
  EXPECT_EQ(s.triggerLevel[3], 8.25);
  EXPECT_EQ(s.axisScaleFactor[0], 2.5);
  EXPECT_EQ(s.graphColor[5], 0x102035U);
  EXPECT_EQ(s.liveColors[5], 0x102035U);
  EXPECT_EQ(s.timePerDivision, 1000);
  // Derived values follow the loaded mode (CAN: -22 .. 202, level 7.25).
  EXPECT_DOUBLE_EQ(s.mapping.pixelsPerUnit, 400.0 / 224.0);
  EXPECT_EQ(s.triggerRow, ValueToRow(s.mapping, 7.25));
  EXPECT_EQ(panel.Text(ctl::OffsetEdit[3]), "1FH");
  EXPECT_EQ(panel.Text(ctl::YMaxEdit), "202");

  ShowAsWindowDoes(panel, s);
  RecordingProfile saved;
  RecordingAxisLabels labels;
  SaveSettings(saved, s, serial, panel, labels);
  ExpectTableOrder(saved.calls, /*write=*/true);

  for (const SettingsKey& key : SettingsKeyTable()) {
    if (key.kind == SettingsKeyKind::Int) {
      EXPECT_EQ(saved.store.StoredInt(kSection, key.name), stored.StoredInt(kSection, key.name)) << key.name;
    } else {
      EXPECT_EQ(saved.store.StoredText(kSection, key.name), stored.StoredText(kSection, key.name))
          << key.name;
    }
  }
}

TEST(LoadSettings, UnreadableNumericTextsTakeTheirFallbackAndDefaultText) {
  MemoryProfile stored;
  stored.PutText(kSection, "M0_Ch0 Scale", "xyz");
  stored.PutText(kSection, "M0_Ch1 Scale", "");
  stored.PutText(kSection, "M0_Ch2 Offset", "1.2.3");
  stored.PutText(kSection, "M0_YAxis Min", "--5");
  stored.PutText(kSection, "M2_YAxis Max", " 50");  // not stripped: white space is not a number
  stored.PutText(kSection, "M3 Trigger Level", "ten");
  stored.PutText(kSection, "M1_YAxis Max", "0x64");
  stored.PutText(kSection, "M1_Ch3 Scale", "abc");

  ScopeSettings s;
  std::string serial;
  FakeControlPanel panel;
  LoadSettings(stored, s, serial, panel);

  EXPECT_EQ(s.scale[0][0], 1.0);
  EXPECT_EQ(s.scaleText[0][0], "1");
  EXPECT_EQ(s.scale[0][1], 1.0);
  EXPECT_EQ(s.scaleText[0][1], "1");
  EXPECT_EQ(s.offset[0][2], 0.0);
  EXPECT_EQ(s.offsetText[0][2], "0");
  EXPECT_EQ(s.yMin[0], 0.0);
  EXPECT_EQ(s.yMinText[0], "0");
  EXPECT_EQ(s.yMax[2], 100.0);
  EXPECT_EQ(s.yMaxText[2], "100");
  EXPECT_EQ(s.triggerLevel[3], 10.0);
  EXPECT_EQ(s.triggerLevelText[3], "10");
  EXPECT_EQ(panel.Text(ctl::ScaleEdit[0]), "1");

  // Hexadecimal entries are numbers: their value is taken and their text
  // kept. Letters that are all hex digits count, with or without a marker.
  EXPECT_EQ(s.yMax[1], 100.0);
  EXPECT_EQ(s.yMaxText[1], "0x64");
  EXPECT_EQ(s.scale[1][3], 2748.0);
  EXPECT_EQ(s.scaleText[1][3], "abc");
}

TEST(SettingsPersistence, SecondaryFactorIsReadAsDecimalAndWrittenWithG) {
  MemoryProfile stored;
  stored.PutText(kSection, "M0_Lable Value", "2.5");
  stored.PutText(kSection, "M1_Lable Value", "1e3");
  stored.PutText(kSection, "M2_Lable Value", "3.5 volts");
  stored.PutText(kSection, "M3_Lable Value", "abc");

  ScopeSettings s;
  std::string serial;
  FakeControlPanel panel;
  LoadSettings(stored, s, serial, panel);
  EXPECT_EQ(s.axisScaleFactor[0], 2.5);
  EXPECT_EQ(s.axisScaleFactor[1], 1000.0);
  EXPECT_EQ(s.axisScaleFactor[2], 3.5);
  EXPECT_EQ(s.axisScaleFactor[3], 0.0);

  ShowAsWindowDoes(panel, s);
  MemoryProfile saved;
  RecordingAxisLabels labels;
  SaveSettings(saved, s, serial, panel, labels);
  EXPECT_EQ(saved.StoredText(kSection, "M0_Lable Value"), "2.5");
  EXPECT_EQ(saved.StoredText(kSection, "M1_Lable Value"), "1000");
  EXPECT_EQ(saved.StoredText(kSection, "M2_Lable Value"), "3.5");
  EXPECT_EQ(saved.StoredText(kSection, "M3_Lable Value"), "0");
}

TEST(SaveSettings, CapturesValuesTypedButNeverApplied) {
  MemoryProfile empty;
  ScopeSettings s;
  std::string serial;
  FakeControlPanel panel;
  LoadSettings(empty, s, serial, panel);
  ShowAsWindowDoes(panel, s);

  panel.texts[ctl::ScaleEdit[0]] = " 0x10 ";
  panel.texts[ctl::OffsetEdit[1]] = "1FH";
  panel.texts[ctl::YMinEdit] = "-50";
  panel.texts[ctl::TriggerLevelEdit] = "200";  // above Y Max: clamped before saving
  panel.texts[ctl::AxisScaleEdit] = "0.5";
  panel.checks[ctl::AxisScaleCheck] = true;
  panel.checks[ctl::ChannelEnable[2]] = false;
  panel.checks[ctl::UnsignedCheck[3]] = false;
  panel.checks[ctl::OptionCheck[1]] = true;
  panel.selections[ctl::TimeList] = 7;
  panel.selections[ctl::TriggerSlopeList] = 0;
  panel.colors[ctl::GraphColorButton[4]] = 0x00ABCDEF;

  MemoryProfile saved;
  RecordingAxisLabels labels;
  SaveSettings(saved, s, "FT0001", panel, labels);

  EXPECT_EQ(saved.StoredText(kSection, "Device Serial"), "FT0001");
  EXPECT_EQ(saved.StoredText(kSection, "M0_Ch0 Scale"), "0x10");
  EXPECT_EQ(saved.StoredText(kSection, "M0_Ch1 Offset"), "1FH");
  EXPECT_EQ(saved.StoredText(kSection, "M0_YAxis Min"), "-50");
  EXPECT_EQ(saved.StoredText(kSection, "M0 Trigger Level"), "100.0000");
  EXPECT_EQ(saved.StoredText(kSection, "M0_Lable Value"), "0.5");
  EXPECT_EQ(saved.StoredInt(kSection, "M0_Lable Enable"), 1);
  EXPECT_EQ(saved.StoredInt(kSection, "M0_Ch2 Enable"), 0);
  EXPECT_EQ(saved.StoredInt(kSection, "M0_Ch3 Unsigned"), 0);
  EXPECT_EQ(saved.StoredInt(kSection, "M0_BIT1"), 1);
  EXPECT_EQ(saved.StoredInt(kSection, "Time Index"), 7);
  EXPECT_EQ(saved.StoredInt(kSection, "Trigger Mode"), 0);
  EXPECT_EQ(saved.StoredInt(kSection, "Graph Color4"), 0x00ABCDEF);
  // The other modes keep what they had.
  EXPECT_EQ(saved.StoredText(kSection, "M1_Ch0 Scale"), "1");
  EXPECT_EQ(saved.StoredInt(kSection, "M1_BIT1"), 0);
}

TEST(LoadSettings, HostileValuesLoadInsideEveryRange) {
  MemoryProfile stored;
  stored.PutInt(kSection, "Select Signal", 7);
  stored.PutInt(kSection, "Time Index", -5);
  stored.PutInt(kSection, "Y Division", 1000);
  stored.PutInt(kSection, "Trigger Mode", -1);
  stored.PutInt(kSection, "Real Save Index", 99);
  stored.PutInt(kSection, "M0 Trigger Ch", -3);
  stored.PutInt(kSection, "M1 Trigger Ch", 4);
  stored.PutInt(kSection, "M2 Trigger Ch", 1 << 30);
  stored.PutInt(kSection, "M0_Ch1 Enable", 7);
  stored.PutInt(kSection, "M2_Ch2 Unsigned", -1);
  stored.PutInt(kSection, "M1_BIT2", 0x7FFFFFFF);
  stored.PutInt(kSection, "Auto", -9);
  stored.PutInt(kSection, "Graph Color2", -1);
  const std::string huge(1 << 20, '9');
  stored.PutText(kSection, "M3_Ch0 Scale", huge);                        // current mode: clamped
  stored.PutText(kSection, "M0_Ch0 Offset", std::string(1 << 20, 'Z'));  // not a number
  stored.PutText(kSection, "M3_YAxis Min", "-" + huge);
  stored.PutText(kSection, "M1_Lable Value", "1e999");
  stored.PutText(kSection, "M2_Lable Value", "nan");
  stored.PutText(kSection, "Device Serial", std::string(300, 'S'));

  ScopeSettings s;
  std::string serial;
  FakeControlPanel panel;
  LoadSettings(stored, s, serial, panel);

  EXPECT_EQ(s.operationMode, 3);
  EXPECT_EQ(s.timeIndex, 0);
  EXPECT_EQ(s.timePerDivision, 1);
  EXPECT_EQ(s.yDivision, 2);
  EXPECT_EQ(s.triggerEdge, 0);
  EXPECT_EQ(s.realSaveIndex, 13);
  EXPECT_EQ(s.triggerChannel, (PerMode<int>{0, 3, 3, 0}));
  EXPECT_EQ(s.channelEnable[0][1], 1);
  EXPECT_EQ(s.unsignedSamples[2][2], 1);
  EXPECT_EQ(s.optionBits[1][2], 1);
  EXPECT_EQ(s.autoTrigger, 1);
  EXPECT_EQ(s.graphColor[2], 0x00FFFFFFU);
  EXPECT_EQ(s.liveColors[2], 0x00FFFFFFU);
  EXPECT_EQ(s.scale[3][0], 65535.0);
  EXPECT_EQ(s.scaleText[3][0], "65535");
  EXPECT_EQ(s.yMin[3], -65535.0);
  EXPECT_EQ(s.offsetText[0][0], "0");
  EXPECT_EQ(s.axisScaleFactor[1], 1.0);
  EXPECT_EQ(s.axisScaleFactor[2], 1.0);
  EXPECT_EQ(serial, std::string(15, 'S'));
  EXPECT_GE(s.triggerRow, 0);
  EXPECT_LE(s.triggerRow, kPlotHeight);

  // Every mode can be shown and switched to from what was loaded.
  RecordingAxisLabels labels;
  for (int k : {0, 1, 2, 3, 0}) {
    panel.ShowSettings(s);
    for (int r = 0; r < kModeCount; ++r) panel.checks[ctl::ModeRadio[static_cast<std::size_t>(r)]] = r == k;
    HandleModeRadio(k, false, s, panel, labels);
    EXPECT_EQ(panel.Selection(ctl::TriggerChannelList), s.triggerChannel[static_cast<std::size_t>(k)]);
  }
}

TEST(LimitSerialNumber, FitsTheSixteenByteField) {
  EXPECT_EQ(LimitSerialNumber(""), "");
  EXPECT_EQ(LimitSerialNumber("A5B6C7D8E9F0G1H"), "A5B6C7D8E9F0G1H");
  EXPECT_EQ(LimitSerialNumber("A5B6C7D8E9F0G1H2"), "A5B6C7D8E9F0G1H");
  EXPECT_EQ(LimitSerialNumber(std::string_view("FT12\0junk", 9)), "FT12");
  // A two-byte character across the cut is dropped whole; one ending at the
  // cut is kept.
  EXPECT_EQ(LimitSerialNumber("ABCDEFGHIJKLMN\xC3\xA9"), "ABCDEFGHIJKLMN");
  EXPECT_EQ(LimitSerialNumber("ABCDEFGHIJKLM\xC3\xA9Z"), "ABCDEFGHIJKLM\xC3\xA9");
  EXPECT_EQ(LimitSerialNumber("ABCDEFGHIJKL\xE2\x82\xAC\xE2\x82\xAC"), "ABCDEFGHIJKL\xE2\x82\xAC");

  MemoryProfile saved;
  ScopeSettings s;
  FakeControlPanel panel;
  RecordingAxisLabels labels;
  panel.ShowSettings(s);
  SaveSettings(saved, s, "0123456789ABCDEFXYZ", panel, labels);
  EXPECT_EQ(saved.StoredText(kSection, "Device Serial"), "0123456789ABCDE");
}

TEST(MemoryProfile, KeepsKindsAndConvertsLikeASettingsStore) {
  MemoryProfile p;
  EXPECT_EQ(p.GetInt("S", "missing", 42), 42);
  EXPECT_EQ(p.GetText("S", "missing", "dflt"), "dflt");

  p.PutInt("S", "n", -17);
  p.PutText("S", "t", "123");
  p.PutText("S", "bad", "12x");
  p.PutText("S", "big", "99999999999");
  EXPECT_EQ(p.GetInt("S", "n", 0), -17);
  EXPECT_EQ(p.GetText("S", "n", ""), "-17");
  EXPECT_EQ(p.GetInt("S", "t", 0), 123);
  EXPECT_EQ(p.GetInt("S", "bad", 5), 5);
  EXPECT_EQ(p.GetInt("S", "big", 5), 5);
  EXPECT_EQ(p.StoredInt("S", "t"), std::nullopt);
  EXPECT_EQ(p.StoredText("S", "t"), "123");

  // Sections are separate; writing again replaces value and kind.
  EXPECT_FALSE(p.Contains("Other", "n"));
  p.PutText("S", "n", "x");
  EXPECT_EQ(p.StoredInt("S", "n"), std::nullopt);
  EXPECT_EQ(p.KeyCount("S"), 4U);
  p.Remove("S", "n");
  EXPECT_FALSE(p.Contains("S", "n"));
}

}  // namespace
}  // namespace kestrova
