#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::tools {

// One thread of this process as /proc shows it.
struct ThreadTimes {
  int tid = 0;
  std::string name;
  std::uint64_t cpuNs = 0;  // user + system time so far
  // Times the thread went to sleep of its own accord so far (each one ends
  // in a wake-up); 0 where the kernel does not count them.
  std::uint64_t sleeps = 0;
};

// Every thread of this process with its CPU time: from
// /proc/self/task/*/schedstat (nanoseconds) where the kernel keeps it, else
// from the utime and stime fields of /proc/self/task/*/stat (clock ticks);
// and its voluntary context switches from /proc/self/task/*/status.
// Empty where /proc is missing. Any thread.
std::vector<ThreadTimes> ReadThreadTimes();

// How many threads of this process carry that name. Any thread.
int CountThreadsNamed(const std::string& name);

// The open file descriptors of this process with what each points to
// ("3 -> /tmp/x.log"), sorted. Empty where /proc is missing. Any thread.
std::vector<std::string> OpenDescriptors();

// True when one of this process's descriptors points to that path.
bool IsFileOpen(const std::string& path);

// The first three fields of /proc/loadavg, or "?".
std::string LoadAverage();

// Thread id of the calling thread.
int CurrentThreadId();

}  // namespace kestrova::tools
