// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One received frame as one line of JSON, for programs that log or relay
// messages: what `quillon-cli decode --json` prints, what `listen --udp` and
// the window's `udp_events` send as one datagram each.
//
//   {"mode":"OLIVIA_8_500","mode_number":101,"good":true,"integrity":"verified",
//    "check_character_agrees":true,"weakest_strength":7.812,"expected":62,
//    "received":62,"text":"abc","text_cp1251_hex":"616263","link_bytes":3,
//    "start_s":1.024,"end_s":6.144,"snr":12.50,"snr_db":-3.2,
//    "freq_offset_hz":4.10,"time":"2026-12-09T01:40:05Z"}
//
// A figure nobody measured is null.

#include <ctime>
#include <string>

#include "link/FrameReceiver.h"

namespace quillon {

// Where and how a frame was heard, beside the frame itself.
struct FrameHearing {
  const char* mode_label = "";  // "OLIVIA_8_500"
  int mode_number = 0;          // the settings record's mode number, 93..111
  // Seconds into the audio: the decision that completed the start marker,
  // and the one of the check byte.
  double start_s = 0.0;
  double end_s = 0.0;
  double snr = 0.0;             // the receiver's own ratio, mean over the frame's decisions; NaN: null
  double snr_db = 0.0;          // dB in 2500 Hz; NaN: null
  double freq_offset_hz = 0.0;  // Hz from the band centre; NaN: null
};

// The object on one line; `time_utc` (as UtcTimeText gives it) becomes
// "time" when not empty.
std::string FrameJson(const ReceivedFrame& frame, const FrameHearing& hearing, const std::string& time_utc = "");

// A JSON string literal (quotes included) of UTF-8 text.
std::string JsonString(const std::string& utf8);

// "2026-12-09T01:40:05Z".
std::string UtcTimeText(std::time_t time);

}  // namespace quillon
