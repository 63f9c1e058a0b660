#include "app/KeyFilter.h"

#include <Qt>

namespace kestrova {

KeyDecision FilterKey(int key, int modifiers, bool running) {
  constexpr int kChordModifiers =
      Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
  if ((modifiers & kChordModifiers) == Qt::ControlModifier && key == Qt::Key_O)
    return {running ? KeyAction::None : KeyAction::OpenCapture, false};
  if ((modifiers & kChordModifiers) != 0) return {};
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
      return {KeyAction::RefreshAndApply, false};
    case Qt::Key_Escape:
      return {KeyAction::None, false};
    case Qt::Key_F2:
      return {running ? KeyAction::None : KeyAction::Start, true};
    case Qt::Key_F3:
      return {running ? KeyAction::Stop : KeyAction::None, true};
    case Qt::Key_F5:
      return {running ? KeyAction::None : KeyAction::FileSave, true};
    case Qt::Key_F6:
      return {running ? KeyAction::None : KeyAction::ScreenSave, true};
    case Qt::Key_F7:
      return {KeyAction::Measurements, false};
    case Qt::Key_F8:
      return {KeyAction::PeakDetect, false};
    default:
      return {};
  }
}

}  // namespace kestrova
