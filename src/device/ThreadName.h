#pragma once

#include <string_view>

namespace kestrova {

// Names the calling thread for debuggers, profilers and /proc (cut to the
// 15 characters Linux keeps). Best effort: a platform without thread names,
// or a failing call, leaves the thread as it was. Any thread, for itself.
void SetCurrentThreadName(std::string_view name);

// The names Kestrova gives its own threads.
inline constexpr std::string_view kReceiveThreadName = "kes-receive";
inline constexpr std::string_view kWireThreadName = "kes-sim-wire";
inline constexpr std::string_view kUsbReaderThreadName = "kes-usb-reader";

}  // namespace kestrova
