#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/D2xx.h"
#include "device/Event.h"
#include "simulator/BridgeReceivePath.h"
#include "simulator/DriverCall.h"
#include "simulator/SimClock.h"
#include "simulator/SimulatedUnit.h"

namespace kestrova {

// Wire time of one byte: 1 000 000 baud, a start bit, eight data bits and
// two stop bits. 90 909 bytes a second; one data frame in 88.055 ms.
inline constexpr SimTime kWireByteTime = std::chrono::microseconds(11);

// The most a device's receive queue holds; bytes arriving beyond it are
// lost, as when nobody reads a real bridge.
inline constexpr std::size_t kReceiveQueueCapacity = 131072;

inline constexpr std::string_view kSimulatedUnitDescription = "Orvanta USBCOM";

struct SimulatedBenchOptions {
  // The units attached at the start, in listing order (after the other
  // device). Serial numbers have at most 15 characters; longer, empty or
  // repeated ones are not attached.
  std::vector<std::string> unitSerialNumbers{"SIM00001"};
  // One more device of the bridge vendor that is not a unit; discovery must
  // pass over it. An empty serial number leaves it out.
  std::string otherSerialNumber{"FT3QX7KD"};
  std::string otherDescription{"USB Serial Converter"};
  // True: bytes arrive at the wire rate. False: as fast as the reader takes
  // them (each time the receive queue has been emptied, the unit's next
  // transmission is in it at once); for benchmarks.
  bool paced = true;
  // Fixes the units' waveforms: unit k (counting from 0 in attach order)
  // uses seed + k.
  std::uint32_t seed = 1;
  // The clock of the wire; null gives a SteadySimClock.
  std::shared_ptr<SimClock> clock;
  // How the bridge and the host driver hand a paced wire's bytes on (an
  // un-paced wire skips them).
  BridgeTiming bridge;
};

enum class FaultRepeat { Once, UntilCleared };

// What the driver calls on a device's handles have set, from its opening.
struct LinkSettings {
  int resets = 0;
  std::optional<d2xx::UCHAR> latencyTimer;
  std::optional<std::array<d2xx::ULONG, 2>> usbParameters;  // IN and OUT transfer size
  std::optional<d2xx::USHORT> divisor;
  std::optional<std::array<d2xx::UCHAR, 3>> dataCharacteristics;  // word length, stop bits, parity
  std::optional<d2xx::USHORT> flowControl;
  int receivePurges = 0;
  int transmitPurges = 0;
  d2xx::DWORD eventMask = 0;
};

struct DeviceStatus {
  bool attached = false;
  bool open = false;
  LinkSettings link;
  std::size_t receiveQueued = 0;     // bytes waiting in the receive queue
  std::size_t heldInBridge = 0;      // bytes off the wire, not yet in the receive queue
  std::uint64_t inTransfers = 0;     // IN transfers that brought bytes, since attach
  std::uint64_t bytesDelivered = 0;  // bytes that reached the receive queue since attach
  std::uint64_t bytesLost = 0;       // bytes that found the receive queue full
  std::optional<UnitStatus> unit;    // absent for the device that is not a unit
};

class SimulatedDriver;

// The simulated test bench: the attached devices (units and one other
// device of the bridge vendor), the wire of each, and the fault switches.
// It outlives the drivers that are loaded and unloaded on it, so units stay
// attached across a driver reload.
//
// Every method may be called from any thread; one lock guards the whole
// bench. With a clock that passes by itself and a paced wire, a wire thread
// moves due bytes through the bridge (BridgeReceivePath) while a device is
// open, waking whenever an IN transfer may complete (and at least every
// 50 ms), and sets the registered event for each transfer that brings bytes
// into the receive queue; with a manual clock
// that happens inside ManualSimClock::Advance. An un-paced wire puts its
// bytes straight into the receive queue inside the driver calls.
class SimulatedBench {
 public:
  explicit SimulatedBench(SimulatedBenchOptions options = {});
  ~SimulatedBench();
  SimulatedBench(const SimulatedBench&) = delete;
  SimulatedBench& operator=(const SimulatedBench&) = delete;

  [[nodiscard]] const std::shared_ptr<SimClock>& Clock() const { return clock_; }

  // Attaches a new unit with that serial number (listed after the devices
  // already there), or re-attaches a vanished one, which comes back powered
  // up: parked and quiet. False when a device with that serial number is
  // attached already or the serial number is empty or longer than 15.
  bool AttachUnit(std::string_view serialNumber);

  // The device disappears now: it leaves the listing, its receive queue and
  // whatever was on its wire or in the bridge are gone, and every call on a handle opened to
  // it fails (FT_IO_ERROR) except FT_Close. False for an unknown or vanished
  // device.
  bool Vanish(std::string_view serialNumber);
  // The same, once `bytes` more bytes have reached its receive queue (so a
  // test can make it vanish in the middle of a frame).
  bool VanishAfterBytes(std::string_view serialNumber, std::size_t bytes);

