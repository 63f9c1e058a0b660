#include "device/LibFtdiPort.h"

#include <algorithm>
#include <utility>

#include "device/ThreadName.h"

namespace kestrova {

namespace {

using d2xx::DWORD;
using d2xx::FT_OK;
using d2xx::FT_STATUS;

FT_STATUS Result(int code) {
  return code < 0 ? d2xx::FT_IO_ERROR : FT_OK;
}

// libftdi names its endpoints from the chip's side; the one the host reads
// from is the one with the IN direction bit.
unsigned char InEndpoint(const ftdi_context& context) {
  const int endpoint = (context.out_ep & LIBUSB_ENDPOINT_IN) != 0 ? context.out_ep : context.in_ep;
  return static_cast<unsigned char>(endpoint);
}

// 64 bytes at full speed, 512 at high speed; libftdi reads it at open.
std::size_t PacketSize(const ftdi_context& context) {
  const auto size = static_cast<std::size_t>(context.max_packet_size);
  return size > 2 && size <= static_cast<std::size_t>(LibFtdiTuning::kInTransferSize) ? size : 64;
}

}  // namespace

PacketStatus AppendWithoutStatusBytes(std::span<const unsigned char> transfer, std::size_t packetSize,
                                      std::vector<std::uint8_t>& out) {
  constexpr std::size_t kStatusBytes = 2;
  PacketStatus status;
  for (std::size_t offset = 0; offset < transfer.size(); offset += packetSize) {
    const auto packet = transfer.subspan(offset, std::min(packetSize, transfer.size() - offset));
    if (packet.size() >= kStatusBytes) {
      status.modem = packet[0];
      status.line |= packet[1];
    }
    if (packet.size() > kStatusBytes) out.insert(out.end(), packet.begin() + kStatusBytes, packet.end());
  }
  return status;
}

LibFtdiPort::LibFtdiPort(const LibFtdiCalls& calls, ftdi_context* context)
    : calls_(calls), context_(context), packetSize_(PacketSize(*context)) {}

LibFtdiPort::~LibFtdiPort() {
  Shutdown();
}

FT_STATUS LibFtdiPort::Notify(Event& event) {
  std::unique_lock lock(mutex_);
  event_ = &event;
  if (!slots_.empty()) return FT_OK;

  for (int i = 0; i < LibFtdiTuning::kInTransfers; ++i) {
    auto slot = std::make_unique<Slot>();
    slot->port = this;
    slot->transfer = calls_.libusb_alloc_transfer(0);
    if (slot->transfer == nullptr) break;
    libusb_fill_bulk_transfer(slot->transfer, context_->usb_dev, InEndpoint(*context_), slot->buffer.data(),
                              static_cast<int>(slot->buffer.size()), &LibFtdiPort::OnTransferDone, slot.get(),
                              0);
    slots_.push_back(std::move(slot));
  }
  if (slots_.size() == static_cast<std::size_t>(LibFtdiTuning::kInTransfers)) {
    lastAnswer_ = calls_.steady_now();
    firstAnswerBy_ = lastAnswer_ + LibFtdiTuning::kFirstAnswerWait;
    SubmitAll();
  } else {
    failed_ = true;
  }
  // Started even when a submission failed: the transfers that did go out
  // are reaped by it.
  reader_ = std::jthread([this] { ReaderLoop(); });
  // The bridge has missed its chance once the reader has handled events
  // past the time allowed, not merely once that time has passed: a busy
  // machine may hold the reader off longer than the bridge takes.
  changed_.wait(lock, [this] { return answered_ || failed_ || unansweredPastWait_; });
  if (answered_ && !failed_) return FT_OK;
  lock.unlock();
  Shutdown();
  return d2xx::FT_IO_ERROR;
}

FT_STATUS LibFtdiPort::Status(DWORD& rxQueue) {
  const std::lock_guard lock(mutex_);
  rxQueue = static_cast<DWORD>(count_);
  // A failure is told once nothing more can arrive: every byte read and
  // every transfer reaped (one completed before the failure may still
  // hold the unit's last bytes).
  return failed_ && count_ == 0 && inFlight_ == 0 ? d2xx::FT_IO_ERROR : FT_OK;
}

d2xx::ULONG LibFtdiPort::ModemStatus() {
  const std::lock_guard lock(mutex_);
  const d2xx::ULONG status = modemStatus_ | (static_cast<d2xx::ULONG>(lineStatusSeen_) << 8);
  lineStatusSeen_ = 0;
  return status;
}

DWORD LibFtdiPort::Take(std::span<std::uint8_t> buffer) {
  Event* wake = nullptr;
  std::size_t taken = 0;
  {
    // Two block copies at most: the reader waits for this lock in every
    // transfer's completion, so it is held as briefly as can be.
    const std::lock_guard lock(mutex_);
    taken = std::min(buffer.size(), count_);
    const std::size_t first = std::min(taken, ring_.size() - head_);
    std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(head_), first, buffer.begin());
    std::copy_n(ring_.begin(), taken - first, buffer.begin() + static_cast<std::ptrdiff_t>(first));
    head_ = (head_ + taken) % ring_.size();
    count_ -= taken;
    // The reader has stopped on an error and sets nothing more: come back
    // for the status call that reports it.
    if (failed_ && count_ == 0 && inFlight_ == 0) wake = event_;
  }
  if (wake != nullptr) wake->Set();
  return static_cast<DWORD>(taken);
}

