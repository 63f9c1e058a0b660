#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <ftdi.h>
#include <libusb.h>

#include "device/DriverApi.h"

namespace kestrova {

// The libftdi1 functions the backend calls, one entry per function with the
// library's own signature. The real library fills it (SystemLibFtdiCalls);
// tests put a fake behind it, so no test ever reaches a USB device. Called
// from the threads DriverApi names and from the backend's reader threads.
struct LibFtdiCalls {
  std::function<ftdi_context*()> ftdi_new;
  std::function<void(ftdi_context*)> ftdi_free;
  std::function<int(ftdi_context*, ftdi_device_list**, int, int)> ftdi_usb_find_all;
  std::function<void(ftdi_device_list**)> ftdi_list_free;
  std::function<int(ftdi_context*, libusb_device*, char*, int, char*, int, char*, int)> ftdi_usb_get_strings;
  std::function<int(ftdi_context*, int, int, const char*, const char*)> ftdi_usb_open_desc;
  std::function<int(ftdi_context*)> ftdi_usb_close;
  std::function<int(ftdi_context*)> ftdi_usb_reset;
  std::function<int(ftdi_context*, unsigned char)> ftdi_set_latency_timer;
  std::function<int(ftdi_context*, int)> ftdi_set_baudrate;
  std::function<int(ftdi_context*, ftdi_bits_type, ftdi_stopbits_type, ftdi_parity_type)>
      ftdi_set_line_property;
  std::function<int(ftdi_context*, int)> ftdi_setflowctrl;
  std::function<int(ftdi_context*, unsigned char, unsigned char)> ftdi_setflowctrl_xonxoff;
  std::function<int(ftdi_context*)> ftdi_tciflush;
  std::function<int(ftdi_context*)> ftdi_tcoflush;
  std::function<int(ftdi_context*)> ftdi_tcioflush;
  std::function<int(ftdi_context*, unsigned int)> ftdi_read_data_set_chunksize;
  std::function<int(ftdi_context*, unsigned char*, int)> ftdi_read_data;
  std::function<int(ftdi_context*, const unsigned char*, int)> ftdi_write_data;
};

// The installed libftdi1.
LibFtdiCalls SystemLibFtdiCalls();

// "libftdi1 1.5", for the start-up line.
std::string LibFtdiVersionText();

// How the backend drives the bridge's bulk-in pipe. One read asks for one
// transfer of kReadChunkSize bytes (8 full-speed packets, 496 data bytes,
// about 5.5 ms of the unit's stream); when the unit is quiet the bridge
// still answers within its latency timer (16 ms unless changed). The read
// time-out only ends a read of a bridge that answers nothing at all, so
// closing a port never waits longer than that for its reader.
struct LibFtdiTuning {
  static constexpr unsigned kReadChunkSize = 512;
  static constexpr int kReadRequestSize = 496;
  static constexpr std::chrono::milliseconds kUsbReadTimeout{50};
  static constexpr std::chrono::milliseconds kUsbWriteTimeout{100};
  // Received bytes the backend holds for the receive thread; beyond this
  // new bytes are dropped (the session purges long before, at 10000).
  static constexpr std::size_t kReceiveRingSize = 65536;
};

// A loader that binds the driver interface to libftdi1 (the open-source FTDI
// library over libusb), mapped call by call:
//  - listing: ftdi_usb_find_all for the unit's vendor and product id, then
//    ftdi_usb_get_strings per device for description and serial number, cut
//    to the record's field sizes;
//  - open by serial number: ftdi_usb_open_desc; close: ftdi_usb_close and
//    ftdi_free;
//  - reset ftdi_usb_reset, latency ftdi_set_latency_timer, divisor
//    ftdi_set_baudrate with the rate the divisor gives on the 3 MHz baud
//    clock, data characteristics ftdi_set_line_property, flow control
//    ftdi_setflowctrl, purge ftdi_tciflush / ftdi_tcoflush / ftdi_tcioflush;
//  - receive: libftdi has no receive count and no event, so registering the
//    receive event starts one reader thread per port that reads the pipe
//    into a bounded ring and sets the event; the status call reports the
//    ring's fill, and read takes from it. A USB error ends the reader; the
//    status call then fails once the ring is drained;
//  - write: ftdi_write_data; a short write fails;
//  - reload: not supported (as the vendor library on Linux).
//
// Threads: as DriverApi says. Listing, open, configuration and close come
// from the user-interface thread; status, read, write and purge from the
// session's receive thread; the reader thread is the backend's own and is
// joined by Close.
std::unique_ptr<DriverLoader> MakeLibFtdiDriverLoader(LibFtdiCalls calls = SystemLibFtdiCalls());

}  // namespace kestrova
