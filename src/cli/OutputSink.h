#pragma once

#include <string>
#include <string_view>

#include "output/LogFile.h"

namespace kestrova::cli {

// Where a run writes: a new file (held exclusively, each write handed to the
// system before it returns, as the window's log) or standard output, which
// is flushed after each write. The caller writes whole frames or whole
// lines, so whatever ends the run leaves only whole ones behind. Main thread.
class OutputSink {
 public:
  // "-" is standard output (switched to binary on Windows so that CR LF
  // stays as it is).
  explicit OutputSink(std::string path);

  // Creates the file (standard output needs nothing). False with Error()
  // saying why.
  [[nodiscard]] bool Open();
  // False when the system refused the text (a full disk, a closed pipe).
  [[nodiscard]] bool Write(std::string_view text);
  // Closes the file; false when the system reported an error on closing.
  bool Close();
  // True once a write found standard output's reader gone (a pipe into
  // `head` that has read enough): normal in a shell, and the end of the run
  // rather than a failure. What was still buffered is dropped then.
  [[nodiscard]] bool ReaderClosed() const { return readerClosed_; }

  [[nodiscard]] bool IsStandardOutput() const { return path_ == "-"; }
  // The path for messages ("standard output" for "-").
  [[nodiscard]] std::string Name() const;
  [[nodiscard]] const std::string& Error() const { return error_; }

 private:
  std::string path_;
  LogFile file_;
  std::string error_;
  bool readerClosed_ = false;
};

// Standard output's reader is gone: drops what stdio still holds for it, so
// that the flush at exit does not try again (by then SIGPIPE may no longer
// be ignored, and the signal would end the program).
void DropUnwrittenStandardOutput();

// Standard output refused text; the message for the user.
inline constexpr const char* kStandardOutputFailed = "writing to standard output failed (is the disk full?)";

}  // namespace kestrova::cli
