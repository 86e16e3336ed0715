// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link controller: every 100 ms it turns the transmit indicator off after
// a transmission, counts down the pending transmit entries in the status bar,
// frames a requested text into the transmit ring and starts the transmitter,
// and empties the receive ring through the frame receiver, showing, checking
// and archiving each frame.

#include <functional>
#include <string>

#include "link/Archive.h"
#include "link/FrameReceiver.h"
#include "link/FrameSignal.h"
#include "link/LinkState.h"
#include "link/LinkView.h"

namespace quillon {

struct LinkControllerContext {
  LinkState& state;
  LinkView& view;
  // Resets and starts the active modem's transmitter, which then takes its
  // characters from the transmit ring.
  std::function<void()> start_transmitter;
  // Where log.txt lives.
  std::string home_directory;
  // Timestamps for the archive; empty means the local time.
  ArchiveClock clock;
  // Whether a playback device is open to carry a transmission; a request
  // made without one is refused, so that it cannot go on air later, after
  // some device change. Empty means always.
  std::function<bool()> playback_open = {};
  // How received frames are judged: the wait for the check extension (the
  // driver sets it from the mode) and the confidence gate.
  FrameReceiverSettings receive = {};
  // Whether a sent frame carries the check extension.
  bool send_check_extension = true;
  // The settings record's mode number (93..111), for the signal report.
  int mode_number = 0;
  // Keys the transmitter (and waits its lead) just before a frame goes into
  // the transmit ring. False refuses the transmission, with the status-bar
  // text in `refusal`. Empty means nothing is keyed.
  std::function<bool(std::string& refusal)> key_transmitter = {};
};

class LinkController {
 public:
  static constexpr int kTickMilliseconds = 100;

  explicit LinkController(const LinkControllerContext& context);

  // One polling period's work, with no sleep.
  void Tick();
  // Tick, sleep 100 ms, while STOPTIM is 0 (tested before the first tick).
  void Run();

 private:
  void WatchEndOfTransmission();
  void CountDown();
  void ServeTransmitRequest();
  void SendText(const std::string& text);
  void DrainReceiveRing();
  void Show(const ReceiveEvents& events);
  void FinishFrame(const ReceivedFrame& frame);

  LinkState& state_;
  LinkView& view_;
  std::function<void()> start_transmitter_;
  std::function<bool()> playback_open_;
  std::function<bool(std::string&)> key_transmitter_;
  bool send_check_extension_;
  Archive archive_;
  FrameReceiver receiver_;
  FrameSignal signal_;  // the frame being received, block by block
  int mode_number_;
  int remaining_ = 0;       // non-zero while the countdown is shown
  int after_transmit_ = 0;  // ticks since the end of a transmission was seen
  int last_start_prd_ = 0;
};

// The link controller thread: runs a fresh LinkController until STOPTIM.
void tim(const LinkControllerContext& context);

}  // namespace quillon
