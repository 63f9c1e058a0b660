#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "simulator/SimClock.h"
#include "simulator/TestWaveform.h"
#include "simulator/UnitConfiguration.h"

namespace kestrova {

// Sample position of the trigger crossing within a triggered frame.
inline constexpr std::int64_t kTriggerSample = 100;

// Bytes of one data frame on the wire: STX, type letter, 2000 fields of four
// hexadecimal digits, two checksum digits, ETX.
inline constexpr std::size_t kDataFrameBytes = 8005;

// One data frame the unit has sent.
struct SentFrame {
  char type = 0;                 // 'T' or 'M'
  std::int64_t firstSample = 0;  // index of its sample 0 in the waveform's stream
  bool checksumCorrupted = false;
  // The signal its samples were cut from, so that a receiver can check a
  // stored frame against it sample by sample.
  TestWaveform waveform{0, 0, 0, 500};
};

// What the unit is doing, for tests and diagnostics.
struct UnitStatus {
  UnitConfiguration configuration;  // the last configuration accepted (0x4000/0 at power-up)
  bool streaming = false;           // the last configuration had the run bit
  bool singleShotTaken = false;     // Single: the triggered frame has been sent
  TestWaveform waveform{0, 0, 0, 500};
  std::uint32_t seed = 0;
  std::string identification;  // the answer to the identification query
  int configurationsAccepted = 0;
  int commandsRejected = 0;  // configuration commands with a bad checksum or malformed digits
  int identificationQueries = 0;
  int unknownCommands = 0;
  std::int64_t dataFramesSent = 0;
  std::int64_t triggeredFramesSent = 0;
  std::deque<SentFrame> recentFrames;  // the last frames sent, oldest first (at most 512)
};

// When and how the next transmission of the unit goes on the wire.
struct PlannedTransmission {
  SimTime start{};       // its first byte may not leave before this time
  bool instant = false;  // all its bytes arrive at once (a burst), not at the wire rate
};

// The acquisition unit at the far end of the wire: it reads the commands
// the PC writes, and produces what it sends back (data frames while the run
// bit is set, replies, and whatever faults a test injects) one transmission
// at a time. It knows nothing of the USB bridge or of pacing: the bench asks
// it for its next transmission whenever the wire is free.
//
// Commands (between STX and ETX; bytes outside a frame are ignored):
//  - "S" + control word + level word + checksum: taken at once. With the
//    run bit it starts a fresh capture (which also re-arms Single); without
//    it, streaming stops after the frame already on the wire. A bad checksum
//    or malformed digits leave everything as it was, without an answer.
//  - "?": answered with the identification text.
//  - anything else non-empty: answered with "ERR UNKNOWN COMMAND"; a body
//    longer than 64 bytes is dropped unanswered.
//
// Data frames: 500 samples of each channel of the TestWaveform for the
// configured mode, options and time base. The trigger compares channel
// samples with the level word in raw units (signed or not, as bit 4 says):
// rising means sample n-1 < level <= sample n, falling sample n-1 > level >=
// sample n. A frame is 'T' when the first crossing within one frame length
// is placed at kTriggerSample, else 'M' with the samples from where the
// previous frame ended. Auto at a history time base instead sends an
// unbroken stream of consecutive frames, 'T' when one holds a crossing.
// Normal sends 'M' frames too when the level is not crossed (the program
// drops them). Single sends frames until its 'T' frame and then nothing
// until a new configuration, so that no later frame can hide the shot.
//
// On a paced wire a frame leaves once its last sample has been taken (2 x
// T us per sample up to 5 ms/div, 200 us above), and the unit keeps one
// frame of samples: what the wire was too slow to carry is skipped.
//
// Not thread-safe: the bench calls it under its lock only.
class SimulatedUnit {
 public:
  // paced: whether the wire runs at its real rate (then frames wait for the
  // samples they carry, and samples the wire was too slow for are lost); in
  // the un-paced mode the unit sends one frame after the other.
  SimulatedUnit(std::string serialNumber, std::uint32_t seed, bool paced);

  [[nodiscard]] const std::string& SerialNumber() const { return serialNumber_; }

  // Back to the state after power-up: parked, nothing pending, counters clear.
  void PowerUp();

  // Bytes the PC has written, arriving at `now`. Commands take effect at
  // once; replies are queued behind whatever is on the wire.
  void ReceiveFromHost(std::span<const std::uint8_t> bytes, SimTime now);

  // The next transmission, given the time the wire becomes free, or nothing
  // when the unit has nothing to send. Asking again without an intervening
  // change gives the same answer.
  [[nodiscard]] std::optional<PlannedTransmission> PlanNext(SimTime wireFree);
  // Writes the bytes of the transmission last planned into `out` (replacing
  // its contents) and moves on. Only after PlanNext gave a transmission.
  void EmitPlanned(std::vector<std::uint8_t>& out);

  // Faults, taking effect at the next frame boundary.
  void CorruptNextChecksum() { corruptNextChecksum_ = true; }
  void InjectBytes(std::span<const std::uint8_t> bytes);
  void InjectOverlongFrame(std::size_t payloadLength);
  void InjectBurst(int frames);

  [[nodiscard]] const UnitStatus& Status() const { return status_; }
  // The text the unit answers the identification query with.
  [[nodiscard]] std::string IdentificationText() const;

 private:
  enum class PendingKind { Bytes, Overlong, Burst };
  struct Pending {
    PendingKind kind = PendingKind::Bytes;
    std::vector<std::uint8_t> bytes;  // Bytes
    std::size_t count = 0;            // payload length (Overlong) or frames (Burst)
    SimTime notBefore{};
  };
  struct Window {
    std::int64_t start = 0;
    char type = 'M';
  };
  struct Plan {
    SimTime wireFree{};
    std::uint64_t version = 0;
    PlannedTransmission transmission;
    bool pending = false;  // the front of pending_, else a data frame of `window`
    Window window;
  };

  void HandleCommand(std::string_view body, SimTime now);
  void Configure(const UnitConfiguration& configuration, SimTime now);
  void QueueReply(std::string_view text, SimTime now);
  void Changed() { ++version_; }

  [[nodiscard]] Window ChooseWindow(std::int64_t from) const;
  // First sample index x in [first, last) where samples x-1 and x cross the
  // level on the configured edge of the trigger channel.
  [[nodiscard]] std::optional<std::int64_t> FindCrossing(std::int64_t first, std::int64_t last) const;
  void AppendDataFrame(std::vector<std::uint8_t>& out, const Window& window, bool corrupt);
  void AppendOverlongFrame(std::vector<std::uint8_t>& out, std::size_t payloadLength) const;
  void NoteFrame(const Window& window, bool corrupt);

  std::string serialNumber_;
  std::uint32_t seed_;
  bool paced_;

  UnitStatus status_;
  SimTime runStart_{};           // time of sample 0 of the current run
  std::int64_t nextSample_ = 0;  // first sample the next frame may carry
  bool corruptNextChecksum_ = false;
  std::deque<Pending> pending_;

  // The command being read from the PC.
  bool inCommand_ = false;
  std::string command_;

  std::uint64_t version_ = 0;
  std::optional<Plan> plan_;
};

}  // namespace kestrova
