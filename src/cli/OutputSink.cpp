#include "cli/OutputSink.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#if __has_include(<stdio_ext.h>)
#include <stdio_ext.h>
#endif

namespace kestrova::cli {

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
  return {std::u8string(utf8.begin(), utf8.end())};
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

}  // namespace

OutputSink::OutputSink(std::string path) : path_(std::move(path)) {}

std::string OutputSink::Name() const { return IsStandardOutput() ? "standard output" : "'" + path_ + "'"; }

bool OutputSink::Open() {
  if (IsStandardOutput()) {
#ifdef _WIN32
    (void)_setmode(_fileno(stdout), _O_BINARY);
#endif
    return true;
  }
  if (file_.Create(path_)) return true;
  // Say why as precisely as the file system lets us.
  std::error_code ec;
  const std::filesystem::path path = PathOf(path_);
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  if (!std::filesystem::is_directory(folder, ec)) {
    error_ = "cannot create " + Name() + ": the folder '" + Utf8Of(folder) + "' does not exist";
  } else if (std::filesystem::is_directory(path, ec)) {
    error_ = "cannot create " + Name() + ": it is a folder";
  } else {
    error_ = "cannot create " + Name() + " (no permission, or another program is writing it)";
  }
  return false;
}

bool OutputSink::Write(std::string_view text) {
  if (!IsStandardOutput()) {
    if (file_.Write(text)) return true;
    error_ = "writing " + Name() + " failed (is the disk full?)";
    return false;
  }
  if (readerClosed_) return false;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return true;
  if (errno == EPIPE) {
    readerClosed_ = true;
    DropUnwrittenStandardOutput();
  }
  error_ = kStandardOutputFailed;
  return false;
}

bool OutputSink::Close() {
  if (IsStandardOutput()) return readerClosed_ || std::fflush(stdout) == 0;
  if (file_.Close()) return true;
  error_ = "closing " + Name() + " failed: the system reported a write error";
  return false;
}

void DropUnwrittenStandardOutput() {
#if __has_include(<stdio_ext.h>)
  __fpurge(stdout);
#endif
}

}  // namespace kestrova::cli
