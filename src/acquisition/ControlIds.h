#pragma once

#include <array>

// Control ids of the main window (dialog template 102). Code and tests reach
// every control through these numbers; the window template uses the same ones.
namespace kestrova::ctl {

// Run bar and display.
inline constexpr int Display = 1000;
inline constexpr int HistoryScroll = 1080;
inline constexpr int StatusLine = 1001;
inline constexpr int TerminalButton = 1119;  // "D"
inline constexpr int Start = 1033;
inline constexpr int Stop = 1034;
inline constexpr int Apply = 1038;
inline constexpr int FileSave = 1039;
inline constexpr int ScreenSave = 1035;
inline constexpr int Exit = 1036;

// Device bar.
inline constexpr int DeviceSearch = 1121;
inline constexpr int DeviceList = 1122;
inline constexpr int UnitCheck = 1124;
inline constexpr int UnitReply = 1123;

// Channel table ("Data Display Configuration").
inline constexpr int ChannelGroup = 1090;
inline constexpr int ChannelCaption = 1112;
inline constexpr int ScaleCaption = 1091;
inline constexpr int OffsetCaption = 1092;
inline constexpr int UnsignedCaption = 1093;
inline constexpr int ColorCaption = 1094;
inline constexpr int DispDataCaption = 1095;
inline constexpr int OfsDataCaption = 1100;
inline constexpr int ScaleDataCaption = 1107;

inline constexpr std::array<int, 4> ChannelEnable = {1081, 1082, 1083, 1084};
inline constexpr std::array<int, 4> ScaleEdit = {1002, 1003, 1004, 1005};
inline constexpr std::array<int, 4> OffsetEdit = {1006, 1007, 1008, 1009};
inline constexpr std::array<int, 4> UnsignedCheck = {1010, 1011, 1012, 1013};
inline constexpr std::array<int, 4> TraceColor = {1014, 1015, 1016, 1017};
inline constexpr std::array<int, 4> ValueReadout = {1018, 1019, 1020, 1021};
inline constexpr std::array<int, 4> OffsetReadout = {1037, 1040, 1041, 1042};
inline constexpr std::array<int, 4> ScaledReadout = {1043, 1044, 1045, 1046};

// Operation mode box.
inline constexpr std::array<int, 4> ModeRadio = {1085, 1086, 1087, 1088};
inline constexpr std::array<int, 3> OptionCheck = {1101, 1102, 1103};

// X-Y configuration box.
inline constexpr int TimeList = 1022;
inline constexpr int YDivList = 1047;
inline constexpr int YMinEdit = 1023;
inline constexpr int YMaxEdit = 1024;
inline constexpr int YMinEditUnbound = 1048;
inline constexpr int YMaxEditUnbound = 1049;

// Trigger mode box.
inline constexpr int AutoRadio = 1089;
inline constexpr int NormalRadio = 1025;
inline constexpr int SingleRadio = 1026;
inline constexpr int TriggerChannelList = 1027;
inline constexpr int TriggerLevelEdit = 1028;
inline constexpr int TriggerSlopeList = 1029;
inline constexpr int TriggerStatus = 1030;

// Y-axis scale, cursor and display options.
inline constexpr int AxisScaleCheck = 1097;
inline constexpr int AxisScaleEdit = 1098;
inline constexpr int ShowCursor = 1099;
inline constexpr int TriggerLineColor = 1031;
inline constexpr int CursorColor = 1032;
inline constexpr int ColorReverse = 1111;
inline constexpr int ExtendedDisplay = 1096;

// Real time data save box.
inline constexpr int RealSaveEnable = 1104;
inline constexpr int RealSaveIntervalCaption = 1109;
inline constexpr int RealSaveInterval = 1108;
inline constexpr int RealSavePath = 1106;
inline constexpr int RealSaveBrowse = 1105;
inline constexpr int RealSaveStatus = 1110;

// The six colour buttons in the order of the graph colours: four traces,
// trigger line, cursor.
inline constexpr std::array<int, 6> GraphColorButton = {1014, 1015, 1016, 1017, 1031, 1032};

}  // namespace kestrova::ctl
