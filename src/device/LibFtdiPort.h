#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "device/D2xx.h"
#include "device/Event.h"
#include "device/LibFtdiDriver.h"

namespace kestrova {

// One open unit of the libftdi backend: its libftdi context and, once the
// receive event is registered, the IN transfers kept queued on the bridge's
// bulk-in pipe, the reader thread that handles their completions, and the
// ring of received bytes the session reads from.
//
// Threads: Notify, Shutdown from the user-interface thread; Status,
// ModemStatus, Take from the session's receive thread; Purge from the receive thread (or the
// user-interface thread before Notify). Transfer callbacks run on whichever
// thread libusb handles events on: the reader, or a thread inside a
// synchronous libftdi call (a write, a flush). Every field they touch is
// under mutex_.
class LibFtdiPort {
 public:
  LibFtdiPort(const LibFtdiCalls& calls, ftdi_context* context);
  ~LibFtdiPort();
  LibFtdiPort(const LibFtdiPort&) = delete;
  LibFtdiPort& operator=(const LibFtdiPort&) = delete;

  [[nodiscard]] ftdi_context* Context() const { return context_; }

  // The first call queues the IN transfers, starts the reader and waits for
  // the bridge's first answer (status bytes at least, within its latency
  // timer): a bridge that gives none is not working and the call fails with
  // everything stopped again. Later calls only change the event to set.
  d2xx::FT_STATUS Notify(Event& event);
  // The bytes waiting; a failed pipe (USB error, hung bridge) reports its
  // failure only once every byte received before it has been taken.
  d2xx::FT_STATUS Status(d2xx::DWORD& rxQueue);
  // The last packet's modem status and, in the second byte, the line
  // status bits of every packet since the last call (then cleared).
  d2xx::ULONG ModemStatus();
  // Takes up to buffer.size() waiting bytes.
  d2xx::DWORD Take(std::span<std::uint8_t> buffer);
  // Receive purge: cancels and reaps every queued transfer (their bytes were
  // received before the purge), flushes the chip's receive FIFO, empties the
  // ring and queues the transfers again. Transmit purge: flushes the chip's
  // transmit FIFO only.
  d2xx::FT_STATUS Purge(d2xx::ULONG mask);
  // Cancels every queued transfer, waits until all are reaped and joins the
  // reader: no callback runs after this returns.
  void Shutdown();

 private:
  struct Slot {
    LibFtdiPort* port = nullptr;
    libusb_transfer* transfer = nullptr;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(LibFtdiTuning::kInTransferSize);
    bool queued = false;
  };

  static void OnTransferDone(libusb_transfer* transfer);
  void TransferDone(Slot& slot);
  void ReaderLoop();

  // Under mutex_.
  void SubmitAll();
  void Submit(Slot& slot);
  void CancelAll();
  void Fail();
  void Append(std::span<const std::uint8_t> bytes);
  [[nodiscard]] bool Serving() const { return !stopping_ && !failed_ && purging_ == 0; }

  const LibFtdiCalls& calls_;
  ftdi_context* const context_;
  std::size_t packetSize_;

  std::mutex mutex_;
  std::condition_variable changed_;  // inFlight_ or answered_ changed
  std::vector<std::unique_ptr<Slot>> slots_;
  int inFlight_ = 0;       // transfers submitted and not yet reaped
  int purging_ = 0;        // purges waiting for the transfers to be reaped
  bool stopping_ = false;  // Shutdown has begun
  bool failed_ = false;    // a USB error or a hung bridge ended the reader
  bool answered_ = false;  // some transfer has completed since Notify
  // Notify waits for the first answer until then, and until the reader has
  // handled events past it without one (unansweredPastWait_).
  std::chrono::steady_clock::time_point firstAnswerBy_;
  bool unansweredPastWait_ = false;
  std::chrono::steady_clock::time_point lastAnswer_;
  std::vector<std::uint8_t> ring_ = std::vector<std::uint8_t>(LibFtdiTuning::kReceiveRingSize);
  std::size_t head_ = 0;   // oldest waiting byte
  std::size_t count_ = 0;  // bytes waiting
  std::vector<std::uint8_t> scratch_;
  std::uint8_t modemStatus_ = 0;
  std::uint8_t lineStatusSeen_ = 0;  // line status bits since ModemStatus
  Event* event_ = nullptr;

  std::jthread reader_;
};

}  // namespace kestrova
