// SPDX-License-Identifier: GPL-3.0-or-later
// The soft-decision decoder against the written worked example and against
// hand-made windows; the round trip with the encoder lives in test_encoder.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/SoftDecoder.h"
#include "tests/engine/HelloBlock.h"

namespace quillon {
namespace {

using test::kHelloSymbols;

// +1 for a 0 bit, -1 for a 1 bit, times scale.
void FeedSymbol(MFSK_SoftDecoder<double>& decoder, unsigned symbol, double scale) {
  std::vector<double> soft(decoder.BitsPerSymbol);
  for (unsigned bit = 0; bit < decoder.BitsPerSymbol; ++bit) soft[bit] = ((symbol >> bit) & 1) ? -scale : scale;
  decoder.Input(soft.data());
}

uint64_t Decode(MFSK_SoftDecoder<double>& decoder) {
  decoder.Process();
  uint64_t packed = 0;
  EXPECT_EQ(decoder.Output(packed), decoder.BitsPerSymbol);
  return packed;
}

TEST(SoftDecoder, WorkedExampleDecodesToHello) {
  MFSK_SoftDecoder<double> decoder;
  ASSERT_EQ(decoder.Preset(), 0);
  for (uint8_t symbol : kHelloSymbols) FeedSymbol(decoder, symbol, 1.0);
  EXPECT_EQ(Decode(decoder), 0x6F6C6C6548ULL);  // H in the lowest byte
  EXPECT_FLOAT_EQ(decoder.Signal, 64.0f);
  EXPECT_FLOAT_EQ(decoder.NoiseEnergy, 0.0f);

  // The same window negated: every code number moves by 64, and the scale
  // of Signal follows the scale of the soft values.
  decoder.Reset();
  for (uint8_t symbol : kHelloSymbols) FeedSymbol(decoder, symbol, -0.5);
  const uint64_t negated = Decode(decoder);
  const char* hello = "Hello";
  for (unsigned f = 0; f < 5; ++f) EXPECT_EQ((negated >> (8 * f)) & 0xFF, (hello[f] + 64u) % 128) << f;
  EXPECT_FLOAT_EQ(decoder.Signal, 32.0f);
}

TEST(SoftDecoder, WindowSlidesOverTheRingWithTheOldestSymbolFirst) {
  MFSK_SoftDecoder<double> decoder;
  ASSERT_EQ(decoder.Preset(), 0);
  // Seventeen symbols of junk, then the block: the ring has wrapped and the
  // window now starts in its middle.
  for (unsigned i = 0; i < 17; ++i) FeedSymbol(decoder, (i * 7) % 32, 1.0);
  for (uint8_t symbol : kHelloSymbols) FeedSymbol(decoder, symbol, 1.0);
  EXPECT_EQ(decoder.InputPtr, 17u * 5u);
  EXPECT_EQ(Decode(decoder), 0x6F6C6C6548ULL);
}

TEST(SoftDecoder, EmptyAndPartialWindowsDecodeWithoutComplaint) {
  MFSK_SoftDecoder<double> decoder;
  ASSERT_EQ(decoder.Preset(), 0);
  EXPECT_EQ(Decode(decoder), 0u);
  EXPECT_EQ(decoder.Signal, 0.0f);
  EXPECT_EQ(decoder.NoiseEnergy, 0.0f);
  for (unsigned t = 0; t < 20; ++t) FeedSymbol(decoder, kHelloSymbols[t], 1.0);
  decoder.Process();
  EXPECT_GT(decoder.Signal, 0.0f);
  EXPECT_GT(decoder.NoiseEnergy, 0.0f);
}

TEST(SoftDecoder, EqualPeaksKeepTheLowerIndex) {
  MFSK_SoftDecoder<double> decoder;
  decoder.BitsPerSymbol = 1;
  ASSERT_EQ(decoder.Preset(), 0);
  // With one bit per symbol the descrambled window is the transform input
  // itself. Ones on the first half and zeros on the second half are half the
  // sum of two Walsh rows (all ones, and ones then minus ones), so the
  // transform has two outputs of magnitude 32, at index 0 and above.
  for (unsigned t = 0; t < 64; ++t) {
    const double walsh = (t < 32) ? 1.0 : 0.0;
    const double scrambled = ((decoder.ScramblingCode >> t) & 1) ? -walsh : walsh;
    decoder.Input(&scrambled);
  }
  decoder.Process();
  EXPECT_FLOAT_EQ(decoder.Signal, 32.0f);
  uint64_t packed = 0;
  decoder.Output(packed);
  EXPECT_EQ(packed, 0u);  // the tie goes to index 0
}

TEST(SoftDecoder, ReducedVariantAndPresetFromReference) {
  MFSK_SoftDecoder<double> reference;
  reference.BitsPerSymbol = 3;
  ASSERT_EQ(reference.Preset(), 0);
  MFSK_SoftDecoder<double> reduced;
  reduced.ReducedCharset = true;
  ASSERT_EQ(reduced.Preset(reference), 0);
  EXPECT_EQ(reduced.BitsPerSymbol, 3u);
  EXPECT_TRUE(reduced.ReducedCharset);
  EXPECT_EQ(reduced.SymbolsPerBlock, 32u);
  EXPECT_EQ(Decode(reduced), 0u);  // all-zero window: code 0 is NUL
}

}  // namespace
}  // namespace quillon
