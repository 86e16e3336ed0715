// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ALSA (Linux): blocking reads and writes of 512-frame periods, 16-bit mono
// at 8000 frames/s, with a buffer of 4 periods. -1 opens "default"; the list
// comes from the device hints (PCM names with descriptions) in listed order.
// An underrun or overrun is recovered and the stream keeps going.
//
// Sound cards that only take 44.1 or 48 kHz, or only stereo, are opened
// through ALSA's plug layer, which converts rate, channels and format:
// "hw:..." always opens as "plughw:...", and any other device that refuses
// 8000 Hz mono is opened again as plug:'NAME'.

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
  std::vector<std::string> DeviceNames(AudioDirection direction) override;

  // Opens a PCM by its ALSA name, through the plug layer where needed.
  std::unique_ptr<AudioStream> OpenNamed(AudioDirection direction, const std::string& name);
  // The name that opens `name` through the plug layer: "hw:X" gives
  // "plughw:X", a plug device stays as it is, anything else gives plug:'NAME'.
  static std::string PlugName(const std::string& name);
};

}  // namespace quillon
