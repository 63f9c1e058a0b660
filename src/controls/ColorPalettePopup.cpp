#include "controls/ColorPalettePopup.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QEventLoop>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWindow>
#include <algorithm>

#include "controls/ColorConversion.h"
#include "resources/Translatable.h"

namespace kestrova {

namespace {

constexpr std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return red | (green << 8) | (blue << 16);
}

constexpr int kCellCount = static_cast<int>(CColorPalettePopup::kColumns * CColorPalettePopup::kRows);

bool IsCell(int item) {
  return item >= kFirstCellItem && item <= kLastCellItem;
}

// Which of the three Tab groups an item is in: 0 "Default", 1 the grid,
// 2 "Custom...", -1 none.
int GroupOf(int item) {
  if (item == kDefaultItem) return 0;
  if (IsCell(item)) return 1;
  if (item == kCustomItem) return 2;
  return -1;
}

// A one-pixel 3D edge around `r`: light at the top and left when raised,
// shadow there when sunken.
void DrawEdge(QPainter& painter, const QRect& r, bool raised, const QPalette& palette) {
  const QColor light = palette.color(QPalette::Light);
  const QColor shadow = palette.color(QPalette::Dark);
  painter.setPen(raised ? light : shadow);
  painter.drawLine(r.left(), r.top(), r.right() - 1, r.top());
  painter.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
  painter.setPen(raised ? shadow : light);
  painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
  painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

// A swatch: a one-pixel frame in the button-shadow colour, the colour inside.
void DrawSwatch(QPainter& painter, const QRect& r, std::uint32_t color, const QPalette& palette) {
  painter.setPen(palette.color(QPalette::Dark));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  painter.fillRect(r.adjusted(1, 1, -1, -1), QColorFromColorRef(color));
}

}  // namespace

constexpr std::array<PaletteColor, 40> kPaletteColors = {{
    {KESTROVA_TR_NOOP("Kestrova", "Black"), Rgb(0, 0, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Brown"), Rgb(165, 42, 42)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark Olive Green"), Rgb(0, 64, 64)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark Green"), Rgb(0, 85, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark Teal"), Rgb(0, 0, 94)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark blue"), Rgb(0, 0, 139)},
    {KESTROVA_TR_NOOP("Kestrova", "Indigo"), Rgb(75, 0, 130)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark grey"), Rgb(40, 40, 40)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark red"), Rgb(139, 0, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Orange"), Rgb(255, 104, 32)},
    {KESTROVA_TR_NOOP("Kestrova", "Dark yellow"), Rgb(139, 139, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Green"), Rgb(0, 147, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Teal"), Rgb(56, 142, 142)},
    {KESTROVA_TR_NOOP("Kestrova", "Blue"), Rgb(0, 0, 255)},
    {KESTROVA_TR_NOOP("Kestrova", "Blue-grey"), Rgb(123, 123, 192)},
    {KESTROVA_TR_NOOP("Kestrova", "Grey - 60"), Rgb(102, 102, 102)},
    {KESTROVA_TR_NOOP("Kestrova", "Red"), Rgb(255, 0, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Light orange"), Rgb(255, 173, 91)},
    {KESTROVA_TR_NOOP("Kestrova", "Lime"), Rgb(50, 205, 50)},
    {KESTROVA_TR_NOOP("Kestrova", "Sea green"), Rgb(60, 179, 113)},
    {KESTROVA_TR_NOOP("Kestrova", "Aqua"), Rgb(127, 255, 212)},
    {KESTROVA_TR_NOOP("Kestrova", "Light blue"), Rgb(125, 158, 192)},
    {KESTROVA_TR_NOOP("Kestrova", "Violet"), Rgb(128, 0, 128)},
    {KESTROVA_TR_NOOP("Kestrova", "Grey - 50"), Rgb(127, 127, 127)},
    {KESTROVA_TR_NOOP("Kestrova", "Pink"), Rgb(255, 192, 203)},
    {KESTROVA_TR_NOOP("Kestrova", "Gold"), Rgb(255, 215, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Yellow"), Rgb(255, 255, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Bright green"), Rgb(0, 255, 0)},
    {KESTROVA_TR_NOOP("Kestrova", "Turquoise"), Rgb(64, 224, 208)},
    {KESTROVA_TR_NOOP("Kestrova", "Skyblue"), Rgb(192, 255, 255)},
    {KESTROVA_TR_NOOP("Kestrova", "Plum"), Rgb(72, 0, 72)},
    {KESTROVA_TR_NOOP("Kestrova", "Light grey"), Rgb(192, 192, 192)},
    {KESTROVA_TR_NOOP("Kestrova", "Rose"), Rgb(255, 228, 225)},
    {KESTROVA_TR_NOOP("Kestrova", "Tan"), Rgb(210, 180, 140)},
    {KESTROVA_TR_NOOP("Kestrova", "Light yellow"), Rgb(255, 255, 224)},
    {KESTROVA_TR_NOOP("Kestrova", "Pale green "),
     Rgb(152, 251, 152)},  // the trailing blank is part of the name
    {KESTROVA_TR_NOOP("Kestrova", "Pale turquoise"), Rgb(175, 238, 238)},
    {KESTROVA_TR_NOOP("Kestrova", "Pale blue"), Rgb(104, 131, 139)},
    {KESTROVA_TR_NOOP("Kestrova", "Lavender"), Rgb(230, 230, 250)},
    {KESTROVA_TR_NOOP("Kestrova", "White"), Rgb(255, 255, 255)},
}};

static_assert(kCellCount == static_cast<int>(kPaletteColors.size()));
static_assert(kLastCellItem == kCellCount && kCustomItem == kCellCount + 1);

int PaletteKeyStep(int hot, int key, bool shift, int selected) {
  if (hot < kNoItem || hot > kCustomItem) hot = kNoItem;
  constexpr int columns = CColorPalettePopup::kColumns;
  switch (key) {
    case Qt::Key_Right:
      return (hot == kNoItem || hot == kCustomItem) ? kDefaultItem : hot + 1;
    case Qt::Key_Left:
      return (hot == kNoItem || hot == kDefaultItem) ? kCustomItem : hot - 1;
    case Qt::Key_Up:
      if (hot == kNoItem || hot == kDefaultItem) return kCustomItem;
      if (hot == kCustomItem) return kLastCellItem;
      return hot <= columns ? kDefaultItem : hot - columns;
    case Qt::Key_Down:
      if (hot == kNoItem || hot == kCustomItem) return kDefaultItem;
      if (hot == kDefaultItem) return kFirstCellItem;
      return hot > kLastCellItem - columns ? kCustomItem : hot + columns;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
      const bool back = shift || key == Qt::Key_Backtab;
      const int gridEntry = IsCell(selected) ? selected : kFirstCellItem;
      constexpr int groups = 3;
      const int group = GroupOf(hot);
      int next = 0;
      if (group < 0) {
        next = back ? 2 : 0;
      } else {
        next = (group + (back ? groups - 1 : 1)) % groups;
      }
      if (next == 0) return kDefaultItem;
      return next == 1 ? gridEntry : kCustomItem;
    }
    default:
      return hot;
  }
}

std::optional<QPoint> PlacePalettePopup(const QRect& button, const QSize& size, const QRect& workArea,
                                        bool toRight) {
  QPoint place;
  if (toRight) {
    place = {button.right() + 1, button.top()};
    if (place.x() + size.width() - 1 > workArea.right()) {
      place.setX(button.left() - size.width());
      if (place.x() < workArea.left()) return std::nullopt;
    }
  } else {
    place = {button.left(), button.bottom() + 1};
    if (place.y() + size.height() - 1 > workArea.bottom()) {
      place.setY(button.top() - size.height());
      if (place.y() < workArea.top()) return std::nullopt;
    }
  }
  // Back inside the work area, the left and top edges winning.
  place.setX(std::max(std::min(place.x(), workArea.right() - size.width() + 1), workArea.left()));
  place.setY(std::max(std::min(place.y(), workArea.bottom() - size.height() + 1), workArea.top()));
  return place;
}

std::optional<std::uint32_t> AskColorWithDialog(QWidget* owner, std::uint32_t initial) {
  // The dialog always shows its custom-colour part; no alpha channel.
  const QColor chosen = QColorDialog::getColor(QColorFromColorRef(initial), owner);
  if (!chosen.isValid()) return std::nullopt;
  return ColorRefFromQColor(chosen);
}

CColorPalettePopup::CColorPalettePopup(QWidget* owner) : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("ColorPalettePopup"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  // A press outside is passed on by Run itself, once, after the popup is hidden.
  setAttribute(Qt::WA_NoMouseReplay);
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
  setFont(QApplication::font("QMessageBox"));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  hoverTimer_.setInterval(kHoverTickMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &CColorPalettePopup::OnHoverTick);
  resize(sizeHint());
}

CColorPalettePopup::~CColorPalettePopup() {
  if (loop_ != nullptr) loop_->exit();
}

void CColorPalettePopup::SetDefaultColor(std::uint32_t color) {
  defaultColor_ = color == kNoColor ? kNoColor : (color & 0x00FFFFFFU);
  update();
}

int CColorPalettePopup::EntryHeight() const {
  return fontMetrics().height() + 8;
}

QSize CColorPalettePopup::sizeHint() const {
  const int width = kFrameWidth + kMarginLeft + kColumns * kCellSize + kMarginRight + kFrameWidth;
  const int height = kFrameWidth + kMarginTop + EntryHeight() + kEntryGap + kRows * kCellSize + kEntryGap +
                     EntryHeight() + kMarginBottom + kFrameWidth;
  return {width, height};
}

QRect CColorPalettePopup::ItemRect(int item) const {
  const int left = kFrameWidth + kMarginLeft;
  const int width = kColumns * kCellSize;
  const int gridTop = kFrameWidth + kMarginTop + EntryHeight() + kEntryGap;
  if (item == kDefaultItem) return {left, kFrameWidth + kMarginTop, width, EntryHeight()};
  if (item == kCustomItem) return {left, gridTop + kRows * kCellSize + kEntryGap, width, EntryHeight()};
  if (!IsCell(item)) return {};
  const int index = item - kFirstCellItem;
  return {left + (index % kColumns) * kCellSize, gridTop + (index / kColumns) * kCellSize, kCellSize,
          kCellSize};
}

int CColorPalettePopup::ItemAt(const QPoint& point) const {
  for (int item = kDefaultItem; item <= kCustomItem; ++item) {
    if (ItemRect(item).contains(point)) return item;
  }
  return kNoItem;
}

QString CColorPalettePopup::ItemText(int item) {
  // The names in the language the program speaks.
  const auto translated = [](std::string_view name) {
    return QCoreApplication::translate(kTranslationContext, std::string(name).c_str());
  };
  if (item == kDefaultItem) return translated(KESTROVA_TR_NOOP("Kestrova", "Default"));
  if (item == kCustomItem) return translated(KESTROVA_TR_NOOP("Kestrova", "Custom..."));
  if (!IsCell(item)) return {};
  return translated(kPaletteColors[static_cast<std::size_t>(item - kFirstCellItem)].name);
}

std::optional<std::uint32_t> CColorPalettePopup::Run(const QRect& button, bool toRight,
                                                     std::uint32_t selectedColor) {
  if (loop_ != nullptr) return std::nullopt;

  // The selected item is the cell of the current colour, else "Default" when
  // the current colour is the default one.
  selectedColor_ = selectedColor & 0x00FFFFFFU;
  selected_ = kNoItem;
  for (int item = kFirstCellItem; item <= kLastCellItem && selected_ == kNoItem; ++item) {
    if (kPaletteColors[static_cast<std::size_t>(item - kFirstCellItem)].color == selectedColor_)
      selected_ = item;
  }
  if (selected_ == kNoItem && defaultColor_ != kNoColor && defaultColor_ == selectedColor_)
    selected_ = kDefaultItem;
  hot_ = kNoItem;
  hotByMouse_ = false;
  pressed_ = kNoItem;
  outcome_ = Outcome::Open;
  outsidePress_.reset();

  resize(sizeHint());
  const QScreen* screen =
      parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return std::nullopt;
  const std::optional<QPoint> place = PlacePalettePopup(button, size(), screen->availableGeometry(), toRight);
  if (!place) return std::nullopt;
  move(*place);

  // The keyboard focus goes away while the popup is open and comes back after.
  const QPointer<QWidget> focus = QApplication::focusWidget();
  if (focus) focus->clearFocus();

  const QPointer<CColorPalettePopup> self(this);
  QEventLoop loop;
  loop_ = &loop;
  // As a pop-up window it holds the mouse and the keyboard while shown.
  show();
  hoverTimer_.start();
  if (outcome_ == Outcome::Open) loop.exec();
  if (!self) return std::nullopt;  // destroyed with its button while open
  loop_ = nullptr;

  hoverTimer_.stop();
  hide();
  if (focus) focus->setFocus(Qt::PopupFocusReason);
  ReplayPress();
  if (!self) return std::nullopt;

  switch (outcome_) {
    case Outcome::Picked:
      return selectedColor_;
    case Outcome::Custom: {
      const ColorDialogHook& ask = colorDialog_ ? colorDialog_ : ColorDialogHook(&AskColorWithDialog);
      const std::optional<std::uint32_t> chosen = ask(parentWidget(), selectedColor_);
      if (!self || !chosen) return std::nullopt;
      selectedColor_ = *chosen & 0x00FFFFFFU;
      return selectedColor_;
    }
    case Outcome::Open:
    case Outcome::Cancelled:
      break;
  }
  return std::nullopt;
}

void CColorPalettePopup::End(Outcome outcome) {
  if (outcome_ != Outcome::Open) return;
  outcome_ = outcome;
  if (loop_ != nullptr) loop_->exit();
}

void CColorPalettePopup::Pick(int item) {
  if (item == kCustomItem) {
    End(Outcome::Custom);
  } else if (item == kDefaultItem) {
    selected_ = item;
    selectedColor_ = defaultColor_;
    End(Outcome::Picked);
  } else if (IsCell(item)) {
    selected_ = item;
    selectedColor_ = kPaletteColors[static_cast<std::size_t>(item - kFirstCellItem)].color;
    End(Outcome::Picked);
  } else {
    End(Outcome::Cancelled);
  }
}

void CColorPalettePopup::SetHot(int item, bool byMouse) {
  hotByMouse_ = byMouse && item != kNoItem;
  if (item == hot_) return;
  hot_ = item;
  update();
}

void CColorPalettePopup::OnHoverTick() {
  // A pointer that has left every item takes the hot item with it. A hot item
  // chosen with the keys stays, wherever the pointer rests.
  if (!hotByMouse_ || hot_ == kNoItem) return;
  if (ItemAt(mapFromGlobal(QCursor::pos())) == kNoItem) SetHot(kNoItem, false);
}

void CColorPalettePopup::ReplayPress() {
  if (!outsidePress_) return;
  const OutsidePress press = *outsidePress_;
  outsidePress_.reset();
  // Through the target's window, as a press from the window system arrives,
  // so that the release that follows finds the widget that was pressed.
  const QWidget* target = QApplication::widgetAt(press.global.toPoint());
  QWindow* window = target != nullptr ? target->window()->windowHandle() : nullptr;
  if (window == nullptr) return;
  const QPointF local = window->mapFromGlobal(press.global);
  QMouseEvent event(QEvent::MouseButtonPress, local, local, press.global, press.button, press.buttons,
                    press.modifiers);
  QCoreApplication::sendEvent(window, &event);
}

bool CColorPalettePopup::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const int item = ItemAt(help->pos());
    if (item == kNoItem) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), ItemText(item), this, ItemRect(item));
    }
    return true;
  }
  // Tab and Shift+Tab move between the popup's groups, not between widgets.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(static_cast<QKeyEvent*>(event));
      return true;
    }
  }
  return QWidget::event(event);
}

