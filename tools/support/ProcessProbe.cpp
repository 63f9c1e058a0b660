#include "support/ProcessProbe.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace kestrova::tools {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// utime + stime of a /proc stat line, in nanoseconds. The name field may hold
// blanks and parentheses, so the fields are counted after its last ')'.
std::uint64_t StatCpuNs(const std::string& stat) {
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  std::uint64_t utime = 0;
  std::uint64_t stime = 0;
  // Fields 3.. follow the name; utime is field 14, stime field 15.
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index == 14) utime = std::stoull(field);
    if (index == 15) stime = std::stoull(field);
  }
#ifdef __linux__
  const auto ticks = static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
#else
  const std::uint64_t ticks = 100;
#endif
  return (utime + stime) * (1'000'000'000ULL / std::max<std::uint64_t>(ticks, 1));
}

// The voluntary_ctxt_switches field of a /proc status file, or 0.
std::uint64_t VoluntarySwitches(const fs::path& status) {
  std::ifstream in(status);
  const std::string key = "voluntary_ctxt_switches:";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) != 0) continue;
    try {
      return std::stoull(line.substr(key.size()));
    } catch (const std::exception&) {
      return 0;
    }
  }
  return 0;
}

}  // namespace

std::vector<ThreadTimes> ReadThreadTimes() {
  std::vector<ThreadTimes> threads;
  std::error_code error;
  for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", error)) {
    ThreadTimes t;
    try {
      t.tid = std::stoi(task.path().filename().string());
    } catch (const std::exception&) {
      continue;
    }
    t.name = FirstLine(task.path() / "comm");
    const std::string schedstat = FirstLine(task.path() / "schedstat");
    if (!schedstat.empty()) {
      std::istringstream(schedstat) >> t.cpuNs;
    } else {
      t.cpuNs = StatCpuNs(FirstLine(task.path() / "stat"));
    }
    t.sleeps = VoluntarySwitches(task.path() / "status");
    threads.push_back(std::move(t));
  }
  return threads;
}

int CountThreadsNamed(const std::string& name) {
  int count = 0;
  std::error_code error;
  for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", error)) {
    if (FirstLine(task.path() / "comm") == name) ++count;
  }
  return count;
}

std::vector<std::string> OpenDescriptors() {
  std::vector<std::string> open;
  std::error_code error;
  for (const fs::directory_entry& fd : fs::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(fd.path(), linkError);
    // The descriptor of this listing itself comes and goes with it.
    if (linkError || target.string().rfind("/proc/", 0) == 0) continue;
    open.push_back(fd.path().filename().string() + " -> " + target.string());
  }
  std::ranges::sort(open);
  return open;
}

bool IsFileOpen(const std::string& path) {
  std::error_code error;
  const fs::path wanted = fs::weakly_canonical(path, error);
  for (const fs::directory_entry& fd : fs::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    if (fs::read_symlink(fd.path(), linkError) == wanted && !linkError) return true;
  }
  return false;
}

std::string LoadAverage() {
  std::istringstream line(FirstLine("/proc/loadavg"));
  std::string a, b, c;
  if (!(line >> a >> b >> c)) return "?";
  return a + " " + b + " " + c;
}

int CurrentThreadId() {
#ifdef __linux__
  return static_cast<int>(syscall(SYS_gettid));
#else
  return 0;
#endif
}

}  // namespace kestrova::tools
