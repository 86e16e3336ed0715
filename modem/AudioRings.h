#pragma once
// The two audio rings of a station. The transmit audio ring holds blocks the
// adapter has already scaled and clipped, waiting for the playback thread; the
// capture ring holds the raw 16-bit blocks the capture thread recorded,
// waiting for the driver thread. Both are single-producer single-consumer: a
// block is written completely before the write index is published (release)
// and read after the index has been loaded (acquire). The writer does not test
// for room in the transmit ring, whose reader and writer are the same thread.

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/Containers.h"
#include "modem/audio/AudioDevice.h"

namespace quillon {

// PBuferG: blocks of 512 doubles in -0.95..0.95. Psave is the block written
// next (by ModulateXmtr), Pload the block played next (by the playback
// thread). The program's ring has 10000 blocks (40 MB); a station that never
// plays through a sound card may ask for fewer.
class TransmitAudioRing {
 public:
  static constexpr int kDefaultBlocks = 10000;

  explicit TransmitAudioRing(int blocks = kDefaultBlocks);
  TransmitAudioRing(const TransmitAudioRing&) = delete;
  TransmitAudioRing& operator=(const TransmitAudioRing&) = delete;

  int Blocks() const { return blocks_; }
  int Next(int index) const { return index >= blocks_ - 1 ? 0 : index + 1; }
  bool Empty() const;
  int Pending() const;
  // Writer: copies 512 values into block Psave, then advances Psave.
  void Put(const double* block);
  // Reader: the block at Pload, or nullptr when the ring is empty.
  const double* Front() const;
  // Reader: advances Pload past the block Front returned.
  void Pop();
  // Both indices to 0 and every value to 0. Only while nobody uses the ring.
  void Clear();

  std::atomic<int> Psave{0};
  std::atomic<int> Pload{0};

 private:
  int blocks_;
  Array<double> samples_;
};

// DTMFbuffer: 100 blocks of 512 signed 16-bit samples (6.4 s). DTMF_SAVE_uk is
// the block the capture thread writes next, DTMF_LOAD_uk the block the driver
// thread reads next.
class CaptureRing {
 public:
  static constexpr int kBlocks = 100;

  static int Next(int index) { return index >= kBlocks - 1 ? 0 : index + 1; }
  // Writer: copies one block in, then advances DTMF_SAVE_uk. When the reader
  // has fallen 99 blocks behind the ring is full and the block is dropped
  // (false).
  bool Put(const int16_t* block);
  // Reader: copies the block at DTMF_LOAD_uk out and advances it; false when
  // the ring is empty.
  bool Take(int16_t* block);
  // Reader: drops everything captured so far (DTMF_LOAD_uk = DTMF_SAVE_uk).
  void Skip();
  // Both indices to 0. Only while nobody uses the ring.
  void Clear();

  std::atomic<int> DTMF_SAVE_uk{0};
  std::atomic<int> DTMF_LOAD_uk{0};

 private:
  std::array<int16_t, kBlocks * kAudioBlockSamples> samples_{};
};

}  // namespace quillon
