#pragma once

#include <string_view>

namespace kestrova {

// Names the calling thread for debuggers, profilers and /proc (cut to the
// 15 characters Linux keeps). Best effort: a platform without thread names,
// or a failing call, leaves the thread as it was. Any thread, for itself.
void SetCurrentThreadName(std::string_view name);

// How far RaiseCurrentThreadPriority got.
enum class ThreadPriority { Unchanged, Niced, RealTime };

// Lets the calling thread run ahead of the machine's ordinary work, as far
// as the system allows an unprivileged program: on Linux the lowest
// real-time priority (SCHED_FIFO 1) where RLIMIT_RTPRIO (or a capability)
// permits it, else a nice value lower by up to 10 where RLIMIT_NICE permits
// it, else nothing. For a thread that only waits and hands data on, never
// for one that computes. Any thread, for itself.
ThreadPriority RaiseCurrentThreadPriority();

// The names Kestrova gives its own threads.
inline constexpr std::string_view kReceiveThreadName = "kes-receive";
inline constexpr std::string_view kWireThreadName = "kes-sim-wire";
inline constexpr std::string_view kUsbReaderThreadName = "kes-usb-reader";

}  // namespace kestrova
