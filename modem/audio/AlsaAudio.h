#pragma once
// ALSA (Linux): blocking reads and writes of 512-frame periods, 16-bit mono
// at 8000 frames/s, with a buffer of 4 periods. -1 opens "default"; the list
// comes from the device hints (PCM names with descriptions) in listed order.
// An underrun or overrun is recovered and the stream keeps going.

#include <memory>
#include <string>
#include <vector>

#include "modem/audio/AudioDevice.h"

namespace quillon {

class AlsaAudio : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection direction) override;
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override;

  // The PCM names behind the list, in the same order (e.g. "default",
  // "hw:CARD=PCH,DEV=0").
  std::vector<std::string> DeviceNames(AudioDirection direction);
};

}  // namespace quillon
