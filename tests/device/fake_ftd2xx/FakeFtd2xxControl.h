#pragma once

// Test-side controls of the fake driver library (libftd2xx.so, or
// Ftd2xx.dll on Windows, built in the test tree). The library plays the
// attached devices from a script and logs every driver call with its
// arguments; tests reach these functions by name (dlsym, GetProcAddress) on
// the same loaded library the backend uses.

#include <cstddef>

extern "C" {
// Forgets devices, statuses, queues, replies and the log.
using FakeFtd2xxResetFn = void (*)();
// Attaches a device (listing order = order of attachment).
using FakeFtd2xxAddDeviceFn = void (*)(const char* serial, const char* description);
// Makes every call of the named driver function (e.g. "FT_Read") answer
// `status` instead of working; 0 restores normal behaviour.
using FakeFtd2xxSetStatusFn = void (*)(const char* function, unsigned status);
// Bytes arriving from the unit: queued, then the registered event record is
// signalled as the Linux library does.
using FakeFtd2xxReceiveFn = void (*)(const unsigned char* bytes, std::size_t length);
// When a write equal to `command` arrives, `reply` arrives from the unit.
using FakeFtd2xxReplyToFn = void (*)(const unsigned char* command, std::size_t commandLength,
                                     const unsigned char* reply, std::size_t replyLength);
// The call log, one call per line; copies what fits and answers the length.
using FakeFtd2xxCallLogFn = std::size_t (*)(char* buffer, std::size_t size);
// What FT_GetModemStatus answers from now on (modem status, line status).
using FakeFtd2xxSetModemStatusFn = void (*)(unsigned status);
// How often the registered record was signalled.
using FakeFtd2xxSignalCountFn = int (*)();
}