void CColorPalettePopup::mouseMoveEvent(QMouseEvent* event) {
  SetHot(ItemAt(event->position().toPoint()), true);
}

void CColorPalettePopup::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  event->accept();
  if (!rect().contains(point)) {
    outsidePress_ =
        OutsidePress{event->globalPosition(), event->button(), event->buttons(), event->modifiers()};
    End(Outcome::Cancelled);
    return;
  }
  SetHot(ItemAt(point), true);
  pressed_ = hot_;
  update();
}

void CColorPalettePopup::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  const int item = ItemAt(event->position().toPoint());
  pressed_ = kNoItem;
  SetHot(item, true);
  update();
  Pick(item);
}

void CColorPalettePopup::keyPressEvent(QKeyEvent* event) {
  event->accept();  // Escape acts on release; no key leaves the popup
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Pick(hot_);
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      SetHot(PaletteKeyStep(hot_, event->key(), (event->modifiers() & Qt::ShiftModifier) != 0, selected_),
             false);
      return;
    default:
      return;
  }
}

void CColorPalettePopup::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  if (event->isAutoRepeat()) return;
  if (event->key() == Qt::Key_Space) Pick(hot_);
  if (event->key() == Qt::Key_Escape) End(Outcome::Cancelled);
}

void CColorPalettePopup::hideEvent(QHideEvent* event) {
  // Hidden from outside (the mouse or the window taken away): a cancel.
  End(Outcome::Cancelled);
  QWidget::hideEvent(event);
}

