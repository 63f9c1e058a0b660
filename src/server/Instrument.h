#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "cli/CliOptions.h"
#include "server/ErrorQueue.h"
#include "server/ScpiParser.h"

namespace kestrova::server {

// What the instrument asks of the unit. The server's main thread.
class UnitPort {
 public:
  virtual ~UnitPort() = default;
  // Sends the configuration of `settings` with the run bit `running`.
  virtual void Configure(const ScopeSettings& settings, bool running) = 0;
  // The flag the receive thread reads; the decoder reads it too.
  virtual const AcquisitionRunning& Running() const = 0;
  // Frames received before this point are of no use any more.
  virtual void DiscardQueuedFrames() = 0;
  // Opens the terminal (replies come to it instead of the frame queue)
  // and sends one framed command.
  virtual void SendTerminal(std::span<const std::uint8_t> frame) = 0;
  // Closes the terminal again; the replies received meanwhile, oldest first.
  virtual std::vector<std::string> FinishTerminal() = 0;
};

// Who the instrument is, for *IDN? and SYSTem:UNIT?.
struct Identity {
  std::string identification;  // the unit's answer to the identification query
  std::string serial;
  std::string version;  // Kestrova's
};

// The command tree of the instrument: the acquisition settings read and
// limited by the window's rules (through the command line's settings path),
// run control, the latest frame and its measurements, the status registers
// and the error queue. The server's main thread only.
class Instrument {
 public:
  enum class Progress { Done, Waiting };

  // How long SYSTem:RAW? collects the unit's replies.
  static constexpr std::chrono::milliseconds kRawWait{100};

  Instrument(UnitPort& unit, Identity identity);

  // Starts streaming with the window's default settings.
  void Start();
  // Stops streaming (the server then parks the unit).
  void Stop();

  // Runs one program message. Waiting: a command waits for the unit (a
  // single shot, the first frame, the terminal's replies); call Resume
  // until Done, and send nothing new meanwhile.
  Progress Input(std::string_view message);
  Progress Resume();
  // The response of the finished message: the query results joined by ';'
  // and a line feed, or nothing when no query answered.
  std::string TakeReply();

  // A frame payload from the unit.
  void OnFrame(std::span<const std::uint8_t> payload);
  // The link was lost; the server reconnects and then calls Reapply.
  void OnLinkLost();
  void Reapply();
  // The client went away: drops what its message still waited for.
  void ClientGone();

  [[nodiscard]] bool Running() const { return running_; }
  // Frames handed in and frames stored since the instrument was made (a
  // frame is not stored when stopped, or refused for its checksum).
  [[nodiscard]] long long FramesReceived() const { return framesReceived_; }
  [[nodiscard]] long long FramesStored() const { return framesStored_; }
  [[nodiscard]] const ScopeSettings& Settings() const { return settings_; }
  [[nodiscard]] ErrorQueue& Errors() { return errors_; }

 private:
  struct Call;
  enum class Id : int;

  Progress RunPending();
  Progress Execute(const ProgramCommand& command);
  Progress Dispatch(Id id, const Call& call);
  // Rebuilds the settings from the typed options; false (and the error
  // queued) when the window refuses them, which leaves everything as it was.
  bool ApplyOptions(const cli::SettingsOptions& options);
  void Restart();
  void StopRun();
  void QueueError(int code, std::string_view detail = {});
  // The latest stored frame's slot, or a reason to wait or fail.
  Progress LatestFrame(int& slot);
  // The values as the waveform format sends them.
  [[nodiscard]] std::string Encode(std::span<const double> values) const;
  Progress History(const Call& call);
  Progress MeasureQuery(const Call& call, int which);
  Progress Raw(const Call& call);
  Progress SettingCommand(Id id, const Call& call);
  void Respond(std::string response) { responses_.push_back(std::move(response)); }

  UnitPort& unit_;
  Identity identity_;
  cli::SettingsOptions options_;
  ScopeSettings settings_;
  SampleBuffer buffer_;
  ErrorQueue errors_;

  bool running_ = false;
  bool singlePending_ = false;  // SINGle armed, its triggered frame not in yet
  long long framesReceived_ = 0;
  long long framesStored_ = 0;
  int latestSlot_ = -1;  // slot of the newest frame stored since the last start
  int waveformChannel_ = 0;
  bool realFormat_ = false;
  int eventStatus_ = 0;  // *ESR
  int eventEnable_ = 0;  // *ESE
  bool opcArmed_ = false;
  bool rawWaiting_ = false;
  std::chrono::steady_clock::time_point rawDeadline_{};

  std::vector<ProgramCommand> pending_;
  std::size_t next_ = 0;
  int parseError_ = 0;
  std::vector<HeaderNode> path_;  // the header path the next relative command continues
  std::vector<std::string> responses_;
  std::string reply_;
};

}  // namespace kestrova::server
