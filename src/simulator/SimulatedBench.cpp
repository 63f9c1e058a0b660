#include "simulator/SimulatedBench.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "device/ThreadName.h"
#include "simulator/SteadySimClock.h"

namespace kestrova {

namespace {

constexpr std::size_t kMaxSerialLength = 15;
constexpr d2xx::WORD kOtherProductId = 0x6001;
// The longest the wire thread sleeps while a device is open.
constexpr SimTime kWireSleep = std::chrono::milliseconds(50);
// The longest the wire thread waits, in real time, while no device is open.
constexpr std::chrono::milliseconds kIdleWireWait{200};

d2xx::ULONG DeviceId(d2xx::WORD product) {
  return (static_cast<d2xx::ULONG>(d2xx::kUnitVendorId) << 16U) | product;
}

}  // namespace

SimulatedBench::SimulatedBench(SimulatedBenchOptions options)
    : options_(std::move(options)),
      clock_(options_.clock ? options_.clock : std::make_shared<SteadySimClock>()),
      noiseState_(0x5EED0000ULL + options_.seed) {
  if (!options_.otherSerialNumber.empty()) {
    Device other;
    other.serialNumber = options_.otherSerialNumber.substr(0, kMaxSerialLength);
    other.description = options_.otherDescription;
    other.id = DeviceId(kOtherProductId);
    other.locationId = 0x11;
    devices_.push_back(std::move(other));
  }
  for (const std::string& serial : options_.unitSerialNumbers) AttachUnit(serial);

  if (!options_.paced) return;
  if (clock_->PassesByItself()) {
    wireThread_ = std::jthread([this](const std::stop_token& stop) { WireLoop(stop); });
  } else {
    listenerToken_ = clock_->AddAdvanceListener([this] {
      const std::lock_guard lock(mutex_);
      PumpAll(clock_->Now());
    });
  }
}

SimulatedBench::~SimulatedBench() {
  if (listenerToken_ != 0) clock_->RemoveAdvanceListener(listenerToken_);
  if (wireThread_.joinable()) {
    // The stop is requested with the wire's lock held, so the wire thread is
    // either waiting (and woken) or has yet to test the stop before it waits:
    // a wake-up lost between that test and the wait hung this join under
    // Wine's threads.
    {
      const std::lock_guard lock(mutex_);
      wireThread_.request_stop();
    }
    wireWake_.notify_all();
    wireThread_.join();
  }
}

void SimulatedBench::WireLoop(const std::stop_token& stop) {
  SetCurrentThreadName(kWireThreadName);
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    if (!AnyOpen()) {
      // Nothing to carry until a device is opened. The wait is bounded so
      // that a wake-up a platform's threads lose costs a moment, not a hang.
      wireWake_.wait_for(lock, stop, kIdleWireWait, [this] { return AnyOpen(); });
      continue;
    }
    const SimTime now = clock_->Now();
    PumpAll(now);
    // Nothing the reader can see changes before the next transfer may
    // complete: sleep until then instead of moving bytes every millisecond.
    const SimTime sleep = NextWireWork(now) - now;
    const std::uint64_t seen = wireChanges_;
    wireWake_.wait_for(lock, stop, clock_->WaitFor(std::max(sleep, SimTime(1))),
                       [&] { return wireChanges_ != seen; });
  }
}

SimTime SimulatedBench::NextWireWork(SimTime now) {
  SimTime next = now + kWireSleep;
  for (Device& device : devices_) {
    if (!device.attached || !device.unit || device.openHandle == 0) continue;
    next = std::min(next, device.bridge.EarliestCompletion(now, kWireByteTime));
    // A burst skips the bridge: it is due as soon as the wire is free.
    const SimTime wireDone =
        device.wireFree + kWireByteTime * static_cast<std::int64_t>(device.onWire.size() - device.sent);
    if (const auto planned = device.unit->PlanNext(wireDone); planned && planned->instant) {
      next = std::min(next, std::max(planned->start, wireDone));
    }
  }
  return next;
}

void SimulatedBench::WireChanged() {
  ++wireChanges_;
  wireWake_.notify_all();
}

bool SimulatedBench::AnyOpen() const {
  return std::any_of(devices_.begin(), devices_.end(), [](const Device& d) { return d.openHandle != 0; });
}

bool SimulatedBench::AttachUnit(std::string_view serialNumber) {
  if (serialNumber.empty() || serialNumber.size() > kMaxSerialLength) return false;
  const std::lock_guard lock(mutex_);
  if (Device* existing = FindDevice(serialNumber)) {
    if (existing->attached) return false;
    existing->attached = true;
    existing->wireFree = clock_->Now();
    existing->bytesDelivered = 0;
    existing->bytesLost = 0;
    existing->inTransfers = 0;
    existing->link = LinkSettings{};
    if (existing->unit) existing->unit->PowerUp();
    return true;
  }
  Device device;
  device.serialNumber = std::string(serialNumber);
  device.bridge = BridgeReceivePath(options_.bridge);
  device.description = std::string(kSimulatedUnitDescription);
  device.id = DeviceId(d2xx::kUnitProductId);
  device.locationId = 0x21 + static_cast<d2xx::DWORD>(devices_.size());
  device.unit =
      std::make_unique<SimulatedUnit>(device.serialNumber, options_.seed + nextUnitSeed_++, options_.paced);
  device.wireFree = clock_->Now();
  devices_.push_back(std::move(device));
  return true;
}

