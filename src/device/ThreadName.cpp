#include "device/ThreadName.h"

#include <algorithm>
#include <string>

#include "device/Win32.h"
#ifndef _WIN32
#include <pthread.h>
#endif
#ifdef __linux__
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace kestrova {

namespace {
// Linux keeps 16 bytes with the terminating NUL.
constexpr std::size_t kMaxThreadNameLength = 15;
}  // namespace

void SetCurrentThreadName(std::string_view name) {
  const std::string cut(name.substr(0, std::min(name.size(), kMaxThreadNameLength)));
#ifdef _WIN32
  // SetThreadDescription exists from Windows 10 1607 on; older systems and
  // older import libraries lack it, so it is looked up at run time.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto* proc = GetProcAddress(kernel, "SetThreadDescription");
  if (proc == nullptr) return;
  const std::wstring wide(cut.begin(), cut.end());  // our names are ASCII
  reinterpret_cast<SetDescription>(reinterpret_cast<void (*)()>(proc))(GetCurrentThread(), wide.c_str());
#elif defined(__APPLE__)
  pthread_setname_np(cut.c_str());
#else
  pthread_setname_np(pthread_self(), cut.c_str());
#endif
}

ThreadPriority RaiseCurrentThreadPriority() {
#ifdef __linux__
  sched_param realTime{};
  realTime.sched_priority = 1;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime) == 0) return ThreadPriority::RealTime;
  // RLIMIT_NICE n lets a process go down to the nice value 20 - n.
  rlimit limit{};
  if (getrlimit(RLIMIT_NICE, &limit) != 0) return ThreadPriority::Unchanged;
  constexpr int kSteps = 10;
  const int floor = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
  const auto thread = static_cast<id_t>(gettid());
  const int current = getpriority(PRIO_PROCESS, thread);
  const int target = std::max(floor, current - kSteps);
  if (target < current && setpriority(PRIO_PROCESS, thread, target) == 0) return ThreadPriority::Niced;
#endif
  return ThreadPriority::Unchanged;
}

}  // namespace kestrova
