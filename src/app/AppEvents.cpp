#include "app/AppEvents.h"

#include <QCoreApplication>

namespace kestrova {

void QtSessionEvents::PostFrameReady() { QCoreApplication::postEvent(&target_, new QEvent(kFrameReadyEvent)); }

void QtSessionEvents::PostLinkLost() { QCoreApplication::postEvent(&target_, new QEvent(kLinkLostEvent)); }

void QtSessionEvents::PostTerminalFrame(std::vector<std::uint8_t> payload) {
  QCoreApplication::postEvent(&target_, new TerminalFrameEvent(std::move(payload)));
}

}  // namespace kestrova
