#pragma once

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "acquisition/ControlIds.h"
#include "app/ScopeDlg.h"

namespace kestrova::test {

// Brings up the window's own menu as a user does, with a right click beside
// the controls, and hands it to `use` once it is up (from a timer: the menu
// runs a loop of its own until it closes). `use` chooses an item or closes
// the menu. False when no menu came up.
inline bool WithWindowMenu(CScopeDlg& dialog, const std::function<void(QMenu&)>& use) {
  bool used = false;
  QTimer picker;
  QObject::connect(&picker, &QTimer::timeout, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu != nullptr && !used) {
      used = true;
      use(*menu);
    }
  });
  picker.start(10);
  const QPoint beside = dialog.Panel().Controls().Find(ctl::StatusLine)->geometry().bottomRight() + QPoint(100, 40);
  QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, Qt::NoModifier, beside);
  return used;
}

// Types `mnemonic` into the window's menu.
inline bool ChooseFromWindowMenu(CScopeDlg& dialog, Qt::Key mnemonic) {
  return WithWindowMenu(dialog, [mnemonic](QMenu& menu) { QTest::keyClick(&menu, mnemonic); });
}

}  // namespace kestrova::test
