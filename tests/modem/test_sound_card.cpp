// SPDX-License-Identifier: GPL-3.0-or-later
// The audio rings, the level conversions at the sound card, the station
// state and the capture and playback threads over the simulated devices.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "modem/AudioRings.h"
#include "modem/SampleLevels.h"
#include "modem/SoundCard.h"
#include "modem/audio/AudioDevices.h"
#include "modem/audio/LoopbackAudio.h"
#include "modem/audio/NullAudio.h"

namespace quillon {
namespace {
TEST(SampleLevels, PlaybackScalesBy20000AndTruncates) {
  EXPECT_EQ(PlaybackSample(0.95), 19000);
  EXPECT_EQ(PlaybackSample(-0.95), -19000);
  EXPECT_EQ(PlaybackSample(0.00004), 0);
  EXPECT_EQ(PlaybackSample(-0.00004), 0);
  EXPECT_EQ(PlaybackSample(0.70795), 14159);
  EXPECT_EQ(PlaybackSample(0.5 + 0.9999 / 20000.0), 10000);  // toward zero, not rounded
}

TEST(SampleLevels, CaptureDividesBy32767) {
  EXPECT_NEAR(CaptureSample(-32768), -1.0000305, 1e-7);
  EXPECT_EQ(CaptureSample(32767), 1.0);
  EXPECT_EQ(CaptureSample(0), 0.0);
}

TEST(AudioRings, TransmitRingWrapsAfterItsLastBlock) {
  TransmitAudioRing ring(3);
  double block[kAudioBlockSamples];
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(ring.Front(), nullptr);
  for (int round = 0; round < 5; ++round) {
    std::fill(block, block + kAudioBlockSamples, round * 0.1);
    ring.Put(block);
    EXPECT_EQ(ring.Pending(), 1);
    ASSERT_NE(ring.Front(), nullptr);
    EXPECT_EQ(ring.Front()[511], round * 0.1);
    ring.Pop();
    EXPECT_TRUE(ring.Empty());
  }
  EXPECT_EQ(ring.Psave.load(), 5 % 3);
  EXPECT_EQ(TransmitAudioRing().Next(9999), 0);
  EXPECT_EQ(TransmitAudioRing().Next(9998), 9999);
}

TEST(AudioRings, CaptureRingKeepsOrderAndSkips) {
  CaptureRing ring;
  int16_t block[kAudioBlockSamples];
  int16_t out[kAudioBlockSamples];
  EXPECT_FALSE(ring.Take(out));
  for (int16_t v = 1; v <= 150; ++v) {  // wraps at 100
    std::fill(block, block + kAudioBlockSamples, v);
    ring.Put(block);
    ASSERT_TRUE(ring.Take(out));
    EXPECT_EQ(out[0], v);
  }
  EXPECT_EQ(ring.DTMF_SAVE_uk.load(), 50);
  ring.Put(block);
  ring.Put(block);
  ring.Skip();
  EXPECT_FALSE(ring.Take(out));
}

TEST(AudioRings, FullCaptureRingDropsNewBlocksInsteadOfLosingAllWaiting) {
  CaptureRing ring;
  int16_t block[kAudioBlockSamples];
  for (int16_t v = 1; v <= 99; ++v) {
    std::fill(block, block + kAudioBlockSamples, v);
    EXPECT_TRUE(ring.Put(block));
  }
  EXPECT_FALSE(ring.Put(block));
  for (int16_t v = 1; v <= 99; ++v) {
    ASSERT_TRUE(ring.Take(block));
    EXPECT_EQ(block[0], v);
  }
  EXPECT_FALSE(ring.Take(block));
}

TEST(StationState, ResetReturnsToStationStart) {
  LinkState link;
  StationState station(link, 8);
  double block[kAudioBlockSamples] = {0.5};
  int16_t samples[kAudioBlockSamples] = {};
  station.PBuferG.Put(block);
  station.DTMFbuffer.Put(samples);
  station.monitor_tap.Put(samples);
  station.markerGL = 17;
  station.progdefaults.eight_bit = true;
  station.progdefaults.tones_code = 3;
  station.InDECSW = 4;
  station.mode_number = 105;
  station.Reset();
  EXPECT_TRUE(station.PBuferG.Empty());
  EXPECT_EQ(station.PBuferG.Psave.load(), 0);
  EXPECT_FALSE(station.DTMFbuffer.Take(samples));
  EXPECT_EQ(station.DTMFbuffer.DTMF_SAVE_uk.load(), 0);
  EXPECT_FALSE(station.monitor_tap.Take(samples));
  EXPECT_EQ(station.markerGL, 0);
  EXPECT_FALSE(station.progdefaults.eight_bit.load());
  EXPECT_EQ(station.progdefaults.tones_code, 0);
  EXPECT_EQ(station.InDECSW.load(), -1);
  EXPECT_EQ(station.OutDECSW.load(), -1);
  EXPECT_EQ(station.mode_number.load(), 101);
  EXPECT_EQ(&ProcessStationState().link, &ProcessLinkState());
}

// A backend whose devices never open.
class DeadBackend : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection) override { return {}; }
  std::unique_ptr<AudioStream> Open(AudioDirection, int) override { return nullptr; }
};

