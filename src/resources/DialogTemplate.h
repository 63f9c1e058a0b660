#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Dialog templates as data: each dialog is a table of its controls with id,
// class, text, rectangle in dialog units and style, in tab order. The
// application creates the widgets from these tables, so every control keeps
// its id. Texts are UTF-8. Read-only data, safe from any thread.
namespace kestrova::res {

// A rectangle in dialog units (x, y of the top-left corner, width, height).
struct DuRect {
  int x;
  int y;
  int width;
  int height;
};

// What kind of control a row creates.
enum class ControlClass : std::uint8_t {
  PushButton,
  CheckBox,     // automatic check box
  RadioButton,  // automatic radio button; groups begin at style::kGroup
  GroupBox,
  Edit,          // single-line edit
  DropDownList,  // combo box with a drop-down list only (no typing); the rect's
                 // height includes the dropped list
  HScrollBar,
  Static,             // plain text
  ColorStatic,        // text with its own text and background colours
  ColorPickerButton,  // owner-drawn colour button
  Icon,               // the program icon (sized to the icon, not to the rect)
};

// Style bits of a control row.
namespace style {
inline constexpr std::uint32_t kTabStop = 1U << 0;
// Starts a new group: the first radio button of a group, and the first
// control after a group of radio buttons.
inline constexpr std::uint32_t kGroup = 1U << 1;
// Push button: the text may wrap onto two lines. Edit: a multi-line text box.
inline constexpr std::uint32_t kMultiLine = 1U << 2;
inline constexpr std::uint32_t kDefault = 1U << 3;   // the dialog's default push button
inline constexpr std::uint32_t kReadOnly = 1U << 4;  // edit
inline constexpr std::uint32_t kVScroll =
    1U << 5;  // drop-down list or multi-line edit with a vertical scroll bar
inline constexpr std::uint32_t kCenter = 1U << 6;     // static text centred
inline constexpr std::uint32_t kRight = 1U << 7;      // static text right-aligned
inline constexpr std::uint32_t kBlackRect = 1U << 8;  // static drawn as a black rectangle
}  // namespace style

// Frame style bits of a dialog.
namespace frame {
inline constexpr std::uint32_t kSystemMenu = 1U << 0;
inline constexpr std::uint32_t kMinimizeBox = 1U << 1;
inline constexpr std::uint32_t kModalFrame = 1U << 2;
}  // namespace frame

struct ControlTemplate {
  int id;
  ControlClass controlClass;
  std::string_view text;
  DuRect rect;
  std::uint32_t style;
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width;   // client area, dialog units
  int height;  // client area, dialog units
  std::string_view fontFace;
  int fontPointSize;
  std::uint32_t frameStyle;
  std::span<const ControlTemplate> controls;  // in tab order
};

// Resource numbers.
inline constexpr int kAboutDialogId = 100;
inline constexpr int kAboutMenuStringId = 101;
inline constexpr int kPeakDetectMenuStringId = 140;
inline constexpr int kMeasurementMenuStringId = 141;
inline constexpr int kMeasurementTitleStringId = 142;
inline constexpr int kCopyButtonStringId = 143;
inline constexpr int kOpenCaptureMenuStringId = 144;
inline constexpr int kOpenCaptureTitleStringId = 145;
inline constexpr int kMainDialogId = 102;
inline constexpr int kProgramIconId = 128;
inline constexpr int kCommandDialogId = 131;
// System menu command of the about item.
inline constexpr int kAboutCommand = 0x0010;
// The about box's OK button.
inline constexpr int kOkButtonId = 1;

// Template 102: the main window.
const DialogTemplate& MainDialogTemplate();
// Template 100: the about box.
const DialogTemplate& AboutDialogTemplate();
// Template 131: the Custom Command dialog.
const DialogTemplate& CommandDialogTemplate();

// The row of a control, or nullptr when the template has no such id.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// True when no id occurs twice.
constexpr bool IdsAreDistinct(std::span<const ControlTemplate> controls) {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      if (controls[i].id == controls[j].id) return false;
    }
  }
  return true;
}

}  // namespace kestrova::res