  // Faults of a unit's stream, each at the next frame boundary, in the order
  // they are asked for. False for an unknown device or one that is not a
  // unit.
  // The next data frame carries a wrong checksum.
  bool CorruptNextChecksum(std::string_view serialNumber);
  // `count` bytes of line noise between frames: seeded, never an STX.
  bool InjectNoise(std::string_view serialNumber, std::size_t count);
  // These bytes, as they are, between frames.
  bool InjectBytes(std::string_view serialNumber, std::span<const std::uint8_t> bytes);
  // A frame with `payloadLength` (at least 8004) payload bytes and a
  // matching checksum.
  bool InjectOverlongFrame(std::string_view serialNumber, std::size_t payloadLength = 8100);
  // `frames` data frames (two make 16010 bytes) that reach the receive queue
  // all at once instead of at the wire rate.
  bool InjectBurst(std::string_view serialNumber, int frames = 2);

  // Makes a driver call fail with `status`, on its next use or until cleared.
  void FailCall(DriverCall call, FaultRepeat repeat, d2xx::FT_STATUS status = kFtIoError);
  // The same by the vendor function name ("FT_Read"); false for an unknown name.
  bool FailCall(std::string_view functionName, FaultRepeat repeat, d2xx::FT_STATUS status = kFtIoError);
  void ClearCallFaults();
  // How often a driver call has been made on this bench, failed ones included.
  [[nodiscard]] int CallCount(DriverCall call) const;

  [[nodiscard]] std::optional<DeviceStatus> StatusOf(std::string_view serialNumber) const;

 private:
  friend class SimulatedDriver;

  struct Device {
    std::string serialNumber;
    std::string description;
    d2xx::ULONG id = 0;
    d2xx::DWORD locationId = 0;
    bool attached = true;
    std::unique_ptr<SimulatedUnit> unit;  // null for the device that is not a unit
    std::uint64_t openHandle = 0;         // 0: closed
    // The wire from the unit: the transmission under way, how much of it has
    // arrived, and when the wire starts on its next byte (which arrives one
    // byte time later).
    std::vector<std::uint8_t> onWire;
    std::size_t sent = 0;
    SimTime wireFree{};
    // Between the wire and the receive queue: the bridge chip and the host's
    // IN transfers.
    BridgeReceivePath bridge;
    std::uint64_t inTransfers = 0;
    std::deque<std::uint8_t> receiveQueue;
    Event* rxEvent = nullptr;
    bool rxEventStatus = false;  // characters arrived since the last FT_GetStatus
    std::optional<std::size_t> vanishAfter;
    LinkSettings link;
    std::uint64_t bytesDelivered = 0;
    std::uint64_t bytesLost = 0;
    std::uint64_t bytesLostShown = 0;  // bytesLost at the last FT_GetModemStatus
  };
  struct Handle {
    std::size_t device = 0;
    std::uint64_t driver = 0;
    bool dead = false;  // the device vanished under it
  };
  struct CallFault {
    d2xx::FT_STATUS status = kFtIoError;
    FaultRepeat repeat = FaultRepeat::Once;
  };

  // All of these expect mutex_ to be held.
  Device* FindDevice(std::string_view serialNumber);
  const Device* FindDevice(std::string_view serialNumber) const;
  SimulatedUnit* FindUnit(std::string_view serialNumber);
  std::optional<d2xx::FT_STATUS> TakeFault(DriverCall call);
  void PumpAll(SimTime now);
  void Pump(Device& device, SimTime now);
  // The next `count` bytes on the wire straight into the receive queue; the
  // number taken off the wire.
  std::size_t DeliverDirect(Device& device, std::size_t count);
  // Bytes into the receive queue as far as it has room (the rest are lost),
  // until the device vanishes; how many were taken.
  std::size_t ToReceiveQueue(Device& device, std::span<const std::uint8_t> bytes);
  void VanishNow(Device& device);
  [[nodiscard]] bool AnyOpen() const;
  // When the wire thread must pump again: the earliest an open device's
  // bridge can complete a transfer, or a burst is due; at most kWireSleep on.
  [[nodiscard]] SimTime NextWireWork(SimTime now);
  // Wakes the wire thread to look again: a device opened, or something may
  // complete sooner than it planned for.
  void WireChanged();
  void WireLoop(const std::stop_token& stop);

  SimulatedBenchOptions options_;
  std::shared_ptr<SimClock> clock_;
  mutable std::mutex mutex_;
  std::condition_variable_any wireWake_;
  std::uint64_t wireChanges_ = 0;
  std::vector<Device> devices_;
  std::map<std::uint64_t, Handle> handles_;
  std::uint64_t nextHandle_ = 1;
  std::uint64_t nextDriver_ = 1;
  std::uint32_t nextUnitSeed_ = 0;
  std::uint64_t noiseState_ = 0;
  std::map<DriverCall, CallFault> callFaults_;
  std::array<int, kDriverCallCount> callCounts_{};
  std::vector<std::uint8_t> completed_;  // Pump's scratch: bytes of completed transfers
  int listenerToken_ = 0;
  std::jthread wireThread_;  // last: stops before the members it uses go
};

}  // namespace kestrova
