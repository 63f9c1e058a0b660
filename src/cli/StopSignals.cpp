#include "cli/StopSignals.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include "device/Win32.h"
#endif

namespace kestrova::cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> g_stopRequested{false};

#ifdef _WIN32

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  // FALSE hands a second request to the default handler, which ends the
  // process.
  return g_stopRequested.exchange(true) ? FALSE : TRUE;
}

#else

extern "C" void OnStopSignal(int signal) {
  if (g_stopRequested.exchange(true)) {
    // Asked again: end now, as the signal normally does.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
}

struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};
struct sigaction g_previousPipe {};

#endif

}  // namespace

StopSignals::StopSignals() {
  g_stopRequested = false;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes the signal interrupts resume by themselves.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &g_previousPipe);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
  sigaction(SIGPIPE, &g_previousPipe, nullptr);
#endif
}

bool StopSignals::Requested() { return g_stopRequested.load(); }

}  // namespace kestrova::cli
