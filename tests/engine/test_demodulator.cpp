// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include <cmath>
#include <random>
#include <vector>

#include "engine/Demodulator.h"
#include "engine/Hadamard.h"

namespace quillon {
namespace {

const double kPi = 3.141592653589793;

void Configure(MFSK_Demodulator<double>& demodulator, unsigned symbol_len, unsigned first_carrier, unsigned bits,
               unsigned margin, unsigned reverse = 0) {
  demodulator.SymbolLen = symbol_len;
  demodulator.FirstCarrier = first_carrier;
  demodulator.BitsPerSymbol = bits;
  demodulator.BinMargin = margin;
  demodulator.Reverse = reverse;
}

// Feeds a steady cosine on the given FFT bin for two symbol periods, so the
// last call's both slices see only the tone.
void FeedTone(MFSK_Demodulator<double>& demodulator, double bin) {
  const unsigned step = demodulator.SymbolStep;
  std::vector<double> input(step);
  for (unsigned call = 0; call < 3; ++call) {
    for (unsigned i = 0; i < step; ++i)
      input[i] = std::cos(2 * kPi * bin * (call * step + i) / demodulator.SymbolLen + 0.3);
    demodulator.Process(input.data());
  }
}

std::vector<double> Soft(const MFSK_Demodulator<double>& demodulator, unsigned slice, int offset) {
  std::vector<double> bits(demodulator.BitsPerSymbol);
  demodulator.SoftDecode(bits.data(), slice, offset);
  return bits;
}

// +1 for each 0 bit of the value, -1 for each 1 bit, bit 0 first.
void ExpectValue(const std::vector<double>& bits, unsigned value, double tolerance) {
  for (unsigned b = 0; b < bits.size(); ++b)
    EXPECT_NEAR(bits[b], ((value >> b) & 1) ? -1.0 : 1.0, tolerance) << "bit " << b;
}

TEST(Demodulator, PresetDerivesAHannWindowAndTheScannedBand) {
  MFSK_Demodulator<double> demodulator;
  ASSERT_EQ(demodulator.Preset(), 0);  // defaults: 512, first carrier 32, 5 bits, margin 32
  EXPECT_EQ(demodulator.Symbols, 32u);
  EXPECT_EQ(demodulator.SymbolStep, 256u);
  EXPECT_EQ(demodulator.SliceStep, 128u);
  EXPECT_EQ(demodulator.HalfLength, 256u);
  EXPECT_EQ(demodulator.ScanLength, 2u * (32 + 32) - 1);
  for (unsigned i : {0u, 1u, 100u, 256u, 511u})
    EXPECT_NEAR(demodulator.Window[i], (1 - std::cos(2 * kPi * i / 512)) / 512, 1e-15) << i;

  // The margin may not reach below bin 0, and the band follows it.
  MFSK_Demodulator<double> low;
  Configure(low, 512, 5, 5, 8);
  ASSERT_EQ(low.Preset(), 0);
  EXPECT_EQ(low.BinMargin, 5u);
  EXPECT_EQ(low.ScanLength, 2u * (5 + 32) - 1);
}

TEST(Demodulator, SoftBitsFollowTheGrayCodedTone) {
  // Two tones, tone 0 present: bit 0 is surely 0.
  MFSK_Demodulator<double> two;
  Configure(two, 64, 8, 1, 2);
  ASSERT_EQ(two.Preset(), 0);
  FeedTone(two, 8);
  ExpectValue(Soft(two, 0, 0), 0, 1e-9);
  ExpectValue(Soft(two, 1, 0), 0, 1e-9);

  // 32 tones: tone 3 is the Gray code of the value 2.
  MFSK_Demodulator<double> demodulator;
  Configure(demodulator, 512, 65, 5, 8);
  ASSERT_EQ(demodulator.Preset(), 0);
  for (unsigned k = 0; k < demodulator.ScanLength; ++k) demodulator.BinEnergy[0][k] = 0;
  demodulator.BinEnergy[0][demodulator.BinMargin + 2 * 3] = 0.25;
  ExpectValue(Soft(demodulator, 0, 0), 2, 0);
  // The same from audio: a steady tone on bin 65 + 2*3 (Hann leakage stays
  // within one bin, so the other tones see nothing).
  FeedTone(demodulator, 65 + 2 * 3);
  ExpectValue(Soft(demodulator, 0, 0), 2, 1e-9);
  ExpectValue(Soft(demodulator, 1, 0), 2, 1e-9);
  // Every value of a 16-tone band, on its tone FirstCarrier + 2 Gray(value).
  MFSK_Demodulator<double> sixteen;
  Configure(sixteen, 256, 40, 4, 8);
  ASSERT_EQ(sixteen.Preset(), 0);
  for (unsigned value = 0; value < 16; ++value) {
    FeedTone(sixteen, 40 + 2 * GrayCode(static_cast<uint8_t>(value)));
    ExpectValue(Soft(sixteen, 1, 0), value, 1e-9);
  }
}

TEST(Demodulator, TrialOffsetsFindShiftedAndReversedTones) {
  // Normal order: tone t at FirstCarrier + o + 2t, so a shift up by d bins
  // is found at offset d.
  MFSK_Demodulator<double> demodulator;
  Configure(demodulator, 512, 65, 5, 8);
  ASSERT_EQ(demodulator.Preset(), 0);
  for (int d = -8; d <= 8; ++d) {
    FeedTone(demodulator, 65 + d + 2 * GrayCode(9));
    ExpectValue(Soft(demodulator, 1, d), 9, 1e-9);
  }
  // Reverse order, tone s sent at FirstCarrier - 2 - 2s: found at offset
  // 2 - BinMargin; a shift up by d moves it to 2 - BinMargin - d.
  MFSK_Demodulator<double> reverse;
  Configure(reverse, 512, 100, 5, 8, 1);
  ASSERT_EQ(reverse.Preset(), 0);
  EXPECT_EQ(reverse.BinMargin, 8u);
  for (int d = -2; d <= 2; ++d) {
    FeedTone(reverse, 100 - 2 - 2 * GrayCode(21) + d);
    ExpectValue(Soft(reverse, 0, 2 - 8 - d), 21, 1e-9);
  }
}

TEST(Demodulator, SilenceGivesZeroEnergiesAndZeroSoftBits) {
  MFSK_Demodulator<double> demodulator;
  Configure(demodulator, 128, 20, 3, 8);
  ASSERT_EQ(demodulator.Preset(), 0);
  std::vector<double> zeros(demodulator.SymbolStep, 0.0);
  demodulator.Process(zeros.data());
  for (unsigned slice = 0; slice < 2; ++slice) {
    for (unsigned k = 0; k < demodulator.ScanLength; ++k) ASSERT_EQ(demodulator.BinEnergy[slice][k], 0.0);
    for (int offset = -8; offset <= 8; ++offset)
      for (double bit : Soft(demodulator, slice, offset)) ASSERT_EQ(bit, 0.0);
  }
}

TEST(Demodulator, BandIsNarrowedToFitTheHalfSpectrum) {
  // 4 tones in 2000 Hz sent downwards from 2375 Hz: 16 bins of 250 Hz, the
  // scan starts at bin 10 and walks down 2 (margin + 4) - 1 bins.
  MFSK_Demodulator<double> widest;
  Configure(widest, 32, 10, 2, 8, 1);
  ASSERT_EQ(widest.Preset(), 0);
  EXPECT_EQ(widest.BinMargin, 2u);
  EXPECT_GE(static_cast<int>(widest.FirstCarrier) - static_cast<int>(widest.ScanLength) + 1, 0);
  // Every offset of both slices reads inside the arrays (checked by the
  // address sanitizer) and still finds the reversed tones at 2 - margin.
  for (unsigned value = 0; value < 4; ++value) {
    FeedTone(widest, 10 - 2 - 2 * GrayCode(static_cast<uint8_t>(value)));
    for (int offset = -2; offset <= 2; ++offset) Soft(widest, 0, offset);
    ExpectValue(Soft(widest, 1, 0), value, 1e-9);
  }
  // Normal order near the top of the spectrum: 15 - 8 - 6 leaves a margin of 1.
  MFSK_Demodulator<double> high;
  Configure(high, 32, 8, 2, 8);
  ASSERT_EQ(high.Preset(), 0);
  EXPECT_EQ(high.BinMargin, 1u);
  EXPECT_LT(high.FirstCarrier - high.BinMargin + high.ScanLength - 1, high.HalfLength);
  // Bands that cannot fit even without a margin are refused.
  MFSK_Demodulator<double> above;
  Configure(above, 32, 12, 2, 8);
  EXPECT_EQ(above.Preset(), -1);
  EXPECT_FALSE(above.BinEnergy[0]);
  MFSK_Demodulator<double> below;
  Configure(below, 32, 4, 2, 8, 1);
  EXPECT_EQ(below.Preset(), -1);
  MFSK_Demodulator<double> outside;
  Configure(outside, 32, 16, 2, 8, 1);
  EXPECT_EQ(outside.Preset(), -1);
}

TEST(Demodulator, RowOfOffsetsEqualsSoftDecodeOfEachOffset) {
  std::mt19937 random(4);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (unsigned bits : {1u, 3u, 6u}) {
    MFSK_Demodulator<double> demodulator;
    Configure(demodulator, 1024, 200, bits, 8);
    ASSERT_EQ(demodulator.Preset(), 0);
    std::vector<double> input(demodulator.SymbolStep);
    for (int call = 0; call < 3; ++call) {
      for (double& x : input) x = uniform(random);
      demodulator.Process(input.data());
    }
    const unsigned stride = 40;
    std::vector<double> rows(bits * stride, 99.0);
    for (unsigned slice = 0; slice < 2; ++slice) {
      demodulator.SoftDecodeRow(rows.data(), stride, slice, -8, 17);
      for (int offset = -8; offset <= 8; ++offset) {
        const std::vector<double> one = Soft(demodulator, slice, offset);
        for (unsigned b = 0; b < bits; ++b) ASSERT_EQ(rows[b * stride + (offset + 8)], one[b]) << offset;
      }
    }
  }
}

// Every version of the soft rows this machine runs gives SoftDecode's bits
// at every offset, for rows shorter and longer than one pass of lanes
// (40 offsets: 32 and 8), Gray-coded or not.
TEST(Demodulator, EverySoftRowsVersionGivesSoftDecodesBits) {
  std::mt19937 random(9);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  MFSK_Demodulator<double> demodulator;
  Configure(demodulator, 1024, 200, 5, 20);
  ASSERT_EQ(demodulator.Preset(), 0);
  std::vector<double> input(demodulator.SymbolStep);
  for (int call = 0; call < 3; ++call) {
    for (double& x : input) x = uniform(random);
    demodulator.Process(input.data());
  }
  int versions = 0;
  for (DecoderKernel kernel : {DecoderKernel::Plain, DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    demodulator.SoftRows = FindSoftRows(kernel);
    if (demodulator.SoftRows == nullptr) continue;
    ++versions;
    for (const unsigned gray : {1u, 0u}) {
      demodulator.UseGrayCode = gray;
      const unsigned stride = 48;
      std::vector<double> rows(5 * stride, 99.0);
      for (const unsigned count : {7u, 41u}) {
        demodulator.SoftDecodeRow(rows.data(), stride, 1, -20, count);
        for (unsigned j = 0; j < count; ++j) {
          const std::vector<double> one = Soft(demodulator, 1, static_cast<int>(j) - 20);
          for (unsigned b = 0; b < 5; ++b)
            ASSERT_EQ(std::memcmp(&rows[b * stride + j], &one[b], sizeof(double)), 0)
                << DecoderKernelName(kernel) << " gray " << gray << " count " << count << " lane " << j;
        }
      }
    }
  }
  EXPECT_GE(versions, 1);
}

}  // namespace
}  // namespace quillon
