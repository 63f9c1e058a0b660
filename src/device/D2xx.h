#pragma once

#include <cstddef>
#include <cstdint>

// Kestrova's own declarations of the USB bridge vendor's D2XX driver API, as
// its published programmer's guide describes it. DWORD, ULONG and FT_STATUS
// are 32 bits wide on every platform.
namespace kestrova::d2xx {

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using UCHAR = std::uint8_t;
using FT_STATUS = ULONG;
using FT_HANDLE = void*;

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;
inline constexpr FT_STATUS FT_NOT_SUPPORTED = 17;

inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000;
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

inline constexpr UCHAR FT_BITS_7 = 7;
inline constexpr UCHAR FT_BITS_8 = 8;
inline constexpr UCHAR FT_STOP_BITS_1 = 0;
inline constexpr UCHAR FT_STOP_BITS_2 = 2;
inline constexpr UCHAR FT_PARITY_NONE = 0;
inline constexpr UCHAR FT_PARITY_SPACE = 4;
inline constexpr USHORT FT_FLOW_NONE = 0;
inline constexpr USHORT FT_FLOW_RTS_CTS = 0x0100;
inline constexpr USHORT FT_FLOW_DTR_DSR = 0x0200;
inline constexpr USHORT FT_FLOW_XON_XOFF = 0x0400;

inline constexpr ULONG FT_PURGE_RX = 1;
inline constexpr ULONG FT_PURGE_TX = 2;

inline constexpr DWORD FT_EVENT_RXCHAR = 1;

// FT_GetModemStatus: the modem status in the low byte, the bridge's line
// status in the next; its overrun bit says bytes were lost in the bridge's
// receive FIFO.
inline constexpr ULONG kLineStatusOverrun = 0x02u << 8;
// FT_SetUSBParameters: transfer sizes are multiples of 64, 64 to 65536.
inline constexpr ULONG kUsbTransferGranule = 64;
inline constexpr ULONG kUsbTransferMax = 65536;

// One entry of the device information list, laid out as the platform lays it
// out: 100 bytes on 32-bit Windows, 104 on 64-bit platforms.
struct FT_DEVICE_LIST_INFO_NODE {
  ULONG Flags;
  ULONG Type;
  ULONG ID;
  DWORD LocId;
  char SerialNumber[16];
  char Description[64];
  FT_HANDLE ftHandle;
};

static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, SerialNumber) == 16);
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, Description) == 32);
static_assert(sizeof(FT_DEVICE_LIST_INFO_NODE) == (sizeof(void*) == 8 ? 104 : 100));

// The unit: the bridge vendor's id and the unit's own product id.
inline constexpr WORD kUnitVendorId = 0x0403;
inline constexpr WORD kUnitProductId = 0x6120;

}  // namespace kestrova::d2xx

// Calling convention of the vendor library's exported functions: WINAPI
// (__stdcall) on Windows, which x86_64 compilers accept and fold into the
// platform's one convention; the C default elsewhere.
#ifdef _WIN32
#define KESTROVA_D2XX_API __stdcall
#else
#define KESTROVA_D2XX_API
#endif