TEST(SoundCard, OpenTwiceRefusedCloseJoins) {
  LinkState link;
  StationState station(link, 32);
  NullAudio null;
  EXPECT_EQ(CloseWaveOut(station), 0);  // never opened
  EXPECT_EQ(InitWaveIn(station, null, -1), 1);
  EXPECT_EQ(InitWaveIn(station, null, -1), 0);  // already open
  EXPECT_EQ(InitWaveOut(station, null, 0), 1);
  EXPECT_EQ(station.buf_sound_out.rate, 8000);
  EXPECT_EQ(station.buf_sound_out.channels, 1);
  EXPECT_EQ(CloseWaveIn(station), 1);
  EXPECT_EQ(station.buf_sound_in.state.load(), 0);
  EXPECT_FALSE(station.buf_sound_in.thread.joinable());
  EXPECT_EQ(CloseWaveOut(station), 1);
  EXPECT_EQ(CloseWaveOut(station), 0);
}

TEST(SoundCard, DeviceThatWillNotOpenLeavesTheDirectionClosed) {
  LinkState link;
  StationState station(link, 32);
  DeadBackend dead;
  EXPECT_EQ(InitWaveIn(station, dead, 3), 0);
  EXPECT_EQ(InitWaveOut(station, dead, 3), 0);
  EXPECT_EQ(CloseWaveIn(station), 0);
  NullAudio null;
  EXPECT_EQ(InitWaveOut(station, null, 0), 1);  // another device opens afterwards
  EXPECT_EQ(CloseWaveOut(station), 1);
}

TEST(SoundCard, IdlePlaybackPlaysSilenceAndSetsZeroYes) {
  LinkState link;
  StationState station(link, 32);
  int16_t block[kAudioBlockSamples];
  block[0] = 77;
  EXPECT_FALSE(FillPlaybackBlock(station, block));
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(link.ZeroYes.load(), 1);

  link.ZeroYes = 0;
  double values[kAudioBlockSamples];
  for (int j = 0; j < kAudioBlockSamples; ++j) values[j] = j % 2 ? 0.95 : -0.00004;
  station.PBuferG.Put(values);
  EXPECT_TRUE(FillPlaybackBlock(station, block));
  EXPECT_EQ(block[1], 19000);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(link.ZeroYes.load(), 0);
  EXPECT_TRUE(station.PBuferG.Empty());

  // start_prd without an adapter does not hang the playback thread.
  link.start_prd = 1;
  EXPECT_FALSE(FillPlaybackBlock(station, block));
}

// Playback that refuses every other write and keeps the blocks it took.
class RefusingPlayback : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection) override { return {"refusing"}; }
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int) override {
    if (direction != AudioDirection::Playback) return nullptr;
    return std::make_unique<Stream>(*this);
  }
  std::vector<int16_t> Played() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_samples_;
  }

 private:
  class Stream : public AudioStream {
   public:
    explicit Stream(RefusingPlayback& owner) : owner_(owner) {}
    bool Read(int16_t*) override { return false; }
    bool Write(const int16_t* block) override {
      refuse_ = !refuse_;
      if (refuse_) return false;
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      if (block[0] != 0) owner_.first_samples_.push_back(block[0]);  // silence is not counted
      return true;
    }

   private:
    RefusingPlayback& owner_;
    bool refuse_ = false;
  };

  std::mutex mutex_;
  std::vector<int16_t> first_samples_;
};

