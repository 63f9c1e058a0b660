#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;
class QWinEventNotifier;

namespace kestrova {

// Turns the requests to end the program that do not come through its window
// into one call on the user-interface thread, so that the program can close
// its window as EXIT does (log closed, unit parked, settings saved) instead
// of dying where it stands:
//
// - On POSIX systems: SIGTERM (a plain kill, the session's end under
//   systemd), SIGINT (Ctrl+C in the terminal that started the program) and
//   SIGHUP (that terminal closing; logind also sends it right after SIGTERM
//   when a session ends). The handler only writes one byte into a pipe, which
//   a socket notifier reads on the user-interface thread. A SIGINT that
//   comes after a first request ends the program at once, as Ctrl+C normally
//   does, in case it is stuck; further SIGTERM and SIGHUP are absorbed.
// - On Windows: the console's control events, for a program started from a
//   console: Ctrl+C and Ctrl+Break as SIGINT above; the console closing,
//   log-off and shutdown hold the system's handler thread (and so the end of
//   the process) until the request has been handled. And the end of the
//   desktop session, which reaches the windows as WM_ENDSESSION: handled
//   before the message is answered, as the system may end the process then.
// - Everywhere: the desktop session ending as Qt reports it (aboutToQuit).
//
// The request is delivered once. One instance at a time in a process; it
// restores the previous signal handlers when destroyed. Created, used and
// destroyed on the user-interface thread; the handler itself runs on
// whichever thread the system picks.
class ShutdownSignals final : public QObject {
  Q_OBJECT

 public:
  explicit ShutdownSignals(std::function<void()> onRequest, QObject* parent = nullptr);
  ShutdownSignals(const ShutdownSignals&) = delete;
  ShutdownSignals& operator=(const ShutdownSignals&) = delete;
  ShutdownSignals(ShutdownSignals&&) = delete;
  ShutdownSignals& operator=(ShutdownSignals&&) = delete;
  ~ShutdownSignals() override;

  // False when the signal (console) handlers could not be installed; the
  // session end is watched all the same.
  [[nodiscard]] bool WatchingSignals() const { return notifier_ != nullptr; }

 private:
  void Deliver();
  void OnSignalPipe();

  std::function<void()> onRequest_;
#ifdef _WIN32
  class SessionEndFilter;
  std::unique_ptr<SessionEndFilter> sessionEnd_;
  QWinEventNotifier* notifier_ = nullptr;
#else
  QSocketNotifier* notifier_ = nullptr;
#endif
  bool delivered_ = false;
};

}  // namespace kestrova
