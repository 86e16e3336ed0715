// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/SoftDecoder.h"
#include "engine/SoftDecoderBank.h"

namespace quillon {
namespace {

using Decoder = MFSK_SoftDecoder<double, double>;

// Two rows of decoders fed the same soft values: one decoded alone, one by
// the bank at the given vector width. Every character and both figures must
// agree to the bit, or the receiver's decisions would change.
void ExpectSameAsAlone(unsigned bits, bool reduced, unsigned count, unsigned symbols, unsigned width) {
  SCOPED_TRACE(testing::Message() << "bits " << bits << " reduced " << reduced << " count " << count << " width "
                                  << width);
  std::vector<Decoder> alone(count), banked(count);
  for (std::vector<Decoder>* row : {&alone, &banked})
    for (Decoder& decoder : *row) {
      decoder.BitsPerSymbol = bits;
      decoder.ReducedCharset = reduced;
      ASSERT_EQ(decoder.Preset(), 0);
    }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(count, alone[0], width), 0);
  ASSERT_EQ(bank.Width(), width);
  std::mt19937 random(bits * 100 + count);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> soft(bits);
  for (unsigned symbol = 0; symbol < symbols; ++symbol) {
    for (unsigned d = 0; d < count; ++d) {
      for (double& x : soft) x = gauss(random) + ((random() & 1) ? 0.7 : -0.7);
      // Whole values make equal transform outputs common: ties must keep
      // the lower index in every lane.
      if (symbol % 3 == 0)
        for (double& x : soft) x = static_cast<double>(random() % 3) - 1;
      alone[d].Input(soft.data());
      bank.Input(d, soft.data());
      alone[d].Process();
    }
    bank.Advance();
    bank.Process(banked.data());
    for (unsigned d = 0; d < count; ++d) {
      uint64_t want = 0, got = 0;
      alone[d].Output(want);
      banked[d].Output(got);
      ASSERT_EQ(got, want) << "symbol " << symbol << " decoder " << d;
      ASSERT_EQ(banked[d].Signal, alone[d].Signal) << "symbol " << symbol << " decoder " << d;
      ASSERT_EQ(banked[d].NoiseEnergy, alone[d].NoiseEnergy) << "symbol " << symbol << " decoder " << d;
    }
  }
}

TEST(SoftDecoderBank, DecodesEveryRowExactlyAsEachDecoderAloneAtEveryVectorWidth) {
  for (unsigned width : {2u, 4u, 8u}) {
    if (!SoftDecoderBank::Supports(width)) continue;  // the processor lacks these vectors
    for (unsigned bits = 1; bits <= 8; ++bits)
      for (bool reduced : {false, true}) ExpectSameAsAlone(bits, reduced, bits % 2 ? 17 : 7, 70, width);
    ExpectSameAsAlone(5, false, 1, 66, width);
    ExpectSameAsAlone(3, false, 13, 66, width);
  }
}

// Width 0 takes the widest kernel; a width without a kernel fails Preset
// rather than running another one.
TEST(SoftDecoderBank, PresetTakesTheWidestKernelOrTheOneAskedFor) {
  Decoder reference;
  ASSERT_EQ(reference.Preset(), 0);
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(17, reference), 0);
  EXPECT_EQ(bank.Width(), SoftDecoderBank::WidestSupported());
  EXPECT_TRUE(SoftDecoderBank::Supports(2));  // baseline x86-64
  for (unsigned width : {1u, 3u, 16u}) {
    EXPECT_FALSE(SoftDecoderBank::Supports(width)) << width;
    EXPECT_EQ(bank.Preset(17, reference, width), -1) << width;
    EXPECT_EQ(bank.Count, 0u);  // released
  }
}

TEST(SoftDecoderBank, SilentWindowsDecodeToCodeZeroAndResetForgetsTheSymbols) {
  std::vector<Decoder> row(5);
  for (Decoder& decoder : row) {
    decoder.BitsPerSymbol = 4;
    ASSERT_EQ(decoder.Preset(), 0);
  }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(5, row[0]), 0);
  const double soft[4] = {1, -1, 0.5, -0.5};
  for (unsigned d = 0; d < 5; ++d) bank.Input(d, soft);
  bank.Advance();
  bank.Reset();
  bank.Process(row.data());
  for (Decoder& decoder : row) {
    uint64_t word = 1;
    decoder.Output(word);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(decoder.Signal, 0.0f);
    EXPECT_EQ(decoder.NoiseEnergy, 0.0f);
  }
}

}  // namespace
}  // namespace quillon
