#pragma once

namespace kestrova {

// The unit's capture mode; also the index M of every per-mode setting.
enum class OperationMode : int { Adc = 0, Spi = 1, Can = 2, Uart = 3 };

inline constexpr int kModeCount = 4;
inline constexpr int kChannelCount = 4;
inline constexpr int kOptionBitCount = 3;

}  // namespace kestrova
