#pragma once

#include <QTimer>
#include <functional>
#include <utility>

#include "controls/ColorPalettePopup.h"

namespace kestrova {

// Acts on a palette popup from inside its own event loop: once the popup is
// shown and running, `action` runs (keys, mouse, checks). A popup the action
// leaves open is closed (a cancel), and a popup that never opens within the
// limit is given up on, so that no test hangs in the popup's loop.
class PopupDriver {
 public:
  PopupDriver(CColorPalettePopup& popup, std::function<void(CColorPalettePopup&)> action, int limitMs = 30000)
      : popup_(popup), action_(std::move(action)), remaining_(limitMs) {
    poll_.setInterval(kPollMs);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start();
  }

  [[nodiscard]] bool Opened() const { return opened_; }
  [[nodiscard]] bool LeftOpen() const { return leftOpen_; }

 private:
  static constexpr int kPollMs = 5;

  void Poll() {
    remaining_ -= kPollMs;
    if (!popup_.isVisible() || !popup_.IsRunning()) {
      if (remaining_ <= 0) poll_.stop();
      return;
    }
    poll_.stop();
    opened_ = true;
    action_(popup_);
    if (popup_.IsRunning() && popup_.isVisible()) {
      leftOpen_ = true;
      popup_.close();
    }
  }

  CColorPalettePopup& popup_;
  std::function<void(CColorPalettePopup&)> action_;
  int remaining_;
  QTimer poll_;
  bool opened_ = false;
  bool leftOpen_ = false;
};

}  // namespace kestrova
