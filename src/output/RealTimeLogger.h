#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/ControlPanel.h"
#include "acquisition/OperationMode.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "output/LogClock.h"
#include "output/LogFile.h"
#include "resources/Translatable.h"

namespace kestrova {

// Shown with the stop icon when Start cannot create the log file.
inline constexpr std::string_view kRealSaveCreateFailedMessage =
    KESTROVA_TR_NOOP("Kestrova", "실시간 데이터 기록 파일을 생성하는데 실패하였습니다.");
// Shown with the stop icon when lines could not be written to the log file
// (a full disk). Logging has stopped for the rest of the run by then.
inline constexpr std::string_view kRealSaveWriteFailedMessage =
    KESTROVA_TR_NOOP("Kestrova", "실시간 데이터 기록 파일에 쓰는데 실패하였습니다.");

// The sample of each frame that goes into the log: the middle one.
inline constexpr int kLoggedSample = 250;

// What CreateRealSaveFile did.
enum class RealSaveStart {
  Off,           // logging not enabled: no file
  Logging,       // the file was created
  CreateFailed,  // show kRealSaveCreateFailedMessage and switch logging off; the run goes on
};

// What WriteRealSaveLine did with one accepted frame.
enum class RealSaveWrite {
  Counted,      // no line due at this frame
  Written,      // a line went to the file
  NotOpen,      // a line was due but no file is open: nothing written
  WriteFailed,  // the file refused the line: it is closed now and the rest of
                // the run logs nothing; switch logging off and show
                // kRealSaveWriteFailedMessage
};

// What EndRealSave did.
enum class RealSaveEnd {
  NotOpen,      // nothing was open
  Closed,       // closed cleanly
  WriteFailed,  // closed, but the system reported an error on closing; show
                // kRealSaveWriteFailedMessage
};

// One log line: "%d-%d-%d, %02d:%02d:%02d:%03d, %.4f, %.4f, %.4f, %.4f" and
// CR LF, independent of the C locale. Any thread.
std::string FormatRealSaveLine(const LocalTime& time, const std::array<double, kChannelCount>& values);

// A run time as "%d - %02d:%02d:%02d:%03d": days, hours, minutes, seconds,
// milliseconds. Any thread.
std::string FormatElapsedTime(std::uint32_t elapsedMs);

// The real-time log of a running capture: while logging is on, one line with
// the local time and the middle sample of each channel for every N accepted
// frames, N taken from RealSaveIntervalTable. It also measures the run time.
//
// The main window owns one and calls it on the user-interface thread only:
// BeginRealSave when Start begins, MarkRunStart once the unit streams,
// CreateRealSaveFile right after (never before the unit is open),
// WriteRealSaveLine for each accepted frame while realSaveEnable is 1 (after
// the frame is stored at writeIndex, before writeIndex moves on),
// ShowElapsedTime after each accepted frame while running, and EndRealSave
// whenever the run ends (Stop, lost link, failed Start, the window closing).
// Destroying it closes a file still open.
class RealTimeLogger {
 public:
  explicit RealTimeLogger(TickSource tick = SteadyTickMilliseconds,
                          LocalTimeSource localTime = CurrentLocalTime);

  // Resets the frame counter for a new run and closes a file still open from
  // an earlier one. Touches no file on disk: a Start that then cannot open
  // the unit leaves the previous run's log as it was.
  void BeginRealSave();

  // When realSaveEnable is 1, creates the log file at realSavePath (an
  // existing file is emptied: each run starts a new file). Called once the
  // unit is open.
  RealSaveStart CreateRealSaveFile(const ScopeSettings& settings);

  // Remembers the tick at which the run started.
  void MarkRunStart();

  // Counts one accepted frame and writes a line when the interval is reached.
  // The interval is that of realSaveIndex (out-of-range indices use the
  // nearest entry); the values are those of buffer slot writeIndex minus the
  // current mode's channel offsets. Each line goes to the end of the file
  // before this returns. A failed write closes the file and is reported once.
  RealSaveWrite WriteRealSaveLine(const ScopeSettings& settings, const SampleBuffer& buffer);

  // Closes the log file if it is open. Harmless when nothing is open.
  RealSaveEnd EndRealSave();

  // The time since MarkRunStart, in 32-bit tick arithmetic (right across
  // the tick's wrap-around), formatted by FormatElapsedTime.
  [[nodiscard]] std::string ElapsedTimeText() const;

  // Puts ElapsedTimeText into the elapsed-time static.
  void ShowElapsedTime(ControlPanel& panel) const;

  [[nodiscard]] bool IsOpen() const { return realSaveFile_.IsOpen(); }
  [[nodiscard]] int RealSaveCounter() const { return realSaveCounter_; }
  [[nodiscard]] std::uint32_t RunStartTick() const { return runStartTick_; }

 private:
  TickSource tick_;
  LocalTimeSource localTime_;
  LogFile realSaveFile_;
  int realSaveCounter_ = 0;         // accepted frames since the last line
  std::uint32_t runStartTick_ = 0;  // tick at MarkRunStart
};

}  // namespace kestrova
