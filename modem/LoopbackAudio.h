#pragma once
// An in-process sound card whose output is wired to its input: every block
// played becomes a captured block, both paced by a real-time clock at 8000
// samples/s. Capture delivers silence while nothing has been played. Like a
// sound card the playback side accepts a few blocks ahead of time and the
// capture side hears a block once it has "played".

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "modem/AudioDevice.h"

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
