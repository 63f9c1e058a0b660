#include <array>

#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"
#include "resources/Translatable.h"

namespace kestrova::res {

namespace {

using enum ControlClass;
using style::kBlackRect;
using style::kCenter;
using style::kGroup;
using style::kMultiLine;
using style::kReadOnly;
using style::kRight;
using style::kTabStop;
using style::kVScroll;

constexpr std::uint32_t kRunButton = kTabStop | kMultiLine;
constexpr std::uint32_t kList = kTabStop | kVScroll;

// Rows of the channel table, one per channel.
constexpr int kRow1 = 411;
constexpr int kRow2 = 424;
constexpr int kRow3 = 437;
constexpr int kRow4 = 450;
constexpr int kRowHeight = 12;

// The main window, in tab order. Ids below 2000 are the ones the program
// addresses; group boxes and captions take ids from ResourceIds.h.
constexpr std::array kMainControls = std::to_array<ControlTemplate>({
    // Run bar and display.
    {1000, Static, "", {7, 7, 332, 310}, kBlackRect},
    {1080, HScrollBar, "", {7, 315, 332, 12}, 0},
    {1001, ColorStatic, "", {7, 331, 330, 11}, kCenter},
    {1119, PushButton, "D", {7, 344, 10, 20}, kRunButton | kGroup},
    {1033, PushButton, KESTROVA_TR_NOOP("Kestrova", "Start (F2)"), {21, 344, 49, 20}, kRunButton},
    {1034, PushButton, KESTROVA_TR_NOOP("Kestrova", "Stop (F3)"), {74, 344, 49, 20}, kRunButton},
    {1038, PushButton, KESTROVA_TR_NOOP("Kestrova", "Apply (F4)"), {127, 344, 39, 20}, kRunButton},
    {1039, PushButton, KESTROVA_TR_NOOP("Kestrova", "File Save (F5)"), {169, 344, 56, 20}, kRunButton},
    {1035, PushButton, KESTROVA_TR_NOOP("Kestrova", "Screen Save (F6)"), {228, 344, 66, 20}, kRunButton},
    {1036, PushButton, KESTROVA_TR_NOOP("Kestrova", "EXIT"), {297, 344, 40, 20}, kRunButton},

    // Device bar.
    {id::DeviceGroup, GroupBox, "", {7, 362, 331, 24}, 0},
    {1121, PushButton, KESTROVA_TR_NOOP("Kestrova", "USB Device Search"), {7, 367, 71, 16}, kTabStop},
    {1122, DropDownList, "", {79, 369, 103, 41}, kList},
    {1124, PushButton, KESTROVA_TR_NOOP("Kestrova", "Unit Check"), {186, 367, 45, 16}, kTabStop},
    {1123, Edit, "", {233, 369, 101, 12}, kTabStop | kReadOnly},

    // Channel table.
    {1090, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Data Display Configuration"), {7, 388, 319, 79}, 0},
    {1112, Static, KESTROVA_TR_NOOP("Kestrova", "Channel"), {6, 398, 34, 11}, 0},
    {1091, Static, KESTROVA_TR_NOOP("Kestrova", "Scale"), {43, 398, 26, 11}, 0},
    {1092, Static, KESTROVA_TR_NOOP("Kestrova", "Offset"), {71, 398, 27, 11}, 0},
    {1093, Static, KESTROVA_TR_NOOP("Kestrova", "Unsigned"), {100, 398, 34, 11}, 0},
    {1094, Static, KESTROVA_TR_NOOP("Kestrova", "Color"), {137, 398, 36, 11}, 0},
    {1095, Static, KESTROVA_TR_NOOP("Kestrova", "Disp_data"), {175, 397, 48, 11}, 0},
    {1100, Static, KESTROVA_TR_NOOP("Kestrova", "Ofs_Data"), {226, 398, 50, 11}, 0},
    {1107, Static, KESTROVA_TR_NOOP("Kestrova", "Scale_Data"), {278, 398, 46, 11}, 0},

    {1081, CheckBox, "Ch 1", {12, kRow1, 32, kRowHeight}, kTabStop},
    {1002, Edit, "", {44, kRow1, 25, kRowHeight}, kTabStop},
    {1006, Edit, "", {74, kRow1, 25, kRowHeight}, kTabStop},
    {1010, CheckBox, "", {112, kRow1, 10, kRowHeight}, kTabStop},
    {1014, ColorPickerButton, "", {136, kRow1, 31, kRowHeight}, kTabStop},
    {1018, ColorStatic, "", {175, kRow1, 39, kRowHeight}, 0},
    {1037, ColorStatic, "", {226, kRow1, 39, kRowHeight}, 0},
    {1043, ColorStatic, "", {279, kRow1, 39, kRowHeight}, 0},

    {1082, CheckBox, "Ch 2", {12, kRow2, 32, kRowHeight}, kTabStop},
    {1003, Edit, "", {44, kRow2, 25, kRowHeight}, kTabStop},
    {1007, Edit, "", {74, kRow2, 25, kRowHeight}, kTabStop},
    {1011, CheckBox, "", {112, kRow2, 10, kRowHeight}, kTabStop},
    {1015, ColorPickerButton, "", {136, kRow2, 31, kRowHeight}, kTabStop},
    {1019, ColorStatic, "", {175, kRow2, 39, kRowHeight}, 0},
    {1040, ColorStatic, "", {226, kRow2, 39, kRowHeight}, 0},
    {1044, ColorStatic, "", {279, kRow2, 39, kRowHeight}, 0},

    {1083, CheckBox, "Ch 3", {12, kRow3, 32, kRowHeight}, kTabStop},
    {1004, Edit, "", {44, kRow3, 25, kRowHeight}, kTabStop},
    {1008, Edit, "", {74, kRow3, 25, kRowHeight}, kTabStop},
    {1012, CheckBox, "", {112, kRow3, 10, kRowHeight}, kTabStop},
    {1016, ColorPickerButton, "", {136, kRow3, 31, kRowHeight}, kTabStop},
    {1020, ColorStatic, "", {174, kRow3, 39, kRowHeight}, 0},
    {1041, ColorStatic, "", {226, kRow3, 39, kRowHeight}, 0},
    {1045, ColorStatic, "", {279, kRow3, 39, kRowHeight}, 0},

    {1084, CheckBox, "Ch 4", {12, kRow4, 32, kRowHeight}, kTabStop},
    {1005, Edit, "", {44, kRow4, 25, kRowHeight}, kTabStop},
    {1009, Edit, "", {74, kRow4, 25, kRowHeight}, kTabStop},
    {1013, CheckBox, "", {112, kRow4, 10, kRowHeight}, kTabStop},
    {1017, ColorPickerButton, "", {136, kRow4, 31, kRowHeight}, kTabStop},
    {1021, ColorStatic, "", {175, kRow4, 39, kRowHeight}, 0},
    {1042, ColorStatic, "", {226, kRow4, 39, kRowHeight}, 0},
    {1046, ColorStatic, "", {279, kRow4, 39, kRowHeight}, 0},

    // Operation mode.
    {id::OperationModeGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Operation mode"), {344, 7, 88, 81}, 0},
    {1085, RadioButton, "ADC", {352, 21, 31, 8}, kTabStop | kGroup},
    {1086, RadioButton, "SPI", {393, 21, 31, 8}, 0},
    {1087, RadioButton, "CAN", {352, 35, 31, 8}, 0},
    {1088, RadioButton, "UART", {393, 35, 31, 8}, 0},
    {1101, CheckBox, "B1", {347, 49, 81, 8}, kTabStop | kGroup},
    {1102, CheckBox, "B2", {347, 61, 82, 8}, kTabStop},
    {1103, CheckBox, "B3", {347, 75, 82, 8}, kTabStop},

    // X-Y configuration. The second pair of Y edits sits under the first
    // and is never read.
    {id::XyGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "X-Y configuration"), {344, 93, 88, 77}, 0},
    {id::TimeCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Time"), {350, 106, 24, 8}, 0},
    {1022, DropDownList, "", {376, 104, 49, 70}, kList},
    {id::YDivCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Y Div"), {350, 123, 24, 8}, 0},
    {1047, DropDownList, "", {376, 121, 49, 70}, kList},
    {id::YMinCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Y Min"), {350, 138, 24, 8}, 0},
    {1023, Edit, "", {376, 138, 49, 12}, kTabStop},
    {id::YMaxCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Y Max"), {350, 152, 24, 8}, 0},
    {1024, Edit, "", {376, 152, 49, 12}, kTabStop},
    {id::YMinCaptionUnbound, Static, KESTROVA_TR_NOOP("Kestrova", "Y Min"), {350, 139, 24, 8}, 0},
    {1048, Edit, "", {376, 137, 49, 12}, 0},
    {id::YMaxCaptionUnbound, Static, KESTROVA_TR_NOOP("Kestrova", "Y Max"), {350, 153, 24, 8}, 0},
    {1049, Edit, "", {376, 153, 49, 12}, 0},

    // Trigger mode. The three radios carry no text; the captions above them name them.
    {id::TriggerGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Trigger mode"), {344, 173, 88, 104}, 0},
    {id::AutoCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Auto"), {347, 183, 26, 8}, 0},
    {id::NormalCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Normal"), {375, 183, 28, 8}, 0},
    {id::SingleCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Single"), {405, 183, 25, 8}, 0},
    {1089, RadioButton, "", {353, 193, 14, 11}, kTabStop | kGroup},
    {1025, RadioButton, "", {382, 193, 14, 11}, 0},
    {1026, RadioButton, "", {412, 193, 12, 11}, 0},
    {id::TriggerChannelCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Channel"), {351, 209, 29, 8}, kGroup},
    {1027, DropDownList, "", {382, 207, 44, 60}, kList},
    {id::LevelCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Level"), {351, 225, 29, 8}, 0},
    {1028, Edit, "", {382, 226, 44, 12}, kTabStop},
    {id::SlopeCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Mode"), {351, 245, 29, 8}, 0},
    {1029, DropDownList, "", {382, 245, 44, 42}, kList},
    {1030, ColorStatic, "", {349, 263, 76, 9}, kCenter},

    // Y-axis scale.
    {id::AxisScaleGroup, GroupBox, KESTROVA_TR_NOOP("Kestrova", "Y-axis scale"), {344, 279, 88, 28}, 0},
    {1097, CheckBox, "", {349, 291, 12, 14}, kTabStop},
    {1098, Edit, "", {360, 291, 66, 13}, kTabStop},

    // Cursor and colours.
    {id::CursorGroup, GroupBox, "", {344, 305, 88, 47}, 0},
    {1099, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Show Cursor"), {349, 313, 74, 10}, kTabStop},
    {id::TriggerColorCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Trigger"), {349, 329, 29, 8}, 0},
    {1031, ColorPickerButton, "", {379, 329, 46, 9}, kTabStop},
    {id::CursorColorCaption, Static, KESTROVA_TR_NOOP("Kestrova", "Cursor"), {349, 339, 29, 8}, 0},
    {1032, ColorPickerButton, "", {379, 339, 46, 9}, kTabStop},
    {1111, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Graph Color Reverse"), {344, 356, 81, 10}, kTabStop},
    {1096, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Extended Display"), {344, 369, 82, 10}, kTabStop},

    // Real time data save.
    {id::RealSaveGroup,
     GroupBox,
     KESTROVA_TR_NOOP("Kestrova", "Real time data save"),
     {329, 388, 103, 78},
     0},
    {1104, CheckBox, KESTROVA_TR_NOOP("Kestrova", "Enable"), {344, 399, 79, 10}, kTabStop},
    {1109, Static, KESTROVA_TR_NOOP("Kestrova", "Time interval"), {333, 415, 43, 10}, 0},
    {1108, DropDownList, "", {378, 413, 47, 58}, kList},
    {1106, Edit, "", {331, 430, 76, 13}, kTabStop | kReadOnly},
    {1105, PushButton, "...", {409, 430, 16, 13}, kTabStop},
    {1110, ColorStatic, "", {330, 447, 96, 11}, kRight},
});

constexpr DialogTemplate kMainDialog{
    kMainDialogId,
    // The title ends with four blanks and the maker's web address.
    KESTROVA_TR_NOOP("Kestrova", "Kestrova V1.0 ㅡ Orvanta    www.orvanta.example"),
    439,
    481,
    "굴림",
    9,
    frame::kSystemMenu | frame::kMinimizeBox | frame::kModalFrame,
    kMainControls,
};

static_assert(IdsAreDistinct(kMainControls));

}  // namespace

const DialogTemplate& MainDialogTemplate() {
  return kMainDialog;
}

}  // namespace kestrova::res