TEST(SoundCard, BlockTheDeviceRefusedIsWrittenAgain) {
  LinkState link;
  StationState station(link, 32);
  double values[kAudioBlockSamples];
  for (int n = 1; n <= 6; ++n) {
    std::fill(values, values + kAudioBlockSamples, n * 0.05);  // plays as n * 1000
    station.PBuferG.Put(values);
  }
  RefusingPlayback device;
  ASSERT_EQ(InitWaveOut(station, device, 0), 1);
  const std::vector<int16_t> all{1000, 2000, 3000, 4000, 5000, 6000};
  // Six refusals, each waited out for one block time (64 ms).
  for (int tries = 0; tries < 300 && device.Played().size() < all.size(); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(CloseWaveOut(station), 1);
  EXPECT_EQ(device.Played(), all);
}

TEST(SoundCard, CaptureThreadFillsTheCaptureRing) {
  LinkState link;
  StationState station(link, 32);
  LoopbackAudio loopback(16.0);
  ASSERT_EQ(InitWaveIn(station, loopback, 0), 1);
  int16_t block[kAudioBlockSamples];
  int taken = 0;
  for (int tries = 0; tries < 200 && taken < 5; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (station.DTMFbuffer.Take(block)) ++taken;
  }
  EXPECT_GE(taken, 5);
  EXPECT_EQ(CloseWaveIn(station), 1);
}

// A capture device that delivers `blocks` blocks, each filled with its own
// number, then fails. It stays at most 32 blocks ahead of what the test has
// read from the capture ring, so the receiver's ring (99 blocks) never
// overflows and every block must reach it.
class CountingBackend : public AudioBackend {
 public:
  explicit CountingBackend(int blocks) : blocks_(blocks) {}
  std::vector<std::string> ListDevices(AudioDirection) override { return {"counting"}; }
  std::unique_ptr<AudioStream> Open(AudioDirection, int) override { return std::make_unique<Stream>(*this); }
  std::atomic<int> received{0};

 private:
  class Stream : public AudioStream {
   public:
    explicit Stream(CountingBackend& owner) : owner_(owner) {}
    bool Read(int16_t* block) override {
      if (next_ >= owner_.blocks_) return false;
      while (next_ - owner_.received.load() >= 32) std::this_thread::yield();
      std::fill(block, block + kAudioBlockSamples, static_cast<int16_t>(next_++));
      return true;
    }
    bool Write(const int16_t*) override { return false; }

   private:
    CountingBackend& owner_;
    int next_ = 0;
  };
  int blocks_;
};

// The window drains the tap only now and then: the receiver still gets every
// block in order, and the tap gives whole blocks (no block half overwritten
// while the window copies it), in order, with the ones it had no room for
// left out.
TEST(SoundCard, MonitorTapDropsForASlowWindowWithoutTouchingTheReceiver) {
  constexpr int kBlocks = 400;
  LinkState link;
  StationState station(link, 8);
  CountingBackend counting(kBlocks);
  ASSERT_EQ(InitWaveIn(station, counting, 0), 1);
  int16_t block[kAudioBlockSamples];
  int last_tapped = -1;
  int tapped = 0;
  for (int tries = 0; tries < 200000 && counting.received.load() < kBlocks; ++tries) {
    while (station.DTMFbuffer.Take(block)) {
      ASSERT_EQ(block[0], counting.received.load());
      ASSERT_EQ(block[kAudioBlockSamples - 1], block[0]);
      ++counting.received;
    }
    if (tries % 64 == 0 && station.monitor_tap.Take(block)) {
      ASSERT_GT(block[0], last_tapped);
      ASSERT_EQ(std::count(block, block + kAudioBlockSamples, block[0]), kAudioBlockSamples);
      last_tapped = block[0];
      ++tapped;
    }
    std::this_thread::yield();
  }
  EXPECT_EQ(CloseWaveIn(station), 1);
  EXPECT_EQ(counting.received.load(), kBlocks);
  while (station.monitor_tap.Take(block)) {
    ASSERT_GT(block[0], last_tapped);
    last_tapped = block[0];
    ++tapped;
  }
  EXPECT_GE(tapped, 1);
  EXPECT_LT(tapped, kBlocks);  // the tap's 15 blocks cannot have held all 400
}

}  // namespace
}  // namespace quillon
