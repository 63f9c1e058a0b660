#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace kestrova::tools {

// A 'T' frame as the unit sends it (STX, 'T', 4 x 500 sample fields,
// checksum, ETX: 8005 bytes) that carries its running number: sample 0 of
// channel 1 holds the low 12 bits, sample 0 of channel 2 the next 12; every
// other sample is a triangle wave a few tens high, so the traces look and
// cost what a real signal does. Any thread.
std::string NumberedUnitFrame(std::uint32_t number);

// The running number back from sample 0 of channels 1 and 2 (raw values).
std::uint32_t FrameNumberOf(std::uint16_t channel1, std::uint16_t channel2);

// Checks the running numbers of the frames the window stored, in the order
// it stored them, against the frames the unit sent (numbered from 0).
// One thread.
class FrameSequence {
 public:
  struct Summary {
    std::uint64_t stored = 0;      // frames stored, repeats included
    std::uint64_t duplicated = 0;  // stored again after their first time
    std::uint64_t reordered = 0;   // stored for the first time after a later one
    std::uint64_t missing = 0;     // sent and never stored
    std::uint64_t foreign = 0;     // numbers the unit never sent
    [[nodiscard]] bool Faultless() const {
      return duplicated == 0 && reordered == 0 && missing == 0 && foreign == 0;
    }
  };

  void Stored(std::uint32_t number);
  // Distinct frames from 0 up to (not including) `sent` stored so far.
  [[nodiscard]] std::uint64_t StoredOf(std::uint32_t sent) const;
  [[nodiscard]] Summary Check(std::uint32_t sent) const;

 private:
  std::set<std::uint32_t> seen_;
  std::int64_t highest_ = -1;
  std::uint64_t stored_ = 0;
  std::uint64_t duplicated_ = 0;
  std::uint64_t reordered_ = 0;
};

}  // namespace kestrova::tools
