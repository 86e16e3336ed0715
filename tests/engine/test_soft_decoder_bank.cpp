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
// the bank with the given kernel. Every character and both figures must
// agree to the bit, or the receiver's decisions would change.
void ExpectSameAsAlone(unsigned bits, bool reduced, unsigned count, unsigned symbols, DecoderKernel kernel) {
  SCOPED_TRACE(testing::Message() << "bits " << bits << " reduced " << reduced << " count " << count << " kernel "
                                  << DecoderKernelName(kernel));
  std::vector<Decoder> alone(count), banked(count);
  for (std::vector<Decoder>* row : {&alone, &banked})
    for (Decoder& decoder : *row) {
      decoder.BitsPerSymbol = bits;
      decoder.ReducedCharset = reduced;
      ASSERT_EQ(decoder.Preset(), 0);
    }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(count, alone[0], kernel), 0);
  ASSERT_EQ(bank.KernelInUse(), kernel);
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

// The plain kernel is checked against the decoders alone, and so is every
// kernel this processor runs: each must give the plain kernel's results.
TEST(SoftDecoderBank, DecodesEveryRowExactlyAsEachDecoderAloneWithEveryKernel) {
  for (DecoderKernel kernel : {DecoderKernel::Plain, DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    if (!SoftDecoderBank::Supports(kernel)) continue;  // not in this build, or the processor lacks it
    for (unsigned bits = 1; bits <= 8; ++bits)
      for (bool reduced : {false, true}) ExpectSameAsAlone(bits, reduced, bits % 2 ? 17 : 7, 70, kernel);
    ExpectSameAsAlone(5, false, 1, 66, kernel);
    ExpectSameAsAlone(3, false, 13, 66, kernel);
    // Rows of 25 lanes: the search's groups of four vectors and its tail.
    ExpectSameAsAlone(6, false, 25, 66, kernel);
  }
}

// Auto takes the fastest kernel; a kernel this processor lacks fails Preset
// rather than running another one; the kernel can change between symbols.
TEST(SoftDecoderBank, PresetTakesTheFastestKernelOrTheOneAskedFor) {
  Decoder reference;
  ASSERT_EQ(reference.Preset(), 0);
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(17, reference), 0);
  EXPECT_EQ(bank.KernelInUse(), FastestDecoderKernel());
  EXPECT_TRUE(SoftDecoderBank::Supports(DecoderKernel::Plain));  // every build, every processor
  EXPECT_TRUE(SoftDecoderBank::Supports(DecoderKernel::Auto));
  for (DecoderKernel kernel : {DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    if (SoftDecoderBank::Supports(kernel)) continue;
    EXPECT_EQ(bank.Preset(17, reference, kernel), -1) << DecoderKernelName(kernel);
    EXPECT_EQ(bank.Count, 0u);  // released
  }
#if !(defined(__x86_64__) || defined(_M_X64))
  EXPECT_EQ(FastestDecoderKernel(), DecoderKernel::Plain);  // the x86 kernels are not in this build
#endif
  ASSERT_EQ(bank.Preset(17, reference, DecoderKernel::Plain), 0);
  EXPECT_EQ(bank.KernelInUse(), DecoderKernel::Plain);
  ASSERT_EQ(bank.UseKernel(DecoderKernel::Auto), 0);
  EXPECT_EQ(bank.KernelInUse(), FastestDecoderKernel());
  EXPECT_EQ(bank.Count, 17u);  // kept
}

TEST(DecoderKernel, NamesRoundTripAndUnknownNamesAreRefused) {
  for (DecoderKernel kernel : {DecoderKernel::Auto, DecoderKernel::Plain, DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    DecoderKernel parsed = DecoderKernel::Auto;
    EXPECT_TRUE(ParseDecoderKernel(DecoderKernelName(kernel), parsed)) << DecoderKernelName(kernel);
    EXPECT_EQ(parsed, kernel);
  }
  DecoderKernel untouched = DecoderKernel::Plain;
  for (const char* name : {"", "AVX2", "sse2", "avx", "avx5120"}) {
    EXPECT_FALSE(ParseDecoderKernel(name, untouched)) << name;
    EXPECT_EQ(untouched, DecoderKernel::Plain);
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
