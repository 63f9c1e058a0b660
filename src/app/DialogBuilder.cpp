#include "app/DialogBuilder.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>
#include <memory>

#include "app/ProgramIcon.h"
#include "app/Translation.h"
#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"

namespace kestrova {

namespace {

// Room left and right of a push button's text.
constexpr int kButtonTextMargin = 4;
// Side of the program icon in the about box.
constexpr int kIconSide = 32;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment StaticAlignment(std::uint32_t style) {
  if ((style & res::style::kCenter) != 0) return Qt::AlignHCenter | Qt::AlignTop;
  if ((style & res::style::kRight) != 0) return Qt::AlignRight | Qt::AlignTop;
  return Qt::AlignLeft | Qt::AlignTop;
}

// Focus: controls with a tab stop take it by tab and by click, other input
// controls by click only, texts and frames never.
void SetFocusPolicy(QWidget& widget, const res::ControlTemplate& control) {
  using enum res::ControlClass;
  const bool tabStop = (control.style & res::style::kTabStop) != 0;
  switch (control.controlClass) {
    case Static:
    case ColorStatic:
    case GroupBox:
    case Icon:
      widget.setFocusPolicy(Qt::NoFocus);
      return;
    case HScrollBar:
      widget.setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
      return;
    default:
      break;
  }
  if (!tabStop) {
    widget.setFocusPolicy(Qt::ClickFocus);
  } else if ((widget.focusPolicy() & Qt::TabFocus) == 0) {
    widget.setFocusPolicy(Qt::StrongFocus);
  }
}

QWidget* CreatePushButton(QDialog& dialog, const res::ControlTemplate& control, const QRect& geometry) {
  auto* button = new QPushButton(&dialog);
  button->setGeometry(geometry);
  button->setProperty(DialogBuilder::kMultiLineProperty, (control.style & res::style::kMultiLine) != 0);
  if ((control.style & res::style::kDefault) != 0) button->setDefault(true);
  SetButtonText(*button, Tr(control.text));
  return button;
}

// A read-only edit shows the dialog's background, as a hint that it cannot be typed into.
void ShowReadOnly(QWidget& edit) {
  QPalette palette = edit.palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  edit.setPalette(palette);
}

QWidget* CreateMultiLineEdit(QDialog& dialog, const res::ControlTemplate& control, const QRect& geometry) {
  auto* edit = new QPlainTextEdit(&dialog);
  edit->setGeometry(geometry);
  edit->setTabChangesFocus(true);
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setVerticalScrollBarPolicy((control.style & res::style::kVScroll) != 0 ? Qt::ScrollBarAlwaysOn
                                                                               : Qt::ScrollBarAlwaysOff);
  if ((control.style & res::style::kReadOnly) != 0) {
    edit->setReadOnly(true);
    ShowReadOnly(*edit);
  }
  return edit;
}

QWidget* CreateEdit(QDialog& dialog, const res::ControlTemplate& control, const QRect& geometry) {
  if ((control.style & res::style::kMultiLine) != 0) return CreateMultiLineEdit(dialog, control, geometry);
  auto* edit = new QLineEdit(&dialog);
  edit->setGeometry(geometry);
  if ((control.style & res::style::kReadOnly) != 0) {
    edit->setReadOnly(true);
    ShowReadOnly(*edit);
  }
  return edit;
}

QWidget* CreateDropDownList(QDialog& dialog, const res::ControlTemplate& control, const QRect& geometry) {
  auto* combo = new QComboBox(&dialog);
  combo->setEditable(false);
  // The template's height includes the dropped list; the closed box is as
  // high as the style wants it, within that height.
  const int closedHeight = std::min(geometry.height(), combo->sizeHint().height());
  combo->setGeometry(geometry.x(), geometry.y(), geometry.width(), closedHeight);
  const int itemHeight = std::max(1, combo->fontMetrics().height());
  combo->setMaxVisibleItems(std::max(1, (geometry.height() - closedHeight) / itemHeight));
  combo->view()->setVerticalScrollBarPolicy(
      (control.style & res::style::kVScroll) != 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  return combo;
}

QWidget* CreateStatic(QDialog& dialog, const res::ControlTemplate& control, const QRect& geometry) {
  if ((control.style & res::style::kBlackRect) != 0) {
    auto* area = new QWidget(&dialog);
    area->setGeometry(geometry);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, Qt::black);
    area->setPalette(palette);
    area->setAutoFillBackground(true);
    return area;
  }
  auto* label = new QLabel(Tr(control.text), &dialog);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(StaticAlignment(control.style));
  label->setGeometry(geometry);
  // A static paints its own background, so a control it covers does not show through.
  label->setAutoFillBackground(true);
  return label;
}

QWidget* CreateControl(QDialog& dialog, const res::ControlTemplate& control) {
  using enum res::ControlClass;
  const QRect geometry = DialogBuilder::ToPixels(control.rect);
  switch (control.controlClass) {
    case PushButton:
      return CreatePushButton(dialog, control, geometry);
    case CheckBox: {
      auto* box = new QCheckBox(Tr(control.text), &dialog);
      box->setGeometry(geometry);
      return box;
    }
    case RadioButton: {
      auto* radio = new QRadioButton(Tr(control.text), &dialog);
      // Exclusivity comes from the template's groups, not from the common parent.
      radio->setAutoExclusive(false);
      radio->setGeometry(geometry);
      return radio;
    }
    case GroupBox: {
      auto* group = new QGroupBox(Tr(control.text), &dialog);
      group->setGeometry(geometry);
      // The frame's top line runs through the middle of the title, as the
      // template's layout expects, whatever the widget style.
      group->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: %1px; }"
                                          "QGroupBox::title { subcontrol-origin: margin;"
                                          " subcontrol-position: top left; left: 6px; padding: 0px 1px; }")
                               .arg(group->fontMetrics().height() / 2));
      // Only a frame: the controls inside it are its siblings and take the mouse.
      group->setAttribute(Qt::WA_TransparentForMouseEvents);
      return group;
    }
    case Edit:
      return CreateEdit(dialog, control, geometry);
    case DropDownList:
      return CreateDropDownList(dialog, control, geometry);
    case HScrollBar: {
      auto* bar = new QScrollBar(Qt::Horizontal, &dialog);
      bar->setRange(0, 0);
      bar->setGeometry(geometry);
      return bar;
    }
    case Static:
      return CreateStatic(dialog, control, geometry);
    case ColorStatic: {
      auto* field = new CColorStatic(&dialog);
      field->setText(Tr(control.text));
      field->setAlignment(StaticAlignment(control.style));
      field->setGeometry(geometry);
      return field;
    }
    case ColorPickerButton: {
      auto* button = new CColorPickerButton(&dialog);
      button->setText(Tr(control.text));
      button->setGeometry(geometry);
      return button;
    }
    case Icon: {
      auto* icon = new QLabel(&dialog);
      icon->setPixmap(ProgramIcon().pixmap(kIconSide, kIconSide));
      icon->setGeometry(geometry.x(), geometry.y(), kIconSide, kIconSide);
      return icon;
    }
  }
  return nullptr;
}

}  // namespace

