// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// winmm (Windows waveform audio): each open stream keeps 4 wave headers of
// 1024 bytes (512 samples, 64 ms) queued on the device and polls them every
// 10 ms, without a callback; a header is finished when its flags are exactly
// WHDR_DONE | WHDR_PREPARED. -1 opens WAVE_MAPPER, the system's default
// device; the list holds the product names of the devices in system order.

#include <memory>
#include <string>
#include <vector>

#include "modem/audio/AudioDevice.h"

namespace quillon {

class WinmmAudio : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection direction) override;
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override;
};

}  // namespace quillon
