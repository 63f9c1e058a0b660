#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs the built kestrova-cli as a script would: arguments, standard output
// and standard error to files, the exit code.
namespace kestrova::cli::testing {

struct ProgramResult {
  int exitCode = -1;
  std::string out;  // standard output, bytes as written
  std::string err;  // standard error
};

// A folder of its own for one test, removed when it goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Sets a variable of this process's environment, which the programs it
// starts inherit.
void SetEnvironment(const std::string& name, const std::string& value);

// Runs the program to its end.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const ScratchFolder& scratch);

#ifndef _WIN32
// Runs the program with standard output into a pipe that is closed once
// `lines` lines came through it (or it ended), as `| head -n` does; `out`
// holds what was read.
ProgramResult RunIntoClosingPipe(const std::vector<std::string>& arguments, const ScratchFolder& scratch,
                                 int lines);

// Runs the program to its end with standard output into `out` (a file or a
// device such as /dev/full); `out` in the result stays empty.
ProgramResult RunProgramWritingTo(const std::vector<std::string>& arguments, const ScratchFolder& scratch,
                                  const std::filesystem::path& out);

// The program running in the background, for tests that signal it.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& arguments, const ScratchFolder& scratch);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  void Signal(int signal) const;
  // Waits for the end; the exit code, or 128 + the signal that ended it.
  ProgramResult Wait();

 private:
  int pid_ = -1;
  std::filesystem::path out_;
  std::filesystem::path err_;
};
#endif

}  // namespace kestrova::cli::testing
