// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-process sound card whose output is wired to its input: every block
// played becomes a captured block, both paced by a real-time clock at 8000
// samples/s. Capture delivers silence while nothing is being played, and
// hears the played blocks 3 blocks (192 ms) late, about what a sound card
// has in flight. While playback runs, a late block is waited for (up to
// 500 ms) instead of being replaced by silence.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "modem/audio/AudioDevice.h"

namespace quillon {

class LoopbackAudio : public AudioBackend {
 public:
  // speed > 1 runs the clock faster than real time (tests only).
  explicit LoopbackAudio(double speed = 1.0);

  // One device in each direction, number 0 (and -1 for the default).
  std::vector<std::string> ListDevices(AudioDirection direction) override;
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override;

  // The wire between the two sides; shared by every stream opened here.
  class Wire;

 private:
  std::shared_ptr<Wire> wire_;
};

}  // namespace quillon
