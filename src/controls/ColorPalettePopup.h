#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class QEventLoop;

namespace kestrova {

// One colour of the palette: its tooltip name and its 0x00BBGGRR word.
struct PaletteColor {
  std::string_view name;
  std::uint32_t color;
};

// The 40 colours of the palette, row by row (4 rows of 10).
extern const std::array<PaletteColor, 40> kPaletteColors;

// Items of the popup: "Default", the colour cells in table order, "Custom...".
inline constexpr int kNoItem = -1;
inline constexpr int kDefaultItem = 0;
inline constexpr int kFirstCellItem = 1;
inline constexpr int kLastCellItem = 40;
inline constexpr int kCustomItem = 41;

// The hot item after a navigation key (arrows, Tab, Shift+Tab or Backtab)
// pressed while `hot` is hot; other keys leave it as it is. Tab enters the
// grid at the selected cell, or at the first cell when no cell is selected.
[[nodiscard]] int PaletteKeyStep(int hot, int key, bool shift, int selected);

// Where a popup of `size` opens beside the button at `button` (global
// pixels): below, left-aligned, else above; with `toRight` to the right,
// top-aligned, else to the left. The place is then moved inside the work
// area. Nothing when it fits on neither side.
[[nodiscard]] std::optional<QPoint> PlacePalettePopup(const QRect& button, const QSize& size,
                                                      const QRect& workArea, bool toRight);

// Answers the "Custom..." entry: a colour dialog owned by `owner` and
// initialised with `initial`; the chosen colour, or nothing when cancelled.
// Colours are 0x00BBGGRR words.
using ColorDialogHook = std::function<std::optional<std::uint32_t>(QWidget* owner, std::uint32_t initial)>;

// The platform colour dialog, fully expanded, any colour allowed.
std::optional<std::uint32_t> AskColorWithDialog(QWidget* owner, std::uint32_t initial);

// The palette that a colour button drops down: "Default" above a grid of 40
// named colours, "Custom..." below. While open it is modal: it holds the
// mouse and the keyboard and runs its own event loop until a colour is
// picked, it is cancelled, or a click outside closes it (that click then goes
// on to the widget under the pointer). User-interface thread only.
class CColorPalettePopup : public QWidget {
  Q_OBJECT

 public:
  // Default colour value meaning "none set".
  static constexpr std::uint32_t kNoColor = 0xFFFFFFFFU;

  // Layout in pixels.
  static constexpr int kColumns = 10;
  static constexpr int kRows = 4;
  static constexpr int kCellSize = 18;
  static constexpr int kMarginLeft = 4;
  static constexpr int kMarginTop = 2;
  static constexpr int kMarginRight = 4;
  static constexpr int kMarginBottom = 2;
  static constexpr int kFrameWidth = 3;  // the dialog frame on every side
  static constexpr int kEntryGap = 2;    // between the grid and each entry
  static constexpr int kHoverTickMs = 200;

  // Hidden until Run; owned by (and a window of) `owner`.
  explicit CColorPalettePopup(QWidget* owner);
  ~CColorPalettePopup() override;

  void SetDefaultColor(std::uint32_t color);
  [[nodiscard]] std::uint32_t DefaultColor() const { return defaultColor_; }
  // Replaces the colour dialog of "Custom..." (AskColorWithDialog unless set).
  void SetColorDialog(ColorDialogHook hook) { colorDialog_ = std::move(hook); }

  // Shows the palette beside `button` (global pixels) with `selectedColor`
  // selected and runs until it ends. Returns the picked colour (kNoColor when
  // "Default" is picked while no default colour is set), or nothing when
  // cancelled or when the popup fits on no side of the button.
  std::optional<std::uint32_t> Run(const QRect& button, bool toRight, std::uint32_t selectedColor);

  // True while open and waiting for a pick or a cancel.
  [[nodiscard]] bool IsRunning() const { return loop_ != nullptr && outcome_ == Outcome::Open; }
  [[nodiscard]] int HotItem() const { return hot_; }
  [[nodiscard]] int PressedItem() const { return pressed_; }
  [[nodiscard]] int SelectedItem() const { return selected_; }
  [[nodiscard]] std::uint32_t SelectedColor() const { return selectedColor_; }

  // The item's rectangle in widget pixels, and the item at a point
  // (kNoItem outside every item).
  [[nodiscard]] QRect ItemRect(int item) const;
  [[nodiscard]] int ItemAt(const QPoint& point) const;
  // Its tooltip: the colour's name, or the entry's text.
  [[nodiscard]] static QString ItemText(int item);

  [[nodiscard]] QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  enum class Outcome { Open, Picked, Cancelled, Custom };

  // Height of the "Default" and "Custom..." entries: text height + 8.
  [[nodiscard]] int EntryHeight() const;
  void SetHot(int item, bool byMouse);
  void Pick(int item);
  void End(Outcome outcome);
  void OnHoverTick();
  void DrawItem(QPainter& painter, int item) const;
  void ReplayPress();

  std::uint32_t defaultColor_ = kNoColor;
  ColorDialogHook colorDialog_;

  int hot_ = kNoItem;
  bool hotByMouse_ = false;
  int pressed_ = kNoItem;
  int selected_ = kNoItem;
  std::uint32_t selectedColor_ = 0;

  Outcome outcome_ = Outcome::Open;
  QEventLoop* loop_ = nullptr;
  QTimer hoverTimer_;

  // The press outside that closed the popup, passed on once it is hidden.
  struct OutsidePress {
    QPointF global;
    Qt::MouseButton button;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
  };
  std::optional<OutsidePress> outsidePress_;
};

}  // namespace kestrova
