#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// A text file that takes one line at a time straight to the system: each
// Write is handed to the operating system before it returns, so a program
// that is killed or crashes loses at most the line it was writing. Every
// write lands at the end of the file, wherever another program may have cut
// it meanwhile. The file is created empty for writing only; the caller writes
// the line ends it wants ("\r\n" reaches the disk unchanged on every
// platform).
//
// Exclusive access: no other writer may have the file while it is open. On
// Windows the file is opened with writing shared with nobody; readers may
// still follow it. Elsewhere it carries an advisory whole-file lock; a second
// writer that honours it (another log of ours) is refused and the file is not
// truncated under the first. Programs that ignore advisory locks are not kept
// out.
//
// Lines are not forced onto the medium one by one (no sync per line): the
// system writes them out on its own schedule, and a sync on the
// user-interface thread ten times a second would stall the window on slow
// media.
//
// User-interface thread only.
class LogFile {
 public:
  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  LogFile(LogFile&& other) noexcept;
  LogFile& operator=(LogFile&& other) noexcept;
  // Closes the file.
  ~LogFile();

  // Creates the file at path (UTF-8), truncating an existing one. Closes a
  // file still open first. False, with nothing open, when the path is empty,
  // holds a NUL, cannot be opened for writing, or is held by another writer.
  // Never blocks on a named pipe without a reader: that fails instead.
  [[nodiscard]] bool Create(const std::string& path);

  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }

  // Appends text at the current end of the file, all of it before returning
  // (an interrupted or partial write is continued). False when the file is
  // not open or the system refused a write (a full disk); the file stays
  // open, the caller decides what happens next.
  [[nodiscard]] bool Write(std::string_view text);

  // Closes the file. False when the system reported an error on closing
  // (some network file systems report failed writes only then). True when
  // nothing was open.
  bool Close();

 private:
  int fd_ = -1;  // the system's file descriptor, -1 when closed
};

}  // namespace kestrova
