// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/LoopbackAudio.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>

#include "modem/audio/BlockClock.h"

namespace quillon {

namespace {
// The capture side starts handing on played blocks once this many wait, and
// keeps that much slack against the two threads' scheduling jitter (192 ms,
// like the few blocks a sound card has in flight).
constexpr std::size_t kLatencyBlocks = 3;
// More than this waiting means nobody has been capturing; the surplus is old.
constexpr std::size_t kMostBlocks = 8;
// How long the capture side waits for a late block before it takes playback
// to have stopped.
constexpr auto kStallWait = std::chrono::milliseconds(500);
}  // namespace

using Block = std::array<int16_t, kAudioBlockSamples>;

class LoopbackAudio::Wire {
 public:
  explicit Wire(double wire_speed) : speed(wire_speed) {}

  void Play(const int16_t* samples) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Block block;
      std::copy(samples, samples + kAudioBlockSamples, block.begin());
      blocks_.push_back(block);
      while (blocks_.size() > kMostBlocks + kLatencyBlocks) blocks_.pop_front();
    }
    played_.notify_one();
  }

  void Capture(int16_t* samples) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (blocks_.size() > kMostBlocks) blocks_.pop_front();
    if (!primed_ && blocks_.size() >= kLatencyBlocks) primed_ = true;
    // While the other side plays, a late block is waited for rather than
    // replaced by silence, so a scheduling stall of the playing thread does
    // not cut a gap into the signal.
    if (primed_ && blocks_.empty())
      played_.wait_for(lock, kStallWait, [this] { return !blocks_.empty(); });
    if (!primed_ || blocks_.empty()) {
      primed_ = false;
      std::fill(samples, samples + kAudioBlockSamples, int16_t{0});
      return;
    }
    std::copy(blocks_.front().begin(), blocks_.front().end(), samples);
    blocks_.pop_front();
  }

  const double speed;

 private:
  std::mutex mutex_;
  std::condition_variable played_;
  std::deque<Block> blocks_;
  bool primed_ = false;
};

namespace {

class LoopbackStream : public AudioStream {
 public:
  explicit LoopbackStream(std::shared_ptr<LoopbackAudio::Wire> wire)
      : wire_(std::move(wire)), clock_(wire_->speed) {}

  bool Read(int16_t* block) override {
    clock_.WaitForNextBlock();
    wire_->Capture(block);
    return true;
  }
  bool Write(const int16_t* block) override {
    clock_.WaitForNextBlock();
    wire_->Play(block);
    last_write_ = BlockClock::Clock::now();
    return true;
  }
  // A block plays from its due time (when Write returns) for one block time.
  long PendingSamples() override {
    const double elapsed = std::chrono::duration<double>(BlockClock::Clock::now() - last_write_).count();
    const double played = elapsed * kSampleRateHz * wire_->speed;
    return played >= kAudioBlockSamples ? 0 : static_cast<long>(kAudioBlockSamples - played);
  }

 private:
  std::shared_ptr<LoopbackAudio::Wire> wire_;
  BlockClock clock_;
  BlockClock::Clock::time_point last_write_{};
};

}  // namespace

LoopbackAudio::LoopbackAudio(double speed) : wire_(std::make_shared<Wire>(speed)) {}

std::vector<std::string> LoopbackAudio::ListDevices(AudioDirection) { return {"Quillon loopback"}; }

std::unique_ptr<AudioStream> LoopbackAudio::Open(AudioDirection, int number) {
  if (number != -1 && number != 0) return nullptr;
  return std::make_unique<LoopbackStream>(wire_);
}

}  // namespace quillon
