#pragma once

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace kestrova::test {

// A folder of its own for the running test, in the system's temporary
// folder, removed with everything in it when it goes. The name holds the
// test's name and a random number: the same suite run from two builds at
// once must not share files.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // A parameterised test's name holds a '/': one folder, not two.
    std::replace(name.begin(), name.end(), '/', '-');
    path_ = std::filesystem::temp_directory_path() / ("kestrova-" + name + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  [[nodiscard]] std::string File(const std::string& name) const { return (path_ / name).string(); }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace kestrova::test
