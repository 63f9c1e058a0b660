#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "captures/Capture.h"

// A capture file shown in the main window for review: the window draws from
// the history ring as on a live capture, and the ring holds only the frames
// of the visible window, read from the file whenever the window moves.
namespace kestrova {

class CaptureReview {
 public:
  CaptureReview(std::unique_ptr<CaptureSource> source, std::string path);

  [[nodiscard]] const CaptureInfo& Info() const { return source_->Info(); }
  [[nodiscard]] CaptureSource& Source() { return *source_; }
  [[nodiscard]] const std::string& Path() const { return path_; }
  // The file's name without its folders.
  [[nodiscard]] std::string FileName() const;
  // The first frame of the visible window.
  [[nodiscard]] long long Position() const { return position_; }

  // The last position of a window of `framesPerScreen` frames: the scroll
  // bar spans 0..this, one frame a step, however long the file is.
  [[nodiscard]] int LastPosition(int framesPerScreen) const;

  // Takes the capture's mode, time base, channels (ticked when the file has
  // them), scale and offset into the settings, and refreshes the mapping.
  void ApplyTo(ScopeSettings& settings) const;
  // Puts back into `settings` what ApplyTo took from the capture, from the
  // settings as they were before: a review leaves the user's settings as
  // they were.
  static void RestoreLive(ScopeSettings& settings, const ScopeSettings& live);

  // Reads the window of `framesPerScreen` frames from `first` (clipped to
  // the file) into ring slots 0.. and sets the ring's positions so that the
  // display shows exactly those slots and File Save's slots are them.
  // Channels the file does not hold read as their offset. A frame shorter
  // than 500 samples (the end of a foreign file) repeats its last sample. On
  // a read error the ring is left as it was and the message says why.
  // User-interface thread.
  bool Show(long long first, int framesPerScreen, const ScopeSettings& settings, SampleBuffer& buffer,
            LocalText& error);

 private:
  std::unique_ptr<CaptureSource> source_;
  std::string path_;
  long long position_ = 0;
  FrameBlock block_;
};

// The Time list's index of a time per division, or -1 when it has none.
int TimeIndexOf(int timePerDivision);

// Opens a capture file on a thread of its own, so that the window goes on
// while a long CSV is indexed. The thread calls `done` once the outcome is
// ready (from that thread: the callee posts it on); it never waits for the
// caller. Destroying the opening cancels it and joins the thread.
class BackgroundOpen {
 public:
  BackgroundOpen(std::string path, std::function<void()> done);
  ~BackgroundOpen();
  BackgroundOpen(const BackgroundOpen&) = delete;
  BackgroundOpen& operator=(const BackgroundOpen&) = delete;

  // The fraction done (0..1); any thread.
  [[nodiscard]] double Progress() const { return progress_.load(std::memory_order_relaxed); }
  // Asks the opening to stop at its next progress step; any thread.
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  [[nodiscard]] bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  [[nodiscard]] const std::string& Path() const { return path_; }
  // True once the outcome is ready; then Take hands it over (once).
  [[nodiscard]] bool Done() const { return done_.load(std::memory_order_acquire); }
  [[nodiscard]] OpenedCapture Take();

 private:
  std::string path_;
  std::atomic<double> progress_{0.0};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> done_{false};
  OpenedCapture outcome_;  // the thread's until done_, then the caller's
  std::jthread thread_;
};

}  // namespace kestrova
