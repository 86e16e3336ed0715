// SPDX-License-Identifier: GPL-3.0-or-later
// The single-producer single-consumer ring under every ring the station's
// threads share: one writer and one reader thread moving whole slots through
// it (run under ThreadSanitizer in CI). The rings built on it have their
// rules tested with their users (the audio rings with the sound card, the
// character rings with the link controller).

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "link/SpscRing.h"

namespace quillon {
namespace {

TEST(SpscRing, WholeSlotsPassFromOneThreadToAnother) {
  // A small ring, so that the writer keeps running into the reader and both
  // indices wrap thousands of times.
  using Block = std::array<int, 64>;
  constexpr int kBlocks = 20000;
  SpscRing<Block> ring(5);
  std::thread writer([&ring] {
    for (int n = 0; n < kBlocks; ++n) {
      while (!ring.HasRoom()) std::this_thread::yield();
      ring.WriteSlot().fill(n);
      ring.Publish();
    }
  });
  int expected = 0;
  int torn = 0;
  while (expected < kBlocks) {
    const Block* block = ring.Front();
    if (block == nullptr) {
      std::this_thread::yield();
      continue;
    }
    // Every entry of the slot was written before the slot was published.
    for (int value : *block)
      if (value != expected) ++torn;
    ring.Pop();
    ++expected;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
  EXPECT_TRUE(ring.Empty());
}

}  // namespace
}  // namespace quillon
