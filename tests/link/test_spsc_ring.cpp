// The single-producer single-consumer ring under every ring the station's
// threads share: its index rules, and one writer and one reader thread
// moving whole slots through it (run under ThreadSanitizer in CI).

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "link/LinkState.h"
#include "link/SpscRing.h"

namespace quillon {
namespace {

TEST(SpscRing, IndicesWrapAndTheReaderCanSkip) {
  SpscRing<int> ring(4);
  EXPECT_EQ(ring.Next(2), 3);
  EXPECT_EQ(ring.Next(3), 0);
  int value = 0;
  EXPECT_FALSE(ring.Take(value));
  for (int round = 0; round < 3; ++round) {
    // Three of four slots: the fourth would make the ring look empty.
    for (int v = 1; v <= 3; ++v) {
      EXPECT_TRUE(ring.HasRoom());
      ring.Put(10 * round + v);
    }
    EXPECT_FALSE(ring.HasRoom());
    EXPECT_EQ(ring.Pending(), 3);
    ASSERT_TRUE(ring.Take(value));
    EXPECT_EQ(value, 10 * round + 1);
    EXPECT_EQ(ring.Pending(), 2);  // counted across the wrap as well
    ring.Skip();
    EXPECT_TRUE(ring.Empty());
  }
  ring.Put(7);
  ring.Clear();
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(ring.write_index.load(), 0);
  EXPECT_EQ(ring.read_index.load(), 0);
}

TEST(SpscRing, CharacterRingHoldsAt9999PendingEntries) {
  // Its writer never tests for room: 9999 entries is the most a frame may
  // take, and one more overwrites the oldest and looks like an empty ring.
  CharRing ring;
  for (int v = 0; v < 9999; ++v) ring.Put(v);
  EXPECT_EQ(ring.Pending(), 9999);
  EXPECT_EQ(ring.Next(9999), 0);
  ring.Put(9999);
  EXPECT_TRUE(ring.Empty());
}

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
