#pragma once

namespace kestrova {

// What a key press in the main window does.
enum class KeyAction { None, RefreshAndApply, Start, Stop, FileSave, ScreenSave };

struct KeyDecision {
  KeyAction action = KeyAction::None;
  bool passOn = true;  // the key goes on to the focused control
};

// The main window's function keys, decided before any control sees the key:
// Enter and F4 re-read the controls (and apply while running) and are
// consumed, as is Escape, so neither closes the window; F2 starts, F3 stops,
// F5 and F6 save, each only in the state where that is allowed. `key` is a
// Qt::Key value.
KeyDecision FilterKey(int key, bool running);

}  // namespace kestrova