bool SimulatedBench::Vanish(std::string_view serialNumber) {
  const std::lock_guard lock(mutex_);
  Device* device = FindDevice(serialNumber);
  if (device == nullptr || !device->attached) return false;
  VanishNow(*device);
  return true;
}

bool SimulatedBench::VanishAfterBytes(std::string_view serialNumber, std::size_t bytes) {
  const std::lock_guard lock(mutex_);
  Device* device = FindDevice(serialNumber);
  if (device == nullptr || !device->attached) return false;
  if (bytes == 0) {
    VanishNow(*device);
  } else {
    device->vanishAfter = bytes;
  }
  return true;
}

void SimulatedBench::VanishNow(Device& device) {
  device.attached = false;
  device.receiveQueue.clear();
  device.onWire.clear();
  device.sent = 0;
  device.bridge.Discard();
  device.vanishAfter.reset();
  device.rxEvent = nullptr;
  device.rxEventStatus = false;
  if (device.openHandle != 0) {
    if (auto it = handles_.find(device.openHandle); it != handles_.end()) it->second.dead = true;
    device.openHandle = 0;
  }
}

bool SimulatedBench::CorruptNextChecksum(std::string_view serialNumber) {
  const std::lock_guard lock(mutex_);
  SimulatedUnit* unit = FindUnit(serialNumber);
  if (unit == nullptr) return false;
  unit->CorruptNextChecksum();
  return true;
}

bool SimulatedBench::InjectNoise(std::string_view serialNumber, std::size_t count) {
  std::vector<std::uint8_t> noise;
  noise.reserve(count);
  {
    const std::lock_guard lock(mutex_);
    while (noise.size() < count) {
      // A small linear congruential generator is plenty for line noise.
      noiseState_ = noiseState_ * 6364136223846793005ULL + 1442695040888963407ULL;
      const auto b = static_cast<std::uint8_t>(noiseState_ >> 56U);
      if (b != 0x02) noise.push_back(b);
    }
  }
  return InjectBytes(serialNumber, noise);
}

bool SimulatedBench::InjectBytes(std::string_view serialNumber, std::span<const std::uint8_t> bytes) {
  const std::lock_guard lock(mutex_);
  Device* device = FindDevice(serialNumber);
  if (device == nullptr || !device->unit) return false;
  device->unit->InjectBytes(bytes);
  Pump(*device, clock_->Now());
  return true;
}

bool SimulatedBench::InjectOverlongFrame(std::string_view serialNumber, std::size_t payloadLength) {
  const std::lock_guard lock(mutex_);
  Device* device = FindDevice(serialNumber);
  if (device == nullptr || !device->unit) return false;
  device->unit->InjectOverlongFrame(payloadLength);
  Pump(*device, clock_->Now());
  return true;
}

bool SimulatedBench::InjectBurst(std::string_view serialNumber, int frames) {
  const std::lock_guard lock(mutex_);
  Device* device = FindDevice(serialNumber);
  if (device == nullptr || !device->unit) return false;
  device->unit->InjectBurst(frames);
  Pump(*device, clock_->Now());
  WireChanged();  // due at the next frame boundary, which the wire thread did not expect
  return true;
}

void SimulatedBench::FailCall(DriverCall call, FaultRepeat repeat, d2xx::FT_STATUS status) {
  const std::lock_guard lock(mutex_);
  callFaults_[call] = CallFault{status, repeat};
}

bool SimulatedBench::FailCall(std::string_view functionName, FaultRepeat repeat, d2xx::FT_STATUS status) {
  const auto call = DriverCallByName(functionName);
  if (!call) return false;
  FailCall(*call, repeat, status);
  return true;
}

void SimulatedBench::ClearCallFaults() {
  const std::lock_guard lock(mutex_);
  callFaults_.clear();
}

int SimulatedBench::CallCount(DriverCall call) const {
  const std::lock_guard lock(mutex_);
  return callCounts_.at(static_cast<std::size_t>(call));
}

std::optional<d2xx::FT_STATUS> SimulatedBench::TakeFault(DriverCall call) {
  ++callCounts_.at(static_cast<std::size_t>(call));
  const auto it = callFaults_.find(call);
  if (it == callFaults_.end()) return std::nullopt;
  const d2xx::FT_STATUS status = it->second.status;
  if (it->second.repeat == FaultRepeat::Once) callFaults_.erase(it);
  return status;
}