QWidget* DialogControls::Find(int id) const {
  const auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

QButtonGroup* DialogControls::RadioGroup(int id) const {
  const auto it = radioGroups_.find(id);
  return it == radioGroups_.end() ? nullptr : it->second;
}

QRect DialogBuilder::ToPixels(const res::DuRect& rect) {
  return {XToPixels(rect.x), YToPixels(rect.y), XToPixels(rect.width), YToPixels(rect.height)};
}

void DialogBuilder::InstallFontSubstitutions() {
  // "굴림" where it is installed (Korean Windows; elsewhere Windows has it
  // only with its optional Korean fonts, but Malgun Gothic always); else the
  // first installed of these, all with Korean glyphs.
  const QString family = QStringLiteral("굴림");
  if (!QFont::substitutes(family).isEmpty()) return;
  QFont::insertSubstitutions(
      family, {QStringLiteral("Gulim"), QStringLiteral("Malgun Gothic"), QStringLiteral("NanumGothic"),
               QStringLiteral("Nanum Gothic"), QStringLiteral("Noto Sans CJK KR"), QStringLiteral("UnDotum"),
               QStringLiteral("Baekmuk Gulim")});
}

DialogControls DialogBuilder::Build(QDialog& dialog, const res::DialogTemplate& dialogTemplate) {
  InstallFontSubstitutions();
  // The template's texts are marked texts, shown in the program's language.
  dialog.setWindowTitle(Tr(dialogTemplate.caption));
  Qt::WindowFlags flags =
      Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if ((dialogTemplate.frameStyle & res::frame::kSystemMenu) != 0) flags |= Qt::WindowSystemMenuHint;
  if ((dialogTemplate.frameStyle & res::frame::kMinimizeBox) != 0) flags |= Qt::WindowMinimizeButtonHint;
  dialog.setWindowFlags(flags);
  // Children created below inherit the dialog's font.
  dialog.setFont(QFont(FromUtf8(dialogTemplate.fontFace), dialogTemplate.fontPointSize));
  const QSize clientSize(XToPixels(dialogTemplate.width), YToPixels(dialogTemplate.height));
  if ((dialogTemplate.frameStyle & res::frame::kModalFrame) != 0) {
    dialog.setFixedSize(clientSize);
  } else {
    dialog.resize(clientSize);
  }

  DialogControls controls;
  QButtonGroup* radioGroup = nullptr;
  for (const res::ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = CreateControl(dialog, control);
    if (widget == nullptr) continue;
    widget->setProperty(kIdProperty, control.id);
    widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    SetFocusPolicy(*widget, control);
    controls.ordered_.push_back(widget);
    controls.byId_.emplace(control.id, widget);

    // A group mark ends the radio group before it; a radio button joins the
    // open group or, when none is open, starts one.
    if ((control.style & res::style::kGroup) != 0) radioGroup = nullptr;
    if (control.controlClass == res::ControlClass::RadioButton) {
      if (radioGroup == nullptr) {
        radioGroup = new QButtonGroup(&dialog);
        radioGroup->setExclusive(true);
      }
      radioGroup->addButton(static_cast<QAbstractButton*>(widget), control.id);
      controls.radioGroups_.emplace(control.id, radioGroup);
    }
  }

  // Tab order: the controls that take focus by tab, in template order.
  QWidget* previous = nullptr;
  for (QWidget* widget : controls.ordered_) {
    if ((widget->focusPolicy() & Qt::TabFocus) == 0) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }

  // Stacking: of two overlapping controls the earlier one is on top, so the
  // earlier of two overlapping captions is the one that shows; group boxes
  // stay underneath everything.
  std::for_each(controls.ordered_.rbegin(), controls.ordered_.rend(),
                [](QWidget* widget) { widget->raise(); });
  for (QWidget* widget : controls.ordered_) {
    if (qobject_cast<QGroupBox*>(widget) != nullptr) widget->lower();
  }
  return controls;
}

std::function<QWidget*(int)> DialogBuilder::BuildLookup(QDialog& dialog,
                                                        const res::DialogTemplate& dialogTemplate) {
  auto controls = std::make_shared<const DialogControls>(Build(dialog, dialogTemplate));
  return [controls](int id) { return controls->Find(id); };
}

int ControlIdOf(const QWidget* widget) {
  if (widget == nullptr) return -1;
  bool ok = false;
  const int id = widget->property(DialogBuilder::kIdProperty).toInt(&ok);
  return ok ? id : -1;
}

void SetButtonText(QAbstractButton& button, const QString& text) {
  if (!button.property(DialogBuilder::kMultiLineProperty).toBool()) {
    button.setText(text);
    return;
  }
  const QFontMetrics metrics(button.font());
  const int available = button.width() - 2 * kButtonTextMargin;
  if (metrics.horizontalAdvance(text) <= available) {
    button.setText(text);
    return;
  }
  // The last blank whose first line fits; the first blank when none does.
  qsizetype breakAt = -1;
  for (qsizetype blank = text.indexOf(u' '); blank >= 0; blank = text.indexOf(u' ', blank + 1)) {
    if (breakAt >= 0 && metrics.horizontalAdvance(text.left(blank)) > available) break;
    breakAt = blank;
  }
  if (breakAt < 0) {
    button.setText(text);
    return;
  }
  button.setText(text.left(breakAt) + u'\n' + text.mid(breakAt + 1));
}

QString ButtonText(const QAbstractButton& button) {
  QString text = button.text();
  if (button.property(DialogBuilder::kMultiLineProperty).toBool()) text.replace(u'\n', u' ');
  return text;
}

}  // namespace kestrova
