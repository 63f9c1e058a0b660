#pragma once

namespace kestrova {

// What a key press in the main window does.
enum class KeyAction {
  None,
  RefreshAndApply,
  Start,
  Stop,
  FileSave,
  ScreenSave,
  Measurements,
  PeakDetect,
  OpenCapture
};

struct KeyDecision {
  KeyAction action = KeyAction::None;
  bool passOn = true;  // the key goes on to the focused control
};

// The main window's function keys, decided before any control sees the key:
// Enter and F4 re-read the controls (and apply while running) and are
// consumed, as is Escape, so neither closes the window; F2 starts, F3 stops,
// F5 and F6 save, each only in the state where that is allowed; F7 opens the
// measurement window and F8 turns peak detect on or off, in either state.
// `key` is a Qt::Key value and `modifiers` the Qt::KeyboardModifiers of the
// press.
//
// Ctrl+O opens a capture file for review, only while stopped.
//
// The rules are for plain presses. A press with Shift, Ctrl, Alt or Meta
// held is another chord (Alt+F4 closes windows on most desktops, Ctrl+Enter
// and Shift+F5 mean something else elsewhere): it passes through untouched.
// The keypad flag alone does not count, so keypad Enter is Enter.
KeyDecision FilterKey(int key, int modifiers, bool running);

}  // namespace kestrova