std::optional<DeviceStatus> SimulatedBench::StatusOf(std::string_view serialNumber) const {
  const std::lock_guard lock(mutex_);
  const Device* device = FindDevice(serialNumber);
  if (device == nullptr) return std::nullopt;
  DeviceStatus status;
  status.attached = device->attached;
  status.open = device->openHandle != 0;
  status.link = device->link;
  status.receiveQueued = device->receiveQueue.size();
  status.heldInBridge = device->bridge.Held();
  status.inTransfers = device->inTransfers;
  status.bytesDelivered = device->bytesDelivered;
  status.bytesLost = device->bytesLost;
  if (device->unit) status.unit = device->unit->Status();
  return status;
}

SimulatedBench::Device* SimulatedBench::FindDevice(std::string_view serialNumber) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const Device& d) { return d.serialNumber == serialNumber; });
  return it == devices_.end() ? nullptr : &*it;
}

const SimulatedBench::Device* SimulatedBench::FindDevice(std::string_view serialNumber) const {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const Device& d) { return d.serialNumber == serialNumber; });
  return it == devices_.end() ? nullptr : &*it;
}

SimulatedUnit* SimulatedBench::FindUnit(std::string_view serialNumber) {
  Device* device = FindDevice(serialNumber);
  return device == nullptr ? nullptr : device->unit.get();
}

void SimulatedBench::PumpAll(SimTime now) {
  for (Device& device : devices_) Pump(device, now);
}

void SimulatedBench::Pump(Device& device, SimTime now) {
  if (!device.attached || !device.unit) return;
  if (device.openHandle == 0) {
    // Nobody listens: what the unit would send meanwhile is lost. It starts
    // afresh at the next frame boundary once the device is opened.
    device.onWire.clear();
    device.sent = 0;
    device.wireFree = std::max(device.wireFree, now);
    return;
  }
  std::size_t arrived = 0;
  if (!options_.paced) {
    // Keep the receive queue from running dry: each time it has been
    // emptied, the next transmission is in it at once.
    while (device.attached && device.receiveQueue.empty()) {
      if (device.sent == device.onWire.size()) {
        if (!device.unit->PlanNext(device.wireFree)) break;
        device.unit->EmitPlanned(device.onWire);
        device.sent = 0;
      }
      arrived += DeliverDirect(device, device.onWire.size() - device.sent);
    }
  } else {
    // Bytes leave the wire into the bridge; what reaches the receive queue
    // comes in whole IN transfers.
    int transfers = 0;
    const auto handOn = [&] {
      arrived += ToReceiveQueue(device, completed_);
      completed_.clear();
    };
    while (device.attached) {
      if (device.sent == device.onWire.size()) {
        const auto next = device.unit->PlanNext(device.wireFree);
        if (!next) {
          device.wireFree = std::max(device.wireFree, now);  // the wire idles
          break;
        }
        if (next->start > now) break;
        device.unit->EmitPlanned(device.onWire);
        device.sent = 0;
        device.wireFree = std::max(device.wireFree, next->start);
        if (next->instant) {
          // A burst is in the receive queue at once, behind what the bridge
          // held.
          transfers += device.bridge.Flush(completed_);
          handOn();
          if (device.attached) arrived += DeliverDirect(device, device.onWire.size());
          continue;
        }
      }
      const std::int64_t due = (now - device.wireFree) / kWireByteTime;
      if (due <= 0) break;
      const std::size_t count = std::min(device.onWire.size() - device.sent, static_cast<std::size_t>(due));
      const auto bytes = std::span(device.onWire).subspan(device.sent, count);
      transfers += device.bridge.Accept(bytes, device.wireFree + kWireByteTime, kWireByteTime, completed_);
      device.sent += count;
      device.wireFree += kWireByteTime * static_cast<std::int64_t>(count);
      handOn();
    }
    if (device.attached) {
      transfers += device.bridge.AdvanceTo(now, completed_);
      handOn();
    }
    device.inTransfers += static_cast<std::uint64_t>(transfers);
  }
  if (arrived > 0 && device.attached) {
    device.rxEventStatus = true;
    if (device.rxEvent != nullptr) device.rxEvent->Set();
  }
}

std::size_t SimulatedBench::DeliverDirect(Device& device, std::size_t count) {
  count = std::min(count, device.onWire.size() - device.sent);
  const auto bytes = std::span(device.onWire).subspan(device.sent, count);
  device.sent += count;  // first: a vanish on the way clears the wire
  return ToReceiveQueue(device, bytes);
}

std::size_t SimulatedBench::ToReceiveQueue(Device& device, std::span<const std::uint8_t> bytes) {
  std::size_t count = bytes.size();
  if (device.vanishAfter) count = std::min(count, *device.vanishAfter);
  const std::size_t room =
      kReceiveQueueCapacity - std::min(kReceiveQueueCapacity, device.receiveQueue.size());
  const std::size_t kept = std::min(count, room);
  device.receiveQueue.insert(device.receiveQueue.end(), bytes.begin(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(kept));
  device.bytesDelivered += kept;
  device.bytesLost += count - kept;
  if (device.vanishAfter) {
    *device.vanishAfter -= count;
    if (*device.vanishAfter == 0) VanishNow(device);
  }
  return count;
}

}  // namespace kestrova
