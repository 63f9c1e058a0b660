#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <ftdi.h>
#include <libusb.h>

#include "device/DriverApi.h"

namespace kestrova {

// The libftdi1 and libusb functions the backend calls, one entry per
// function with the library's own signature. The real libraries fill it
// (SystemLibFtdiCalls); tests put a fake behind it, so no test ever reaches a
// USB device. libftdi does everything on the control pipe and the bulk-out
// pipe; the bulk-in pipe is read with libusb's asynchronous transfers on the
// handle libftdi opened. Called from the threads DriverApi names and from the
// backend's reader threads; libusb runs transfer callbacks inside
// libusb_handle_events_timeout_completed on whichever thread handles events.
struct LibFtdiCalls {
  std::function<ftdi_context*()> ftdi_new;
  std::function<void(ftdi_context*)> ftdi_free;
  std::function<int(ftdi_context*, ftdi_device_list**, int, int)> ftdi_usb_find_all;
  std::function<void(ftdi_device_list**)> ftdi_list_free;
  std::function<int(ftdi_context*, libusb_device*, char*, int, char*, int, char*, int)> ftdi_usb_get_strings;
  std::function<int(ftdi_context*, libusb_device*)> ftdi_usb_open_dev;
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
  std::function<int(ftdi_context*, const unsigned char*, int)> ftdi_write_data;

  std::function<libusb_transfer*(int)> libusb_alloc_transfer;
  std::function<void(libusb_transfer*)> libusb_free_transfer;
  std::function<int(libusb_transfer*)> libusb_submit_transfer;
  std::function<int(libusb_transfer*)> libusb_cancel_transfer;
  std::function<int(libusb_context*, timeval*, int*)> libusb_handle_events_timeout_completed;
  // The clock the backend measures the bridge's silence with.
  std::function<std::chrono::steady_clock::time_point()> steady_now;
};

// The installed libftdi1 and libusb.
LibFtdiCalls SystemLibFtdiCalls();

// "libftdi1 1.5", for the start-up line.
std::string LibFtdiVersionText();

// How the backend drives the bridge. The bridge has a small receive FIFO
// (256 bytes on the smallest chips, 2.8 ms of the unit's stream) and no flow
// control, and the host only polls it while an IN transfer is queued. So the
// backend keeps kInTransfers transfers of kInTransferSize bytes queued at all
// times: 32 x 512 bytes hold 32 x 8 packets of 62 data bytes, 176 ms of the
// stream at the full rate, far more than a reader thread is held off on a
// busy machine (up to 50 ms), while each transfer still completes within
// 5.5 ms of its first byte at the full rate and within the latency timer of
// a frame's last byte. The latency timer (set at open) is the time the chip
// waits before sending a short packet: 4 ms keeps a frame's last byte under
// 5 ms from the bridge to the reader while the quiet bridge answers only 250
// times a second (status bytes only). The chip answers every IN request
// within its latency timer, so kHungAfter without any completed transfer is a
// bridge that stopped answering.
struct LibFtdiTuning {
  static constexpr int kInTransfers = 32;
  static constexpr int kInTransferSize = 512;
  static constexpr unsigned char kLatencyTimerMs = 4;
  static constexpr std::chrono::milliseconds kHungAfter{500};
  // How long registering the receive event waits for the bridge's first
  // answer (longer when the reader was held off meanwhile); a bridge that
  // does not answer then is not opened.
  static constexpr std::chrono::milliseconds kFirstAnswerWait{250};
  // One turn of the reader's event handling; bounds nothing the user waits
  // for (stop cancels the transfers, which ends the turn).
  static constexpr std::chrono::milliseconds kEventTurn{50};
  static constexpr std::chrono::milliseconds kUsbWriteTimeout{100};
  // Received bytes the backend holds for the receive thread, 1.4 s of the
  // stream: more than the session's backlog limit (one second), so the
  // session sees a runaway backlog before this ring fills. Bytes beyond it
  // are dropped and reported like a FIFO overrun.
  static constexpr std::size_t kReceiveRingSize = 131072;
};

// The two status bytes of a transfer's packets: the last packet's modem
// status, and every packet's line status bits together (an overrun in any
// packet is kept).
struct PacketStatus {
  std::uint8_t modem = 0;
  std::uint8_t line = 0;
};

// Appends the data bytes of a bulk-in transfer to `out`: the bridge starts
// every packet of packetSize bytes with two status bytes, which are
// returned.
PacketStatus AppendWithoutStatusBytes(std::span<const unsigned char> transfer, std::size_t packetSize,
                                      std::vector<std::uint8_t>& out);

// A loader that binds the driver interface to libftdi1 (the open-source FTDI
// library over libusb), mapped call by call:
//  - listing: ftdi_usb_find_all for the unit's vendor and product id, then
//    ftdi_usb_get_strings per device for description and serial number, cut
//    to the record's field sizes;
//  - open by serial number: every attached device with the unit's ids is
//    listed and its strings read; the one whose serial number matches is
//    opened with ftdi_usb_open_dev, so a unit held elsewhere on the bus does
//    not stand in the way. The latency timer is set at open. Close:
//    ftdi_usb_close and ftdi_free;
//  - reset ftdi_usb_reset, latency ftdi_set_latency_timer, divisor
//    ftdi_set_baudrate with the rate the divisor gives on the 3 MHz baud
//    clock, data characteristics ftdi_set_line_property, flow control
//    ftdi_setflowctrl, purge ftdi_tciflush / ftdi_tcoflush / ftdi_tcioflush;
//  - receive: libftdi has no receive count and no event, so registering the
//    receive event queues the IN transfers and starts one reader thread per
//    port (LibFtdiPort), which strips the status bytes into a bounded ring
//    and sets the event; the status call reports the ring's fill, and read
//    takes from it. A USB error or a hung bridge ends the reader; the status
//    call then fails once the ring is drained;
//  - modem status: the status bytes of the packets received since the last
//    call (an overrun in any of them is reported once);
//  - USB parameters: checked and accepted; the IN transfers are the
//    backend's own (LibFtdiTuning), already as short as the session asks;
//  - write: ftdi_write_data; a short write fails;
//  - reload: not supported (as the vendor library on Linux).
//
// Threads: as DriverApi says. Listing, open, configuration and close come
// from the user-interface thread; status, read, write and purge from the
// session's receive thread; the reader thread is the backend's own and is
// joined by Close.
std::unique_ptr<DriverLoader> MakeLibFtdiDriverLoader(LibFtdiCalls calls = SystemLibFtdiCalls());

}  // namespace kestrova
