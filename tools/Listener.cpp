// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Listener.h"

#include <ctime>
#include <vector>

#include "tools/FrameOutput.h"

namespace quillon {

std::string UtcNow() { return UtcTimeText(std::time(nullptr)); }

void FrameAnnouncer::Announce(const DecodedFrame& frame, const std::string& time_utc) {
  const std::string json = JsonFrameLine(frame, time_utc);
  const std::string line = json_ ? json : time_utc + "  " + PlainFrameLine(frame, with_mode_);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
  if (udp_ == nullptr) return;
  std::string error;
  if (udp_->Send(json, error)) {
    udp_failure_said_ = false;
  } else if (!udp_failure_said_) {
    std::fprintf(stderr, "quillon-cli: %s\n", error.c_str());
    udp_failure_said_ = true;
  }
}

bool ListenUntil(AudioStream& input, ModeDecoders& decoders, const std::atomic<bool>& stop) {
  std::vector<int16_t> block(kAudioBlockSamples);
  while (!stop.load()) {
    // A capture interrupted by the signal that ends the station is no failure.
    if (!input.Read(block.data())) return stop.load();
    decoders.Hear(block.data(), block.size());
  }
  return true;
}

}  // namespace quillon
