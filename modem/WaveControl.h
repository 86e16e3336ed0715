// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control record of one audio direction (buf_sound_in, buf_sound_out):
// the owner starts and stops the capture or playback thread through it.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace quillon {

// kWaveLost: the device would not open, or stopped taking blocks; the thread
// lives on and tries to open it again every few seconds.
enum WaveState { kWaveClosed = 0, kWaveOpen = 1, kWaveStarting = -1, kWaveLost = 2 };

struct WaveControl {
  WaveControl() = default;
  WaveControl(const WaveControl&) = delete;
  WaveControl& operator=(const WaveControl&) = delete;
  // A station that goes away stops its thread rather than abandoning it.
  ~WaveControl();

  int device = 0;  // -1 is the default device, 0.. a device of the list
  int rate = 0;    // always 8000
  std::atomic<int> state{kWaveClosed};  // written by the thread (and by Init: -1)
  int channels = 0;                      // always 1
  std::atomic<int> run{0};               // 1 keep running, 0 the owner asks the thread to end
  // The device's name when the thread started ("default" for -1): the
  // thread reopens the device of this name, wherever the list now has it.
  // Written by Init before the thread starts, read by the thread and the
  // driver (for its messages).
  std::string name;

  std::thread thread;  // TidIn / TidOut
  // Open and close come from the window thread (start, exit) and from the
  // driver thread (device or mode change); this serialises them. The audio
  // path itself never takes it.
  std::mutex lifecycle;
};

}  // namespace quillon
