#pragma once

#include <QLabel>
#include <cstdint>

namespace kestrova {

// A static text with its own text and background colours: the status line,
// the trigger status, the read-outs and the logging status of the main
// window. The background is filled with the background colour (or left to
// the parent with kNoBackground) and the text is drawn over it in the text
// colour, in the control's font and alignment. Colours are 0x00BBGGRR words.
// User-interface thread only.
class CColorStatic : public QLabel {
  Q_OBJECT

 public:
  // Background colour meaning "do not fill".
  static constexpr std::uint32_t kNoBackground = 0xFFFFFFFFU;

  // Starts with the palette's window-text colour on the button-face colour.
  explicit CColorStatic(QWidget* parent = nullptr);

  // Store a colour; repaint when redraw is set.
  void SetTextColor(std::uint32_t color, bool redraw = true);
  void SetBackgroundColor(std::uint32_t color, bool redraw = true);

  [[nodiscard]] std::uint32_t TextColor() const { return textColor_; }
  [[nodiscard]] std::uint32_t BackgroundColor() const { return backgroundColor_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::uint32_t textColor_;
  std::uint32_t backgroundColor_;
};

}  // namespace kestrova
