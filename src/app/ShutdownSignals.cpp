#include "app/ShutdownSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <utility>

#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#include <QWinEventNotifier>
#include <memory>

#include "device/Win32.h"
#else
#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>
#endif

namespace kestrova {

static_assert(std::atomic<bool>::is_always_lock_free);

#ifndef _WIN32
static_assert(std::atomic<int>::is_always_lock_free);

namespace {

constexpr std::array<int, 3> kWatchedSignals = {SIGTERM, SIGINT, SIGHUP};

// Shared with the signal handler, which may only touch lock-free atomics.
std::atomic<int> g_pipeWrite{-1};
std::atomic<bool> g_requested{false};

// Owned by the user-interface thread.
int g_pipeRead = -1;
std::array<struct sigaction, kWatchedSignals.size()> g_previous{};

extern "C" void OnShutdownSignal(int signal) {
  // Only async-signal-safe calls here.
  const int savedErrno = errno;
  if (g_requested.exchange(true) && signal == SIGINT) {
    // Ctrl+C again while the first is still being handled: the default
    // action ends the program once this handler returns.
    ::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);
  } else {
    const int fd = g_pipeWrite.load();
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost.
    if (fd >= 0) (void)!::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

bool MakePipe(int& readEnd, int& writeEnd) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  for (const int fd : fds) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 || ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
      ::close(fds[0]);
      ::close(fds[1]);
      return false;
    }
  }
  readEnd = fds[0];
  writeEnd = fds[1];
  return true;
}

}  // namespace

ShutdownSignals::ShutdownSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), onRequest_(std::move(onRequest)) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &ShutdownSignals::Deliver, Qt::DirectConnection);

  int writeEnd = -1;
  if (g_pipeRead >= 0 || !MakePipe(g_pipeRead, writeEnd)) return;
  g_requested = false;
  g_pipeWrite = writeEnd;
  notifier_ = new QSocketNotifier(g_pipeRead, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &ShutdownSignals::OnSignalPipe);

  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  // System calls the signal interrupts on other threads resume by themselves.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
    ::sigaction(kWatchedSignals[i], &action, &g_previous[i]);
}

ShutdownSignals::~ShutdownSignals() {
  if (notifier_ == nullptr) return;
  for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
    ::sigaction(kWatchedSignals[i], &g_previous[i], nullptr);
  delete notifier_;
  ::close(g_pipeWrite.exchange(-1));
  ::close(std::exchange(g_pipeRead, -1));
}

void ShutdownSignals::OnSignalPipe() {
  std::array<char, 64> bytes{};
  while (::read(g_pipeRead, bytes.data(), bytes.size()) > 0) {
  }
  Deliver();
}

#else

namespace {

// Set by the console handler, waited for on the user-interface thread;
// made once and kept for the life of the process, as a handler the system
// has already started may still use them after the watcher is gone.
HANDLE g_wake = nullptr;
HANDLE g_handled = nullptr;
std::atomic<bool> g_requested{false};
std::atomic<bool> g_watching{false};

// How long the system's handler thread holds the process up for the
// program to finish: Windows ends a process this long after the console
// closes (5 s), less a margin.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (!g_watching.load()) return FALSE;
  const bool again = g_requested.exchange(true);
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // Ctrl+C again while the first is still being handled: the default
      // handler ends the program, in case it is stuck.
      if (again) return FALSE;
      ::SetEvent(g_wake);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The process ends when this returns: hold it until the window has
      // closed the log, parked the unit and saved the settings.
      ::SetEvent(g_wake);
      ::WaitForSingleObject(g_handled, kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// The end of the desktop session reaches every top-level window as
// WM_ENDSESSION (after WM_QUERYENDSESSION, which this leaves to Qt); the
// process may be ended as soon as the message is answered, so the request
// is handled before it is.
class ShutdownSignals::SessionEndFilter final : public QAbstractNativeEventFilter {
 public:
  explicit SessionEndFilter(ShutdownSignals& owner) : owner_(owner) {}
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
    if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_ENDSESSION && msg->wParam != FALSE) owner_.Deliver();
    // Qt sees it too (its own end-of-session handling).
    return false;
  }

 private:
  ShutdownSignals& owner_;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent),
      onRequest_(std::move(onRequest)),
      sessionEnd_(std::make_unique<SessionEndFilter>(*this)) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &ShutdownSignals::Deliver, Qt::DirectConnection);
  QCoreApplication::instance()->installNativeEventFilter(sessionEnd_.get());

  if (g_watching.load()) return;  // another instance has the console
  if (g_wake == nullptr) g_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (g_handled == nullptr) g_handled = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_wake == nullptr || g_handled == nullptr) return;
  ::ResetEvent(g_wake);
  ::ResetEvent(g_handled);
  g_requested = false;
  notifier_ = new QWinEventNotifier(g_wake, this);
  connect(notifier_, &QWinEventNotifier::activated, this, &ShutdownSignals::OnSignalPipe);
  g_watching = true;
  if (::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) == FALSE) {
    g_watching = false;
    delete std::exchange(notifier_, nullptr);
  }
}

ShutdownSignals::~ShutdownSignals() {
  if (QCoreApplication::instance() != nullptr)
    QCoreApplication::instance()->removeNativeEventFilter(sessionEnd_.get());
  if (notifier_ == nullptr) return;
  g_watching = false;
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  delete notifier_;
}

void ShutdownSignals::OnSignalPipe() {
  Deliver();
  ::SetEvent(g_handled);
}

#endif

void ShutdownSignals::Deliver() {
  if (delivered_) return;
  delivered_ = true;
  if (onRequest_) onRequest_();
}

}  // namespace kestrova
