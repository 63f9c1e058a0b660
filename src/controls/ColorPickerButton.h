#pragma once

#include <QPushButton>
#include <cstdint>
#include <functional>

#include "controls/ColorPalettePopup.h"

namespace kestrova {

// A push button that shows a colour: the trace, trigger-line and cursor
// colour buttons of the main window. The face is a push-button face with a
// drop-down arrow at the right and the colour swatch, framed by a one-pixel
// line in the button-shadow colour and filled with the current colour (left
// unfilled while the button is disabled). Without text the swatch takes the
// whole content area; with text it is a bar of the colour-bar height under
// the text.
// A click with the drop-down style first asks the parent through the
// drop-down notification (a true answer keeps the palette shut), then drops
// the palette down with the current colour selected and takes the colour
// picked there. Only then do the other receivers of clicked() see the click,
// picked or not, so that they read the colour the user chose.
// Colours are 0x00BBGGRR words. User-interface thread only.
class CColorPickerButton : public QPushButton {
  Q_OBJECT

 public:
  // Colour value standing for "the default colour"; SetColor replaces it.
  static constexpr std::uint32_t kDefaultColor = 0xFF000000U;
  // Default colour value meaning "none set".
  static constexpr std::uint32_t kNoColor = CColorPalettePopup::kNoColor;

  // Style bits.
  static constexpr std::uint32_t kStyleDropDown = 0x1U;       // a click drops the palette down
  static constexpr std::uint32_t kStyleDropRight = 0x10000U;  // palette to the right, arrow pointing right

  // Colour bar height after construction.
  static constexpr int kInitialColorBarHeight = 5;

  explicit CColorPickerButton(QWidget* parent = nullptr);

  // The current colour. kDefaultColor becomes the default colour; while no
  // default colour is set it leaves the colour unchanged. Any other value is
  // kept as a 24-bit colour (its top byte cleared). Repaints when redraw is set.
  void SetColor(std::uint32_t color, bool redraw = true);
  [[nodiscard]] std::uint32_t GetColor() const { return color_; }

  // The colour that kDefaultColor and the palette's "Default" entry stand for.
  void SetDefaultColor(std::uint32_t color);
  [[nodiscard]] std::uint32_t GetDefaultColor() const { return defaultColor_; }

  // Height in pixels of the colour bar under a button's text; 0 shows no
  // colour there. Negative heights count as 0.
  void SetColorBarHeight(int height);
  [[nodiscard]] int GetColorBarHeight() const { return colorBarHeight_; }

  // Stores the style bits; repaints when they change and redraw is set.
  void SetStyle(std::uint32_t bits, bool redraw = true);
  [[nodiscard]] std::uint32_t GetStyle() const { return style_; }

  // Face geometry of the released button, in widget pixels: the swatch
  // including its frame (empty when no colour is shown) and the arrow area.
  [[nodiscard]] QRect SwatchRect() const;
  [[nodiscard]] QRect ArrowRect() const;

  // Content shift while the button is held down.
  static constexpr int kPressedOffset = 1;

  // The parent's answer to "the palette is about to drop down": true keeps
  // it shut. Unset, the palette always opens.
  using DropDownNotification = std::function<bool()>;
  void SetDropDownNotification(DropDownNotification notification) { notification_ = std::move(notification); }

  // The dialog behind "Custom..." (the platform colour dialog unless set).
  void SetColorDialog(ColorDialogHook hook) { popup_->SetColorDialog(std::move(hook)); }

  // The palette this button drops down; hidden between uses.
  [[nodiscard]] CColorPalettePopup& Popup() const { return *popup_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  [[nodiscard]] QRect ContentRect() const;
  void DrawArrow(QPainter& painter, const QRect& area) const;
  void OnClicked();

  CColorPalettePopup* popup_;  // owned as a child window
  DropDownNotification notification_;

  std::uint32_t color_ = 0;
  std::uint32_t defaultColor_ = kNoColor;
  std::uint32_t style_ = 0;
  int colorBarHeight_ = kInitialColorBarHeight;
};

}  // namespace kestrova