void CColorPalettePopup::DrawItem(QPainter& painter, int item) const {
  const QRect r = ItemRect(item);
  const QPalette& colours = palette();
  const bool hot = item == hot_;
  const bool sunken = item == pressed_ || item == selected_;
  if (item == selected_ && !hot)
    painter.fillRect(r.adjusted(1, 1, -1, -1), colours.color(QPalette::Midlight));
  if (sunken || hot) DrawEdge(painter, r, !sunken, colours);

  painter.setPen(colours.color(QPalette::ButtonText));
  if (IsCell(item)) {
    DrawSwatch(painter, r.adjusted(2, 2, -2, -2),
               kPaletteColors[static_cast<std::size_t>(item - kFirstCellItem)].color, colours);
    return;
  }
  QRect textArea = r;
  if (item == kDefaultItem && defaultColor_ != kNoColor) {
    const int side = r.height() - 4;
    const QRect swatch(r.left() + 2, r.top() + 2, side, side);
    DrawSwatch(painter, swatch, defaultColor_, colours);
    textArea.setLeft(swatch.right() + 1);
    painter.setPen(colours.color(QPalette::ButtonText));
  }
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, ItemText(item));
}

void CColorPalettePopup::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.color(QPalette::Button));
  // The dialog frame: a two-pixel raised edge, then a pixel of face colour.
  const QRect outer = rect();
  DrawEdge(painter, outer, true, colours);
  painter.setPen(colours.color(QPalette::Shadow));
  painter.drawLine(outer.left(), outer.bottom(), outer.right(), outer.bottom());
  painter.drawLine(outer.right(), outer.top(), outer.right(), outer.bottom());
  DrawEdge(painter, outer.adjusted(1, 1, -1, -1), true, colours);
  for (int item = kDefaultItem; item <= kCustomItem; ++item) DrawItem(painter, item);
}

}  // namespace kestrova
