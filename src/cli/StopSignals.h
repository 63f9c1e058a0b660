#pragma once

namespace kestrova::cli {

// The requests to stop a run from outside: SIGINT and SIGTERM (Ctrl+C,
// Ctrl+Break and closing the console on Windows). The first one sets a flag
// that the run polls between frames, so the unit is stopped and parked and
// the output closed after its last whole frame; a second one ends the
// program at once. A closed pipe on standard output (SIGPIPE) becomes a
// refused write, which ends the run as a stop request does, instead of
// killing the program with the unit running.
//
// One instance at a time; created and destroyed on the main thread, which
// alone polls it. The handler runs wherever the system runs it and only
// touches a lock-free atomic.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  [[nodiscard]] static bool Requested();
};

}  // namespace kestrova::cli
