#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <vector>

#include "device/SessionEvents.h"

namespace kestrova {

// The receive thread's notifications as Qt events, numbered like the window
// messages they stand for.
inline const QEvent::Type kFrameReadyEvent = static_cast<QEvent::Type>(WM_FRAME_READY);
inline const QEvent::Type kLinkLostEvent = static_cast<QEvent::Type>(WM_LINK_LOST);
inline const QEvent::Type kTerminalRxEvent = static_cast<QEvent::Type>(WM_TERMINAL_RX);

// A frame for the terminal, carrying its own copy of the payload.
class TerminalFrameEvent : public QEvent {
 public:
  explicit TerminalFrameEvent(std::vector<std::uint8_t> payload)
      : QEvent(kTerminalRxEvent), payload_(std::move(payload)) {}
  [[nodiscard]] const std::vector<std::uint8_t>& Payload() const { return payload_; }

 private:
  std::vector<std::uint8_t> payload_;
};

// Posts the session's notifications to a window. Called on the receive
// thread: posting never blocks. The target must outlive the session's
// receive thread (the window closes the session before it goes away).
class QtSessionEvents : public SessionEvents {
 public:
  explicit QtSessionEvents(QObject& target) : target_(target) {}
  void PostFrameReady() override;
  void PostLinkLost() override;
  void PostTerminalFrame(std::vector<std::uint8_t> payload) override;

 private:
  QObject& target_;
};

}  // namespace kestrova
