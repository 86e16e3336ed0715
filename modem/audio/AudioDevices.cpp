// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/AudioDevices.h"

#include "modem/audio/NullAudio.h"
#include "modem/audio/PlatformAudio.h"

namespace quillon {

AudioDevices::AudioDevices() : AudioDevices(CreatePlatformAudioBackend()) {}

AudioDevices::AudioDevices(std::unique_ptr<AudioBackend> platform, double loopback_speed)
    : platform_(std::move(platform)), loopback_(std::make_unique<LoopbackAudio>(loopback_speed)) {}

AudioDevices::~AudioDevices() = default;

std::vector<std::string> AudioDevices::PlatformDevices(AudioDirection direction) {
  if (!platform_) return {};
  return platform_->ListDevices(direction);
}

std::vector<std::string> AudioDevices::ListDevices(AudioDirection direction) {
  std::vector<std::string> names = PlatformDevices(direction);
  names.push_back(kLoopbackDeviceName);
  names.push_back(kNullDeviceName);
  return names;
}

std::vector<std::string> AudioDevices::DeviceNames(AudioDirection direction) {
  std::vector<std::string> names = platform_ ? platform_->DeviceNames(direction) : std::vector<std::string>{};
  names.push_back(kLoopbackDeviceName);
  names.push_back(kNullDeviceName);
  return names;
}

int AudioDevices::LoopbackNumber(AudioDirection direction) {
  return static_cast<int>(PlatformDevices(direction).size());
}

int AudioDevices::NullNumber(AudioDirection direction) { return LoopbackNumber(direction) + 1; }

std::unique_ptr<AudioStream> AudioDevices::Open(AudioDirection direction, int number) {
  if (number < -1) return nullptr;
  if (number == -1) return platform_ ? platform_->Open(direction, -1) : nullptr;
  const int loopback = LoopbackNumber(direction);
  if (number < loopback) return platform_->Open(direction, number);
  if (number == loopback) return loopback_->Open(direction, 0);
  if (number == loopback + 1) return NullAudio().Open(direction, 0);
  return nullptr;
}

}  // namespace quillon
