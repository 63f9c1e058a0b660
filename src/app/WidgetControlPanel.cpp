#include "app/WidgetControlPanel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"

namespace kestrova {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string WidgetControlPanel::Text(int id) const {
  QWidget* widget = controls_.Find(id);
  if (const auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
  if (const auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
  if (const auto* button = qobject_cast<QAbstractButton*>(widget)) return ButtonText(*button).toStdString();
  if (const auto* group = qobject_cast<QGroupBox*>(widget)) return group->title().toStdString();
  if (const auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText().toStdString();
  return {};
}

void WidgetControlPanel::SetText(int id, std::string_view text) {
  QWidget* widget = controls_.Find(id);
  const QString value = FromUtf8(text);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    SetButtonText(*button, value);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(value);
  }
}

bool WidgetControlPanel::IsChecked(int id) const {
  const auto* button = controls_.FindAs<QAbstractButton>(id);
  return button != nullptr && button->isCheckable() && button->isChecked();
}

void WidgetControlPanel::SetChecked(int id, bool checked) {
  auto* button = controls_.FindAs<QAbstractButton>(id);
  if (button == nullptr || !button->isCheckable() || button->isChecked() == checked) return;
  QButtonGroup* group = controls_.RadioGroup(id);
  if (!checked && group != nullptr && group->exclusive()) {
    // An exclusive group refuses to clear its ticked button; a window may.
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
    return;
  }
  button->setChecked(checked);
}

int WidgetControlPanel::Selection(int id) const {
  const auto* combo = controls_.FindAs<QComboBox>(id);
  return combo == nullptr ? -1 : combo->currentIndex();
}

void WidgetControlPanel::SetSelection(int id, int index) {
  auto* combo = controls_.FindAs<QComboBox>(id);
  if (combo == nullptr) return;
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void WidgetControlPanel::SetEnabled(int id, bool enabled) {
  if (QWidget* widget = controls_.Find(id)) widget->setEnabled(enabled);
}

ColorRef WidgetControlPanel::ButtonColor(int id) const {
  const auto* button = controls_.FindAs<CColorPickerButton>(id);
  return button == nullptr ? 0 : button->GetColor();
}

void WidgetControlPanel::SetListItems(int id, std::span<const std::string_view> items) {
  auto* combo = controls_.FindAs<QComboBox>(id);
  if (combo == nullptr) return;
  combo->clear();
  for (const std::string_view item : items) combo->addItem(FromUtf8(item));
  combo->setCurrentIndex(-1);
}

void WidgetControlPanel::AddListItem(int id, std::string_view item) {
  auto* combo = controls_.FindAs<QComboBox>(id);
  if (combo == nullptr) return;
  const bool wasEmpty = combo->count() == 0;
  combo->addItem(FromUtf8(item));
  // A list gets no selection by being filled.
  if (wasEmpty) combo->setCurrentIndex(-1);
}

void WidgetControlPanel::ClearList(int id) {
  if (auto* combo = controls_.FindAs<QComboBox>(id)) combo->clear();
}

int WidgetControlPanel::ListCount(int id) const {
  const auto* combo = controls_.FindAs<QComboBox>(id);
  return combo == nullptr ? 0 : combo->count();
}

std::string WidgetControlPanel::ListItem(int id, int index) const {
  const auto* combo = controls_.FindAs<QComboBox>(id);
  if (combo == nullptr || index < 0 || index >= combo->count()) return {};
  return combo->itemText(index).toStdString();
}

bool WidgetControlPanel::IsEnabled(int id) const {
  const QWidget* widget = controls_.Find(id);
  return widget != nullptr && widget->isEnabled();
}

void WidgetControlPanel::SetVisible(int id, bool visible) {
  if (QWidget* widget = controls_.Find(id)) widget->setVisible(visible);
}

bool WidgetControlPanel::IsVisible(int id) const {
  const QWidget* widget = controls_.Find(id);
  return widget != nullptr && !widget->isHidden();
}

void WidgetControlPanel::SetFocus(int id) {
  if (QWidget* widget = controls_.Find(id)) widget->setFocus(Qt::OtherFocusReason);
}

CColorStatic* WidgetControlPanel::ColorStatic(int id) const {
  return controls_.FindAs<CColorStatic>(id);
}

CColorPickerButton* WidgetControlPanel::ColorButton(int id) const {
  return controls_.FindAs<CColorPickerButton>(id);
}

}  // namespace kestrova
