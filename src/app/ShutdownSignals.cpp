#include "app/ShutdownSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <utility>

#ifndef _WIN32
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>
#endif

namespace kestrova {

#ifndef _WIN32

namespace {

constexpr std::array<int, 3> kWatchedSignals = {SIGTERM, SIGINT, SIGHUP};

// Shared with the signal handler, which may only touch lock-free atomics.
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
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

// Windows: no console signals for a windowed program; the session's end
// arrives as aboutToQuit.
ShutdownSignals::ShutdownSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), onRequest_(std::move(onRequest)) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &ShutdownSignals::Deliver, Qt::DirectConnection);
}

ShutdownSignals::~ShutdownSignals() = default;

void ShutdownSignals::OnSignalPipe() {}

#endif

void ShutdownSignals::Deliver() {
  if (delivered_) return;
  delivered_ = true;
  if (onRequest_) onRequest_();
}

}  // namespace kestrova
