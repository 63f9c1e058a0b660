#include "controls/ColorPickerButton.h"

#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

#include "controls/ColorConversion.h"

namespace kestrova {

namespace {

// Inset of the content from the widget's edge: the 3D frame and one pixel.
constexpr int kContentInset = 3;
// The drop-down arrow: its area at the right of the content, and the gap
// between the arrow area and the swatch.
constexpr int kArrowAreaWidth = 9;
constexpr int kArrowGap = 2;
// The triangle: 7 pixels across its base, 4 pixels from base to tip.
constexpr int kArrowBase = 7;
constexpr int kArrowDepth = 4;

}  // namespace

CColorPickerButton::CColorPickerButton(QWidget* parent)
    : QPushButton(parent), popup_(new CColorPalettePopup(this)) {
  // Connected before anyone else can connect: the palette runs first, so
  // every later receiver of the click sees the colour it left.
  connect(this, &QAbstractButton::clicked, this, &CColorPickerButton::OnClicked);
}

void CColorPickerButton::OnClicked() {
  if ((style_ & kStyleDropDown) == 0) return;
  if (notification_ && notification_()) return;
  const QPointer<CColorPickerButton> self(this);
  const std::uint32_t current = color_ == kDefaultColor ? defaultColor_ : color_;
  const std::optional<std::uint32_t> picked =
      popup_->Run(QRect(mapToGlobal(QPoint(0, 0)), size()), (style_ & kStyleDropRight) != 0, current);
  if (!self || !picked || *picked == kNoColor) return;
  SetColor(*picked);
}

void CColorPickerButton::SetColor(std::uint32_t color, bool redraw) {
  if (color == kDefaultColor) {
    if (defaultColor_ == kNoColor) return;
    color = defaultColor_;
  }
  color_ = color & 0x00FFFFFFU;
  if (redraw) update();
}

void CColorPickerButton::SetDefaultColor(std::uint32_t color) {
  defaultColor_ = color == kNoColor ? kNoColor : (color & 0x00FFFFFFU);
  popup_->SetDefaultColor(defaultColor_);
}

void CColorPickerButton::SetColorBarHeight(int height) {
  colorBarHeight_ = std::max(height, 0);
  update();
}

void CColorPickerButton::SetStyle(std::uint32_t bits, bool redraw) {
  const bool changed = bits != style_;
  style_ = bits;
  if (changed && redraw) update();
}

QRect CColorPickerButton::ContentRect() const {
  return rect().adjusted(kContentInset, kContentInset, -kContentInset, -kContentInset);
}

QRect CColorPickerButton::ArrowRect() const {
  const QRect content = ContentRect();
  const int width = std::min(kArrowAreaWidth, std::max(content.width(), 0));
  return {content.right() - width + 1, content.top(), width, content.height()};
}

QRect CColorPickerButton::SwatchRect() const {
  QRect area = ContentRect();
  area.setRight(ArrowRect().left() - kArrowGap - 1);
  if (!text().isEmpty() || !icon().isNull()) {
    if (colorBarHeight_ == 0) return {};
    area.setTop(std::max(area.top(), area.bottom() - colorBarHeight_ + 1));
  }
  return area.isValid() ? area : QRect();
}

void CColorPickerButton::DrawArrow(QPainter& painter, const QRect& area) const {
  const QPoint centre = area.center();
  QPolygon triangle;
  if ((style_ & kStyleDropRight) != 0) {
    const int left = centre.x() - kArrowDepth / 2;
    const int top = centre.y() - kArrowBase / 2;
    triangle << QPoint(left, top) << QPoint(left + kArrowDepth - 1, top + kArrowBase / 2)
             << QPoint(left, top + kArrowBase - 1);
  } else {
    const int left = centre.x() - kArrowBase / 2;
    const int top = centre.y() - kArrowDepth / 2;
    triangle << QPoint(left, top) << QPoint(left + kArrowBase - 1, top)
             << QPoint(left + kArrowBase / 2, top + kArrowDepth - 1);
  }
  const QColor colour =
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
  painter.setPen(colour);
  painter.setBrush(colour);
  painter.drawPolygon(triangle);
}

void CColorPickerButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);
  painter.setRenderHint(QPainter::Antialiasing, false);

  const bool pressed = isDown() || isChecked();
  const QPoint shift = pressed ? QPoint(kPressedOffset, kPressedOffset) : QPoint(0, 0);

  DrawArrow(painter, ArrowRect().translated(shift));

  if (!text().isEmpty() || !icon().isNull()) {
    QRect textArea = ContentRect();
    textArea.setRight(ArrowRect().left() - kArrowGap - 1);
    textArea.setBottom(textArea.bottom() - colorBarHeight_);
    textArea.translate(shift);
    if (!icon().isNull()) {
      icon().paint(&painter, textArea, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    } else {
      painter.setPen(
          palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
      painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    }
  }

  const QRect swatch = SwatchRect().translated(shift);
  if (!swatch.isEmpty()) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    if (isEnabled()) painter.fillRect(swatch.adjusted(1, 1, -1, -1), QColorFromColorRef(color_));
  }

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = ContentRect().adjusted(-1, -1, 1, 1);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

}  // namespace kestrova
