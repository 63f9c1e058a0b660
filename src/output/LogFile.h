#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace kestrova {

// A text file written through a buffer, created empty for writing only and
// held exclusively while it is open. The caller writes the line ends it
// wants: the file is binary, so "\r\n" reaches the disk unchanged on every
// platform.
//
// Exclusive access: on Windows the file is opened with write sharing
// denied, so no other program can open it for writing meanwhile (reading,
// to watch the log grow, stays possible). Elsewhere it carries an advisory
// whole-file lock; a second writer that honours it (another log of ours) is
// refused and the file is not truncated under the first. Programs that ignore
// advisory locks are not kept out.
//
// User-interface thread only.
class LogFile {
 public:
  // Bytes held back before they go to the disk.
  static constexpr std::size_t kBufferSize = 4096;

  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  LogFile(LogFile&&) noexcept = default;
  LogFile& operator=(LogFile&&) noexcept = default;
  // Closes the file, writing out the buffer.
  ~LogFile() = default;

  // Creates the file at path (UTF-8), truncating an existing one. Closes a
  // file still open first. False, with nothing open, when the path is empty,
  // holds a NUL, cannot be opened for writing, or is held by another writer.
  // Never blocks on a named pipe without a reader: that fails instead.
  [[nodiscard]] bool Create(const std::string& path);

  [[nodiscard]] bool IsOpen() const { return file_ != nullptr; }

  // Appends text to the buffer, writing the buffer out when it fills. False
  // when the file is not open or the system refused a write (a full disk);
  // the file stays open, the caller decides what happens next.
  [[nodiscard]] bool Write(std::string_view text);

  // Writes out the buffer and closes the file. False when that failed, or
  // when an earlier write had failed. True when nothing was open.
  bool Close();

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace kestrova
