// SPDX-License-Identifier: GPL-3.0-or-later
// The transforms and codes shared by both ends of the Olivia block code.

#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/CodeVariant.h"
#include "engine/Hadamard.h"
#include "engine/SymbolShape.h"

namespace quillon {
namespace {

TEST(Hadamard, InverseOfUnitEntryIsWalshRowOfIt) {
  // Code 72 (H) is row 8 negated: +1 for t = 0..7, -1 for 8..15, alternating in runs of eight.
  std::vector<int8_t> walsh(64, 0);
  walsh[72 - 64] = -1;  // codes from 64 up are the negated rows of code - 64
  IFHT(walsh.data(), 64);
  for (unsigned t = 0; t < 64; ++t) EXPECT_EQ(walsh[t], ((t / 8) % 2 == 0) ? 1 : -1) << t;
}

TEST(Hadamard, ForwardTransformDespreadsEveryRowToOnePeak) {
  for (unsigned len : {2u, 4u, 32u, 64u}) {
    for (unsigned k = 0; k < 2 * len; ++k) {
      std::vector<int8_t> row(len, 0);
      row[k % len] = k < len ? 1 : -1;
      IFHT(row.data(), len);
      std::vector<double> soft(row.begin(), row.end());
      FHT(soft.data(), len);
      for (unsigned t = 0; t < len; ++t) {
        const double expected = (t == k % len) ? (k < len ? 1.0 : -1.0) * len : 0.0;
        ASSERT_EQ(soft[t], expected) << "len " << len << " row " << k << " t " << t;
      }
    }
  }
}

TEST(GrayCode, NeighboursDifferInOneBitAndBinaryCodeUndoesIt) {
  EXPECT_EQ(GrayCode(2), 3);
  EXPECT_EQ(GrayCode(3), 2);
  EXPECT_EQ(GrayCode(255), 128);
  for (unsigned x = 0; x < 256; ++x) {
    const uint8_t g = GrayCode(static_cast<uint8_t>(x));
    EXPECT_EQ(BinaryCode(g), x);
    if (x > 0) {
      EXPECT_EQ(std::bitset<8>(g ^ GrayCode(static_cast<uint8_t>(x - 1))).count(), 1u) << x;
    }
  }
}

TEST(CodeVariant, ReducedCharsetMapsBothWays) {
  EXPECT_EQ(ReducedCharsetCode('a'), ReducedCharsetCode('A'));
  EXPECT_EQ(ReducedCharsetCode(' '), 59u);
  EXPECT_EQ(ReducedCharsetCode('\r'), 60u);
  EXPECT_EQ(ReducedCharsetCode('\n'), 0u);
  EXPECT_EQ(ReducedCharsetCode(0), 0u);
  EXPECT_EQ(ReducedCharsetCode('\b'), 61u);
  EXPECT_EQ(ReducedCharsetCode('!'), 1u);
  EXPECT_EQ(ReducedCharsetCode('Z'), 58u);
  EXPECT_EQ(ReducedCharsetCode('~'), 31u);
  EXPECT_EQ(ReducedCharsetCode(200), 31u);
  EXPECT_EQ(ReducedCharsetCharacter(31), '?');
  EXPECT_EQ(ReducedCharsetCharacter(62), 94);
  EXPECT_EQ(ReducedCharsetCharacter(63), 95);
  for (unsigned x = 0; x < 256; ++x) {
    const unsigned code = ReducedCharsetCode(static_cast<uint8_t>(x));
    ASSERT_LT(code, 64u);
    const uint8_t back = ReducedCharsetCharacter(code);
    const bool in_set = x == ' ' || x == '\r' || x == '\b' || x == 0 || (x >= 33 && x <= 90);
    if (in_set) {
      EXPECT_EQ(back, x);
    }
  }
}

TEST(SymbolShape, SeriesIsRaisedCosineWindow) {
  const double pi = 3.14159265358979323846;
  const unsigned n = 512;
  for (unsigned t = 0; t < n; t += 16) {
    double w = 0;
    for (int k = 0; k < MFSK_SymbolFreqShapeLen; ++k)
      w += ((k % 2) ? -1.0 : 1.0) * MFSK_SymbolFreqShape[k] * std::cos(2 * pi * k * t / n);
    EXPECT_NEAR(w, 1 - std::cos(2 * pi * t / n), 1e-12);
  }
}

}  // namespace
}  // namespace quillon
