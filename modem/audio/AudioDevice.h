// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small audio-device layer under the capture and playback threads:
// 16-bit mono PCM at 8000 samples/s in blocks of 512 samples (64 ms), with a
// few blocks of queueing inside the device. One backend per file: ALSA on
// Linux, winmm on Windows, and the in-process loopback and null devices that
// every platform has.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {

constexpr int kAudioBlockSamples = 512;  // one block: 1024 bytes, 64 ms at kSampleRateHz

enum class AudioDirection { Capture, Playback };

// One open stream in one direction. Read and Write block until a whole block
// has been captured or accepted, which paces the calling thread.
class AudioStream {
 public:
  virtual ~AudioStream() = default;
  // Capture: fills block[0..511]; false when the device failed for good.
  virtual bool Read(int16_t* block) = 0;
  // Playback: queues block[0..511]; false when the device failed for good.
  virtual bool Write(const int16_t* block) = 0;
  // Playback: how many samples written so far the device has yet to play,
  // so the transmitter stays keyed until the last of them is out; -1 when
  // the device cannot tell.
  virtual long PendingSamples() { return -1; }
};

// A source of devices: lists them and opens one by its number in the list.
class AudioBackend {
 public:
  virtual ~AudioBackend() = default;
  // What the menus show, one entry per device (a name, perhaps described).
  virtual std::vector<std::string> ListDevices(AudioDirection direction) = 0;
  // The names devices are chosen by, in the same order: what the settings
  // file keeps and the command line takes. A name stays with its device when
  // others come and go; a number does not.
  virtual std::vector<std::string> DeviceNames(AudioDirection direction) { return ListDevices(direction); }
  // number -1 is the backend's default device; nullptr when it will not open.
  virtual std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) = 0;
};

}  // namespace quillon
