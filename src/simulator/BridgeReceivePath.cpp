#include "simulator/BridgeReceivePath.h"

#include <algorithm>

namespace kestrova {

namespace {

// Two status bytes lead every packet; a packet carries at least one data byte.
constexpr std::size_t kStatusBytes = 2;
constexpr std::size_t kSmallestPacket = kStatusBytes + 1;

}  // namespace

BridgeReceivePath::BridgeReceivePath(BridgeTiming timing)
    : packetData_(std::max(timing.packetSize, kSmallestPacket) - kStatusBytes),
      transferData_(
          std::max<std::size_t>(1, timing.inTransferSize / std::max(timing.packetSize, kSmallestPacket)) *
          packetData_),
      defaultTransferData_(transferData_),
      defaultLatency_(std::max(timing.defaultLatency, std::chrono::milliseconds(1))),
      latency_(defaultLatency_) {
  held_.reserve(transferData_);
}

void BridgeReceivePath::Reset(SimTime now) {
  Discard();
  latency_ = defaultLatency_;
  transferData_ = defaultTransferData_;
  lastSend_ = now;
}

void BridgeReceivePath::Discard() {
  held_.clear();
  inChip_ = 0;
}

void BridgeReceivePath::SetLatencyTimer(std::chrono::milliseconds latency) {
  latency_ = std::max(latency, std::chrono::milliseconds(1));
}

void BridgeReceivePath::SetTransferSize(std::size_t inTransferSize) {
  transferData_ = std::max<std::size_t>(1, inTransferSize / (packetData_ + kStatusBytes)) * packetData_;
}

int BridgeReceivePath::Accept(std::span<const std::uint8_t> bytes, SimTime firstArrival, SimTime byteTime,
                              std::vector<std::uint8_t>& completed) {
  byteTime = std::max(byteTime, SimTime(1));
  int transfers = 0;
  std::size_t next = 0;
  while (next < bytes.size()) {
    const SimTime arrival = firstArrival + byteTime * static_cast<std::int64_t>(next);
    transfers += Expire(arrival, false, completed);
    // The bytes that arrive by the timer's next expiry and still fit the
    // chip's packet (at least this one: the expiry is not before it).
    const SimTime expiry = lastSend_ + latency_;
    const auto beforeExpiry = static_cast<std::size_t>((expiry - arrival) / byteTime) + 1;
    const std::size_t take = std::min({bytes.size() - next, packetData_ - inChip_, beforeExpiry});
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(next);
    held_.insert(held_.end(), first, first + static_cast<std::ptrdiff_t>(take));
    inChip_ += take;
    next += take;
    if (inChip_ < packetData_) continue;
    // A full packet goes the moment its last byte is in.
    inChip_ = 0;
    lastSend_ = firstArrival + byteTime * static_cast<std::int64_t>(next - 1);
    if (held_.size() >= transferData_) transfers += Complete(completed);
  }
  return transfers;
}

int BridgeReceivePath::AdvanceTo(SimTime now, std::vector<std::uint8_t>& completed) {
  return Expire(now, true, completed);
}

int BridgeReceivePath::Flush(std::vector<std::uint8_t>& completed) {
  return held_.empty() ? 0 : Complete(completed);
}

SimTime BridgeReceivePath::EarliestCompletion(SimTime now, SimTime byteTime) const {
  const std::size_t missing = transferData_ - std::min(held_.size(), transferData_);
  return std::min(lastSend_ + latency_, now + byteTime * static_cast<std::int64_t>(missing));
}

int BridgeReceivePath::Expire(SimTime limit, bool inclusive, std::vector<std::uint8_t>& completed) {
  const SimTime elapsed = limit - lastSend_;
  if (elapsed < latency_ || (!inclusive && elapsed == latency_)) return 0;
  // The first expiry sends what the chip holds as a short packet, which
  // ends the transfer; the later ones send status bytes only. The timer
  // keeps its phase throughout.
  const int transfers = held_.empty() ? 0 : Complete(completed);
  std::int64_t expiries = elapsed / latency_;
  if (!inclusive && elapsed % latency_ == SimTime::zero()) --expiries;
  lastSend_ += latency_ * expiries;
  return transfers;
}

int BridgeReceivePath::Complete(std::vector<std::uint8_t>& completed) {
  completed.insert(completed.end(), held_.begin(), held_.end());
  Discard();
  return 1;
}

}  // namespace kestrova
