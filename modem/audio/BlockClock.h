// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real-time clock that paces the simulated devices: block n is due
// n x 64 ms after the first wait (512 samples at 8000 samples/s, divided by
// the speed factor).

#include <chrono>

namespace quillon {

class BlockClock {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BlockClock(double speed = 1.0);
  // Sleeps until the next block is due; the first call starts the clock.
  void WaitForNextBlock();
  // When block `count` (counted from the first wait) is due.
  Clock::time_point Due(long long count) const;
  // How many blocks are due by now since the clock started (0 before).
  long long BlocksDueBy(Clock::time_point now) const;

 private:
  Clock::duration period_;
  bool started_ = false;
  Clock::time_point start_;
  long long count_ = 0;
};

}  // namespace quillon
