#pragma once

#include <cstdint>
#include <vector>

namespace kestrova {

// Event types of the notifications the receive thread sends to the windows
// (posted as custom events with these numbers; they carry no parameters
// except the terminal's payload).
inline constexpr int WM_FRAME_READY = 1034;  // a frame waits in the FrameHandoff queue
inline constexpr int WM_LINK_LOST = 1036;    // a driver call failed on the receive thread
inline constexpr int WM_TERMINAL_RX = 1037;  // a frame for the Custom Command dialog

// How the session's receive thread notifies the user-interface thread.
//
// Every method is called on the receive thread and must return at once: post
// and go, never block and never wait for the user-interface thread (closing
// the session joins the receive thread from the user-interface thread).
class SessionEvents {
 public:
  virtual ~SessionEvents() = default;

  // A frame payload was queued in the FrameHandoff (WM_FRAME_READY).
  virtual void PostFrameReady() = 0;
  // A status, read or write call failed; AcquisitionRunning has been
  // cleared (WM_LINK_LOST).
  virtual void PostLinkLost() = 0;
  // While the terminal is open: a copy of a frame payload, in place of
  // PostFrameReady (WM_TERMINAL_RX). The copy is the receiver's to keep.
  virtual void PostTerminalFrame(std::vector<std::uint8_t> payload) = 0;
};

}  // namespace kestrova
