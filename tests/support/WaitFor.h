#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include <gtest/gtest.h>

namespace kestrova::test {

// Waits until the condition holds, testing it every millisecond, and never
// times anything. After 20 s it gives up with a test failure that names what
// did not arrive. Once a wait of a test has given up, its later waits give
// up at once: a test whose link is broken fails in seconds instead of
// sitting out every step until its time limit.
inline bool WaitFor(const std::function<bool()>& condition, std::string_view what) {
  static const ::testing::TestInfo* gaveUpIn = nullptr;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto limit =
      gaveUpIn != nullptr && gaveUpIn == test ? std::chrono::seconds(0) : std::chrono::seconds(20);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      gaveUpIn = test;
      ADD_FAILURE() << "gave up waiting for " << what;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace kestrova::test
