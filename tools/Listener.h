// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A monitoring station on the command line: audio from a capture device into
// one receiver or all 19, each decided frame printed at once and, when asked,
// sent to other programs as a UDP datagram.

#include <atomic>
#include <cstdio>
#include <string>

#include "modem/audio/AudioDevice.h"
#include "modem/net/UdpSender.h"
#include "tools/FrameDecoder.h"

namespace quillon {

// Where each received frame goes: a line on `out` (plain, or the JSON of
// decode --json with the UTC time it was received), and the same JSON as
// one datagram to `udp` when there is one. A datagram the system refuses is
// said once on standard error and the station listens on.
class FrameAnnouncer {
 public:
  FrameAnnouncer(std::FILE* out, bool json, bool with_mode, UdpSender* udp)
      : out_(out), json_(json), with_mode_(with_mode), udp_(udp) {}

  void Announce(const DecodedFrame& frame, const std::string& time_utc);

 private:
  std::FILE* out_;
  bool json_;
  bool with_mode_;
  UdpSender* udp_;
  bool udp_failure_said_ = false;
};

// "2026-12-09T01:40:05Z", now.
std::string UtcNow();

// Reads blocks from `input` into `decoders` until `stop` is set. False when
// the device failed (not when it failed because `stop` interrupted it).
bool ListenUntil(AudioStream& input, ModeDecoders& decoders, const std::atomic<bool>& stop);

}  // namespace quillon
