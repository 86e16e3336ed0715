// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device list the program offers: the platform's devices numbered 0..k-1
// in the order the platform lists them, then "Quillon loopback" (whatever is
// played is captured again, so a station hears itself) and "Quillon null
// (silence)" as two more entries in each direction. -1 is the platform's
// default device. The shells build their device pop-ups from this list
// (menu ids 402 + n and 502 + n).

#include <memory>
#include <string>
#include <vector>

#include "modem/audio/AudioDevice.h"
#include "modem/audio/LoopbackAudio.h"

namespace quillon {

constexpr const char* kLoopbackDeviceName = "Quillon loopback";
constexpr const char* kNullDeviceName = "Quillon null (silence)";

class AudioDevices : public AudioBackend {
 public:
  // Over CreatePlatformAudioBackend().
  AudioDevices();
  // Over a given platform backend; nullptr for none (only the two extras).
  // A loopback speed above 1 runs its clock faster than real time (tests).
  explicit AudioDevices(std::unique_ptr<AudioBackend> platform, double loopback_speed = 1.0);
  ~AudioDevices() override;

  std::vector<std::string> ListDevices(AudioDirection direction) override;
  std::vector<std::string> DeviceNames(AudioDirection direction) override;
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override;

  // Numbers of the two extra entries in a direction (they follow the
  // platform's devices, so they can differ between directions).
  int LoopbackNumber(AudioDirection direction);
  int NullNumber(AudioDirection direction);

  LoopbackAudio& Loopback() { return *loopback_; }

 private:
  std::vector<std::string> PlatformDevices(AudioDirection direction);

  std::unique_ptr<AudioBackend> platform_;
  std::unique_ptr<LoopbackAudio> loopback_;
};

}  // namespace quillon
