// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "No sound card": capture delivers silence and playback discards its blocks,
// both paced by a real-time clock at 8000 samples/s.

#include <memory>
#include <string>
#include <vector>

#include "modem/audio/AudioDevice.h"

namespace quillon {

class NullAudio : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection direction) override;
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override;
};

}  // namespace quillon