FT_STATUS LibFtdiPort::Purge(d2xx::ULONG mask) {
  const bool rx = (mask & d2xx::FT_PURGE_RX) != 0;
  const bool tx = (mask & d2xx::FT_PURGE_TX) != 0;
  if (!rx) return tx ? Result(calls_.ftdi_tcoflush(context_)) : FT_OK;
  {
    // Bytes in a queued transfer left the chip before the purge: reap every
    // transfer before the flush, so none of them reaches the ring after it.
    std::unique_lock lock(mutex_);
    ++purging_;
    CancelAll();
    changed_.wait(lock, [this] { return inFlight_ == 0; });
  }
  const int code = tx ? calls_.ftdi_tcioflush(context_) : calls_.ftdi_tciflush(context_);
  const std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
  --purging_;
  if (Serving() && reader_.joinable()) {
    lastAnswer_ = calls_.steady_now();
    SubmitAll();
  }
  return Result(code);
}

void LibFtdiPort::Shutdown() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    CancelAll();
  }
  // The reader ends once every transfer is reaped.
  if (reader_.joinable()) reader_.join();
  for (const auto& slot : slots_) calls_.libusb_free_transfer(slot->transfer);
  slots_.clear();
}

void LibFtdiPort::OnTransferDone(libusb_transfer* transfer) {
  auto* slot = static_cast<Slot*>(transfer->user_data);
  slot->port->TransferDone(*slot);
}

void LibFtdiPort::TransferDone(Slot& slot) {
  Event* wake = nullptr;
  {
    const std::lock_guard lock(mutex_);
    slot.queued = false;
    --inFlight_;
    const libusb_transfer& transfer = *slot.transfer;
    const auto received =
        std::span(slot.buffer)
            .first(static_cast<std::size_t>(std::clamp(transfer.actual_length, 0, transfer.length)));
    switch (transfer.status) {
      case LIBUSB_TRANSFER_COMPLETED:
        // Status bytes only is a quiet bridge answering: it is alive.
        answered_ = true;
        lastAnswer_ = calls_.steady_now();
        // What it holds is kept after a failure too (another transfer's
        // resubmission found the unit gone): it arrived before.
        if (!stopping_ && purging_ == 0) {
          scratch_.clear();
          const PacketStatus status = AppendWithoutStatusBytes(received, packetSize_, scratch_);
          modemStatus_ = status.modem;
          lineStatusSeen_ |= status.line;
          if (!scratch_.empty()) {
            Append(scratch_);
            wake = event_;
          }
        }
        if (Serving()) Submit(slot);
        break;
      case LIBUSB_TRANSFER_CANCELLED:
        // Purge or close: whatever it holds is dropped. Cancelled by a
        // failure, it keeps the packets that arrived before.
        if (failed_ && !stopping_ && purging_ == 0) {
          scratch_.clear();
          AppendWithoutStatusBytes(received, packetSize_, scratch_);
          Append(scratch_);
          wake = event_;
        }
        break;
      case LIBUSB_TRANSFER_TIMED_OUT:
        // The transfers have no time-out of their own; should one end so,
        // it is no answer, but no failure either.
        if (Serving()) Submit(slot);
        break;
      default:
        // Unplugged or broken: keep what arrived, then fail the pipe.
        if (!stopping_ && purging_ == 0) {
          scratch_.clear();
          AppendWithoutStatusBytes(received, packetSize_, scratch_);
          Append(scratch_);
          if (!failed_) Fail();
          wake = event_;
        }
        break;
    }
    // The last transfer of a failed pipe is reaped: the failure can be told.
    if (failed_ && inFlight_ == 0) wake = event_;
  }
  changed_.notify_all();
  if (wake != nullptr) wake->Set();
}

