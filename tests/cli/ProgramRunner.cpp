#include "ProgramRunner.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kestrova::cli::testing {

namespace {

std::atomic<int> g_scratchCount{0};

#ifndef _WIN32
// Standard output to the file `out`, or to the descriptor `outPipe` when it
// is one (its other end, `closeInChild`, is closed in the program).
int Spawn(const std::vector<std::string>& arguments, const std::filesystem::path& out,
          const std::filesystem::path& err, int outPipe = -1, int closeInChild = -1) {
  std::vector<std::string> words{KESTROVA_CLI_PROGRAM};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (outPipe >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outPipe, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe);
    posix_spawn_file_actions_addclose(&actions, closeInChild);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

int WaitFor(int pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}
#endif

}  // namespace

ScratchFolder::ScratchFolder()
    : path_(std::filesystem::temp_directory_path() /
            ("kestrova-cli-test-" + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) +
             "-" + std::to_string(g_scratchCount++))) {
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

#ifdef _WIN32

ProgramResult RunProgram(const std::vector<std::string>& arguments, const ScratchFolder& scratch) {
  const auto quoted = [](const std::string& word) { return "\"" + word + "\""; };
  std::string command = quoted(KESTROVA_CLI_PROGRAM);
  for (const std::string& argument : arguments) command += " " + quoted(argument);
  const std::filesystem::path out = scratch / "stdout.txt";
  const std::filesystem::path err = scratch / "stderr.txt";
  command += " > " + quoted(out.string()) + " 2> " + quoted(err.string());
  // cmd takes the outer quotes off the whole line.
  ProgramResult result;
  result.exitCode = std::system(("\"" + command + "\"").c_str());
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

#else

ProgramResult RunProgram(const std::vector<std::string>& arguments, const ScratchFolder& scratch) {
  RunningProgram program(arguments, scratch);
  return program.Wait();
}

ProgramResult RunIntoClosingPipe(const std::vector<std::string>& arguments, const ScratchFolder& scratch,
                                 int lines) {
  std::array<int, 2> ends{-1, -1};
  ProgramResult result;
  if (pipe(ends.data()) != 0) return result;
  const std::filesystem::path err = scratch / "stderr.txt";
  const int pid = Spawn(arguments, {}, err, ends[1], ends[0]);
  close(ends[1]);
  std::array<char, 4096> block{};
  while (pid > 0 && std::ranges::count(result.out, '\n') < lines) {
    const ssize_t got = read(ends[0], block.data(), block.size());
    if (got <= 0) break;
    result.out.append(block.data(), static_cast<std::size_t>(got));
  }
  close(ends[0]);
  if (pid > 0) result.exitCode = WaitFor(pid);
  result.err = ReadFile(err);
  return result;
}

ProgramResult RunProgramWritingTo(const std::vector<std::string>& arguments, const ScratchFolder& scratch,
                                  const std::filesystem::path& out) {
  const std::filesystem::path err = scratch / "stderr.txt";
  const int pid = Spawn(arguments, out, err);
  ProgramResult result;
  if (pid > 0) result.exitCode = WaitFor(pid);
  result.err = ReadFile(err);
  return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& arguments, const ScratchFolder& scratch)
    : out_(scratch / "stdout.txt"), err_(scratch / "stderr.txt") {
  pid_ = Spawn(arguments, out_, err_);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    WaitFor(pid_);
  }
}

void RunningProgram::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

ProgramResult RunningProgram::Wait() {
  ProgramResult result;
  if (pid_ > 0) result.exitCode = WaitFor(pid_);
  pid_ = -1;
  result.out = ReadFile(out_);
  result.err = ReadFile(err_);
  return result;
}

#endif

}  // namespace kestrova::cli::testing
