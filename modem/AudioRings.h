// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The audio rings of a station, all single-producer single-consumer rings of
// 512-sample blocks. The transmit audio ring holds blocks the adapter has
// already scaled and clipped, waiting for the playback thread; the capture
// ring holds the raw 16-bit blocks the capture thread recorded, waiting for
// the driver thread; the monitor tap holds copies of the same blocks for the
// window's band strip.

#include <array>
#include <atomic>
#include <cstdint>

#include "link/SpscRing.h"
#include "modem/audio/AudioDevice.h"

namespace quillon {

// PBuferG: blocks of 512 doubles in -0.95..0.95. Psave is the block written
// next (by ModulateXmtr), Pload the block played next (by the playback
// thread). Writer and reader are the same thread, which asks the adapter for
// more only when the ring is empty, so the writer never tests for room. The
// program's ring has 10000 blocks (40 MB); a station that never plays
// through a sound card may ask for fewer.
class TransmitAudioRing {
  // First, so that the index names below can refer into it.
  SpscRing<std::array<double, kAudioBlockSamples>> ring_;

 public:
  static constexpr int kDefaultBlocks = 10000;

  explicit TransmitAudioRing(int blocks = kDefaultBlocks) : ring_(blocks) {}

  int Blocks() const { return ring_.Slots(); }
  int Next(int index) const { return ring_.Next(index); }
  bool Empty() const { return ring_.Empty(); }
  int Pending() const { return ring_.Pending(); }
  // Writer: copies 512 values into block Psave, then advances Psave.
  void Put(const double* block);
  // Reader: the block at Pload, or nullptr when the ring is empty.
  const double* Front() const;
  // Reader: advances Pload past the block Front returned.
  void Pop() { ring_.Pop(); }
  // Both indices to 0. Only while nobody uses the ring.
  void Clear() { ring_.Clear(); }

  std::atomic<int>& Psave = ring_.write_index;
  std::atomic<int>& Pload = ring_.read_index;
};

// DTMFbuffer: 100 blocks of 512 signed 16-bit samples (6.4 s). DTMF_SAVE_uk is
// the block the capture thread writes next, DTMF_LOAD_uk the block the driver
// thread reads next.
class CaptureRing {
  SpscRing<std::array<int16_t, kAudioBlockSamples>> ring_;

 public:
  static constexpr int kBlocks = 100;

  CaptureRing() : ring_(kBlocks) {}

  int Next(int index) const { return ring_.Next(index); }
  // Writer: copies one block in, then advances DTMF_SAVE_uk. When the reader
  // has fallen 99 blocks behind the ring is full and the block is dropped
  // (false).
  bool Put(const int16_t* block);
  // Reader: copies the block at DTMF_LOAD_uk out and advances it; false when
  // the ring is empty.
  bool Take(int16_t* block);
  // Reader: drops everything captured so far (DTMF_LOAD_uk = DTMF_SAVE_uk).
  void Skip() { ring_.Skip(); }
  // Both indices to 0. Only while nobody uses the ring.
  void Clear() { ring_.Clear(); }

  std::atomic<int>& DTMF_SAVE_uk = ring_.write_index;
  std::atomic<int>& DTMF_LOAD_uk = ring_.read_index;
};

// A copy of every captured block for the window, which shows the band and the
// level. The window is no real-time reader: it drains the tap on a timer and
// may stall (a menu held open, a busy desktop), so the capture thread never
// waits for it: a block that finds the tap full is dropped from the tap alone
// (the receiver has had its copy in the capture ring already).
class MonitorTap {
  SpscRing<std::array<int16_t, kAudioBlockSamples>> ring_;

 public:
  // 1 s of audio: ten times what arrives between two 100 ms window ticks.
  static constexpr int kBlocks = 16;

  MonitorTap() : ring_(kBlocks) {}

  // Capture thread: copies one block in; false when the tap was full and the
  // block was dropped.
  bool Put(const int16_t* block);
  // Window: copies the oldest block out; false when the tap is empty.
  bool Take(int16_t* block);
  // Both indices to 0. Only while nobody uses the tap.
  void Clear() { ring_.Clear(); }
};

}  // namespace quillon
