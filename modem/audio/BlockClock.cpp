// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/BlockClock.h"

#include <thread>

#include "modem/audio/AudioDevice.h"

namespace quillon {

BlockClock::BlockClock(double speed)
    : period_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(static_cast<double>(kAudioBlockSamples) / kSampleRateHz /
                                        (speed > 0.0 ? speed : 1.0)))) {}

void BlockClock::WaitForNextBlock() {
  if (!started_) {
    started_ = true;
    start_ = Clock::now();
    count_ = 0;
  }
  ++count_;
  std::this_thread::sleep_until(Due(count_));
}

BlockClock::Clock::time_point BlockClock::Due(long long count) const { return start_ + period_ * count; }

long long BlockClock::BlocksDueBy(Clock::time_point now) const {
  if (!started_ || now < start_) return 0;
  return (now - start_) / period_;
}

}  // namespace quillon
