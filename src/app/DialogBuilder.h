#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "resources/DialogTemplate.h"

class QAbstractButton;
class QButtonGroup;
class QDialog;

namespace kestrova {

// The widgets of one built dialog, by control id and in template order.
// The widgets belong to the dialog; this is only an index and stays valid
// as long as the dialog lives. User-interface thread only.
class DialogControls {
 public:
  // The widget of a control, nullptr when the dialog has no such id.
  [[nodiscard]] QWidget* Find(int id) const;

  // The widget of a control as a given widget class, nullptr when the id is
  // unknown or the widget is of another class.
  template <class Widget>
  [[nodiscard]] Widget* FindAs(int id) const {
    return qobject_cast<Widget*>(Find(id));
  }

  // The exclusive group of a radio button, nullptr for other controls.
  [[nodiscard]] QButtonGroup* RadioGroup(int id) const;

  // Every control widget in template (tab) order.
  [[nodiscard]] const std::vector<QWidget*>& InOrder() const { return ordered_; }

 private:
  friend class DialogBuilder;
  std::unordered_map<int, QWidget*> byId_;
  std::unordered_map<int, QButtonGroup*> radioGroups_;
  std::vector<QWidget*> ordered_;
};

// Creates the child widgets of a dialog from its template. Positions follow
// the template in dialog units with fixed base units (x px = du * 7 / 4,
// y px = du * 12 / 8). Each widget keeps its control id in the dynamic
// property "controlId". User-interface thread only.
class DialogBuilder {
 public:
  // Sets the dialog's title, frame, font and client size and creates every
  // control of the template as a child of the dialog, in template order:
  // radio buttons in exclusive groups as the template's group marks say,
  // the tab order as the template lists the controls, and the earlier of two
  // overlapping controls on top (group boxes always at the bottom).
  static DialogControls Build(QDialog& dialog, const res::DialogTemplate& dialogTemplate);
  // Build for a dialog of another library, which reaches its controls by id
  // only: the lookup keeps the index alive.
  static std::function<QWidget*(int)> BuildLookup(QDialog& dialog, const res::DialogTemplate& dialogTemplate);

  // Dialog units to pixels.
  static int XToPixels(int du) { return du * 7 / 4; }
  static int YToPixels(int du) { return du * 12 / 8; }
  static QRect ToPixels(const res::DuRect& rect);

  // Lets the dialogs' font family, which exists on Windows only, fall back to
  // an installed font that has Korean glyphs. Called by Build; safe to repeat.
  static void InstallFontSubstitutions();

  // Name of the dynamic property that holds a widget's control id.
  static constexpr const char* kIdProperty = "controlId";
  // Name of the dynamic property set on push buttons whose text may wrap.
  static constexpr const char* kMultiLineProperty = "multiLine";
};

// The control id of a widget built from a template, -1 for other widgets.
int ControlIdOf(const QWidget* widget);

// Sets a push button's text. A multi-line button whose text is wider than
// the button is broken onto two lines at the last blank that lets the first
// line fit.
void SetButtonText(QAbstractButton& button, const QString& text);

// A button's text as one line (the line break of a multi-line button read as
// the blank it replaced).
QString ButtonText(const QAbstractButton& button);

}  // namespace kestrova
