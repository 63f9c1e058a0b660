#pragma once

#include <atomic>

namespace kestrova {

// True while the unit is commanded to stream (bit 8 of the configuration
// command). Set and cleared by run control on the user-interface thread;
// cleared by the receive thread when a driver call fails. Read by both.
class AcquisitionRunning {
 public:
  [[nodiscard]] bool Get() const { return flag_.load(std::memory_order_acquire); }
  void Set(bool running) { flag_.store(running, std::memory_order_release); }

 private:
  std::atomic<bool> flag_{false};
};

}  // namespace kestrova
