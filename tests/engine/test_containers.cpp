// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "engine/Containers.h"
#include "engine/PowerOfTwo.h"

namespace quillon {
namespace {

TEST(FIFO, HoldsOneLessThanItsLengthAlsoWhenWrapped) {
  FIFO<unsigned char> fifo;
  fifo.Len = 4;
  ASSERT_EQ(fifo.Preset(), 0);
  for (unsigned char i = 1; i <= 3; ++i) EXPECT_EQ(fifo.Write(i), 1);
  EXPECT_EQ(fifo.Write(9), 0);
  EXPECT_EQ(fifo.ReadReady(), 3);
  unsigned char x = 0;
  EXPECT_EQ(fifo.Read(x), 1);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(fifo.Write(4), 1);  // WritePtr wraps below ReadPtr
  EXPECT_LT(fifo.WritePtr, fifo.ReadPtr);
  EXPECT_EQ(fifo.ReadReady(), 3);
  EXPECT_EQ(fifo.Write(9), 0);
  for (unsigned char expected = 2; expected <= 4; ++expected) {
    ASSERT_EQ(fifo.Read(x), 1);
    EXPECT_EQ(x, expected);
  }
  x = 77;
  EXPECT_EQ(fifo.Read(x), 0);
  EXPECT_EQ(x, 77);
  EXPECT_EQ(fifo.Empty(), 1);
  fifo.Write(5);
  ASSERT_EQ(fifo.Preset(), 0);  // drops what was queued
  EXPECT_EQ(fifo.Empty(), 1);
  fifo.Free();
  EXPECT_EQ(fifo.Len, 0u);
}

TEST(CircularBuffer, OffsetsWrapOnceAroundTheRing) {
  CircularBuffer<double> ring;
  EXPECT_EQ(ring.Width, 1u);
  ring.Len = 8;
  ASSERT_EQ(ring.Preset(), 0);
  EXPECT_EQ(ring.OffsetPtr(-1), ring.Data.get() + 7);
  EXPECT_EQ(ring.OffsetPtr(8), ring.Data.get());
  ring += 5;
  ring += 5;
  EXPECT_EQ(ring.Ptr, 2u);
  EXPECT_EQ(ring.CurrPtr(), ring.Data.get() + 2);
  ring.Set(3.5);
  EXPECT_EQ(ring.Data[7], 3.5);
  ring.Clear();
  EXPECT_EQ(ring.Data[7], 0.0);

  CircularBuffer<double> wide;
  wide.Width = 3;
  wide.Len = 4;
  ASSERT_EQ(wide.Preset(), 0);
  EXPECT_EQ(wide.Size, 12u);
  EXPECT_EQ(wide.AbsPtr(2), wide.Data.get() + 6);
  EXPECT_EQ(wide.OffsetPtr(-1), wide.Data.get() + 9);
  wide.Free();
  EXPECT_EQ(wide.Size, 0u);
}

TEST(Seq, DeleteAndGrowKeepTheElements) {
  Seq<double> seq;
  ASSERT_EQ(seq.EnsureSpace(10), 0);
  for (int i = 0; i < 10; ++i) seq[i] = i;
  seq.Len = 10;
  ASSERT_EQ(seq.EnsureSpace(40), 0);
  EXPECT_EQ(seq.Space, 40u);
  EXPECT_EQ(seq.Len, 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(seq[i], i);
  ASSERT_EQ(seq.EnsureSpace(20), 0);  // enough room already
  EXPECT_EQ(seq.Space, 40u);
  seq.Delete(2, 3);
  EXPECT_EQ(seq.Len, 7u);
  EXPECT_EQ(seq[2], 5);
  EXPECT_EQ(seq[6], 9);
  seq.Delete(0, seq.Len);
  EXPECT_EQ(seq.Len, 0u);
  seq.Clear();
  EXPECT_EQ(seq.Space, 40u);
}

TEST(ReallocArray, DropsOldContentsAndZeroes) {
  Array<double> a;
  ASSERT_EQ(ReallocArray(a, 4), 0);
  a[0] = 7;
  ASSERT_EQ(ReallocArray(a, 4), 0);
  EXPECT_EQ(a[0], 0.0);
  ClearArray(a, 0);
  Array<CircularBuffer<double>> rings;
  ASSERT_EQ(ReallocArray(rings, 3), 0);
  EXPECT_EQ(rings[2].Width, 1u);
}

TEST(Cmpx, EnergyAndPhase) {
  Cmpx<double> z{3, 4};
  EXPECT_EQ(z.Energy(), 25.0);
  // Summed in double: a wider sum rounds 0.1^2 + 0.2^2 to a different last bit.
  const double re = 0.1, im = 0.2;
  EXPECT_EQ((Cmpx<double>{re, im}.Energy()), re * re + im * im);
  z.SetPhase(3.14159265358979323846 / 2, 2);
  EXPECT_NEAR(z.Re, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(z.Im, 2.0);
}

TEST(PowerOfTwo, ShiftsAndHalvings) {
  EXPECT_EQ(Log2(0), 0u);
  EXPECT_EQ(Log2(1), 0u);
  EXPECT_EQ(Log2(5), 2u);
  EXPECT_EQ(Log2(256), 8u);
  EXPECT_EQ(Log2(0xFFFFFFFFu), 31u);
  EXPECT_EQ(Exp2(0), 1u);
  EXPECT_EQ(Exp2(31), 0x80000000u);
  EXPECT_EQ(Exp2(33), 2u);
}

}  // namespace
}  // namespace quillon