void LibFtdiPort::ReaderLoop() {
  SetCurrentThreadName(kUsbReaderThreadName);
  // It only resubmits transfers, which must never wait for a busy machine;
  // where the system lets an unprivileged thread rise above the others, it
  // does.
  RaiseCurrentThreadPriority();
  for (;;) {
    {
      const std::lock_guard lock(mutex_);
      if (inFlight_ == 0 && (stopping_ || failed_)) return;
    }
    timeval turn{0, static_cast<decltype(timeval::tv_usec)>(
                        std::chrono::microseconds(LibFtdiTuning::kEventTurn).count())};
    const int handled = calls_.libusb_handle_events_timeout_completed(context_->usb_ctx, &turn, nullptr);
    Event* wake = nullptr;
    {
      const std::lock_guard lock(mutex_);
      if (!answered_ && !unansweredPastWait_ && calls_.steady_now() >= firstAnswerBy_) {
        unansweredPastWait_ = true;
        changed_.notify_all();
      }
      // A bridge answers every IN request within its latency timer; a long
      // silence is a bridge that has stopped working, told as a lost link.
      const bool silent = calls_.steady_now() - lastAnswer_ >= LibFtdiTuning::kHungAfter;
      if (Serving() && ((handled < 0 && handled != LIBUSB_ERROR_INTERRUPTED) || silent)) {
        Fail();
        wake = event_;
      }
    }
    if (wake != nullptr) wake->Set();
  }
}

void LibFtdiPort::SubmitAll() {
  for (const auto& slot : slots_) {
    if (!Serving()) return;
    if (!slot->queued) Submit(*slot);
  }
}

void LibFtdiPort::Submit(Slot& slot) {
  if (calls_.libusb_submit_transfer(slot.transfer) < 0) {
    Fail();
    return;
  }
  slot.queued = true;
  ++inFlight_;
}

void LibFtdiPort::CancelAll() {
  // A transfer that has just completed answers "not found"; its callback
  // still comes.
  for (const auto& slot : slots_) {
    if (slot->queued) (void)calls_.libusb_cancel_transfer(slot->transfer);
  }
}

void LibFtdiPort::Fail() {
  failed_ = true;
  CancelAll();
}

void LibFtdiPort::Append(std::span<const std::uint8_t> bytes) {
  // Bytes that do not fit are dropped and reported as an overrun, like
  // bytes the chip had no room for: by then the session's backlog limit has
  // long been passed.
  const std::size_t kept = std::min(ring_.size() - count_, bytes.size());
  if (kept < bytes.size()) lineStatusSeen_ |= static_cast<std::uint8_t>(d2xx::kLineStatusOverrun >> 8);
  const std::size_t tail = (head_ + count_) % ring_.size();
  const std::size_t first = std::min(kept, ring_.size() - tail);
  std::copy_n(bytes.begin(), first, ring_.begin() + static_cast<std::ptrdiff_t>(tail));
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(first), kept - first, ring_.begin());
  count_ += kept;
}

}  // namespace kestrova
