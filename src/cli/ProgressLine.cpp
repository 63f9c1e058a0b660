#include "cli/ProgressLine.h"

#include <array>

#include "acquisition/NumberText.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kestrova::cli {

namespace {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

// The losses other than checksums that are not zero, each after ", ".
std::string OtherLosses(const RunCounts& counts) {
  std::string text;
  const auto part = [&text](std::uint64_t n, const char* what) {
    if (n != 0) text += ", " + std::to_string(n) + what;
  };
  part(counts.queueDropped, " lost in the queue");
  part(counts.brokenFrames, " broken in transit");
  part(counts.discardedBytes, " bytes discarded");
  part(counts.overruns, " USB overruns");
  return text;
}

std::string ProgressText(const RunCounts& counts, double seconds) {
  const double rate = seconds > 0.0 ? static_cast<double>(counts.stored) / seconds : 0.0;
  return std::to_string(counts.stored) + " frames in " + FormatFixed(seconds, 1) + " s, " +
         FormatFixed(rate, 1) + " frames/s, " + std::to_string(counts.checksumDropped) +
         " dropped by checksum" + OtherLosses(counts);
}

std::string LossSummary(const RunCounts& counts) {
  const std::string others = OtherLosses(counts);
  if (counts.checksumDropped == 0 && others.empty()) return {};
  return "losses: " + std::to_string(counts.checksumDropped) + " dropped by checksum" + others;
}

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled && StandardErrorIsTerminal()) {}

void ProgressLine::Update(const RunCounts& counts, bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - last_ < std::chrono::milliseconds(250)) return;
  last_ = now;
  shown_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  // \033[K clears what a longer earlier line left.
  std::fprintf(stderr, "\r%s\033[K", ProgressText(counts, seconds).c_str());
  std::fflush(stderr);
}

void ProgressLine::Finish() {
  if (!shown_) return;
  std::fputc('\n', stderr);
  shown_ = false;
}

}  // namespace kestrova::cli
