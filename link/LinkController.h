// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link controller: every 100 ms it turns the transmit indicator off after
// a transmission, counts down the pending transmit entries in the status bar,
// frames a requested text into the transmit ring and starts the transmitter,
// and empties the receive ring through the frame receiver, showing, checking
// and archiving each frame.
//
// Listening in all modes, it empties one receive ring per mode, each through
// a frame receiver of its own. The lower pane follows, character by
// character, the first frame that starts while it follows none; a frame of
// another mode that ends meanwhile replaces it with its finished text (the
// interrupted frame then appears whole when it ends). Each finished frame
// names its mode in the status bar and in its archive record.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/Archive.h"
#include "link/FrameReceiver.h"
#include "link/FrameSignal.h"
#include "link/LinkState.h"
#include "link/LinkView.h"

namespace quillon {

// The receive ring of another mode, when the station listens in all modes.
struct OtherModeRing {
  int mode_number = 0;     // 93..111
  std::string mode_label;  // "OLIVIA_8_500"
  ReceiveRing* ring = nullptr;
  FrameReceiverSettings receive = {};
};

// Sends one finished frame's JSON to other programs; false with the reason
// when the system refused it.
using FrameAnnouncer = std::function<bool(const std::string& json, std::string& error)>;

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
  // The label of the mode number ("OLIVIA_8_500"), for the announced JSON
  // and, listening in all modes, for status texts and archive records.
  std::string mode_label = {};
  // The other modes' rings (the station's own Bufer_Olivia carries the
  // chosen mode); empty when the station listens in one mode.
  std::vector<OtherModeRing> other_modes = {};
  // Each finished frame as JSON (see link/FrameJson.h); empty sends nothing.
  FrameAnnouncer announce = {};
  // The start of the audio, from which the JSON's start_s and end_s count.
  std::chrono::steady_clock::time_point listening_since = std::chrono::steady_clock::now();
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
  // One mode's receiver: its ring, frame receive machine and the signal of
  // the frame it is receiving.
  struct Channel {
    ReceiveRing* ring;
    FrameReceiver receiver;
    int mode_number;
    std::string label;
    FrameSignal signal = {};
    double start_s = 0;        // when the frame's start marker came (s since listening_since)
    double end_s = 0;          // when its check byte came
    bool check_seen = false;
  };

  void DrainReceiveRing();
  void Drain(std::size_t index, double now_s);
  void Show(std::size_t index, const ReceiveEvents& events, double now_s);
  void FinishFrame(Channel& channel, const ReceivedFrame& frame, double now_s);
  // Hands the frame to the announcer; the reason for a failure, once per
  // run of failures, else empty.
  std::string Announce(const Channel& channel, const ReceivedFrame& frame, const SignalReport& report);

  LinkState& state_;
  LinkView& view_;
  std::function<void()> start_transmitter_;
  std::function<bool()> playback_open_;
  std::function<bool(std::string&)> key_transmitter_;
  bool send_check_extension_;
  Archive archive_;
  std::vector<Channel> channels_;  // the chosen mode's first
  bool name_modes_;                // listening in all modes
  int followed_ = -1;              // the channel the lower pane follows live; -1 none
  FrameAnnouncer announce_;
  bool announce_failing_ = false;
  std::chrono::steady_clock::time_point listening_since_;
  int remaining_ = 0;       // non-zero while the countdown is shown
  int after_transmit_ = 0;  // ticks since the end of a transmission was seen
  int last_start_prd_ = 0;
};

// The link controller thread: runs a fresh LinkController until STOPTIM.
void tim(const LinkControllerContext& context);

}  // namespace quillon
