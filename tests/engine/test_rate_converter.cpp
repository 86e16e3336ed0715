// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/RateConverter.h"

namespace quillon {
namespace {

std::vector<double> Ramp(unsigned n) {
  std::vector<double> x(n);
  for (unsigned i = 0; i < n; ++i) x[i] = std::sin(0.05 * i) + 0.001 * i;
  return x;
}

// Runs the input through a fresh converter in chunks of the given sizes
// (cycled), returning all outputs.
std::vector<double> Convert(double rate, const std::vector<double>& input, const std::vector<unsigned>& chunks) {
  RateConverter<double> converter;
  converter.OutputRate = rate;
  EXPECT_EQ(converter.Preset(), 0);
  std::vector<double> out;
  unsigned pos = 0;
  for (unsigned c = 0; pos < input.size(); ++c) {
    const unsigned n = std::min<unsigned>(chunks[c % chunks.size()], input.size() - pos);
    // Exactly the room the converter asks for, so that AddressSanitizer
    // sees any sample written beyond it.
    std::vector<double> block(converter.OutputRoom(n));
    const int m = converter.Process(input.data() + pos, n, block.data());
    EXPECT_GE(m, 0);
    EXPECT_LE(static_cast<size_t>(m), block.size()) << "rate " << rate << " call " << c;
    out.insert(out.end(), block.begin(), block.begin() + m);
    pos += n;
  }
  return out;
}

TEST(RateConverter, PresetRoundsTapLenDownToPowerOfTwo) {
  RateConverter<double> converter;
  EXPECT_EQ(converter.Proverka(), 0);
  converter.TapLen = 20;
  ASSERT_EQ(converter.Preset(), 0);
  EXPECT_EQ(converter.TapLen, 16u);
  EXPECT_EQ(converter.FilterLen, 256u);
  EXPECT_EQ(converter.TapMask, 15);
  EXPECT_EQ(converter.Proverka(), 1);
  converter.TapLen = 0;
  ASSERT_EQ(converter.Preset(), 0);
  EXPECT_EQ(converter.TapLen, 1u);
  converter.Free();
  EXPECT_EQ(converter.Proverka(), 0);
}

TEST(RateConverter, FilterIsCentredBlackmanHarrisSinc) {
  RateConverter<double> converter;
  ASSERT_EQ(converter.Preset(), 0);
  EXPECT_DOUBLE_EQ(converter.FilterShape[128], 1.0);
  // The window is 0.00006 at the ends, where the sinc (six cycles out) is 0 too.
  EXPECT_NEAR(converter.FilterShape[0], 0.0, 1e-9);
  // Away from the centre: one input sample later is sinc(2 pi 0.375) under the window.
  const double pi = 3.14159265358979323846;
  const double phi = 32 * pi / 256;
  const double w = 0.35875 + 0.48829 * std::cos(phi) + 0.14128 * std::cos(2 * phi) + 0.01168 * std::cos(3 * phi);
  const double x = 2 * pi * 0.375;
  EXPECT_NEAR(converter.FilterShape[144], w * std::sin(x) / x, 1e-12);
}

TEST(RateConverter, EqualRatesGiveOneOutputPerInputOverAnySplit) {
  const std::vector<double> input = Ramp(1000);
  const std::vector<double> whole = Convert(1.0, input, {1000});
  ASSERT_EQ(whole.size(), 1000u);
  for (const auto& chunks : std::vector<std::vector<unsigned>>{{1}, {7, 0, 13}, {256, 3}}) {
    const std::vector<double> split = Convert(1.0, input, chunks);
    ASSERT_EQ(split.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(split[i], whole[i]) << i;
  }
}

// At equal rates each output is the filter over the inputs up to its own,
// summed oldest first as the converter's own convolution sums: the same
// bits however the calls split the input (chunks within and across the
// converter's inner blocks), with 16 taps and with 8.
TEST(RateConverter, EqualRatesGiveTheConvolutionToTheBit) {
  std::vector<double> input = Ramp(1500);
  for (unsigned i = 0; i < input.size(); i += 7) input[i] = -input[i] * 3.5;  // not smooth
  for (const unsigned taps : {16u, 8u}) {
    RateConverter<double> reference;
    reference.TapLen = taps;
    ASSERT_EQ(reference.Preset(), 0);
    std::vector<double> expected;
    for (const double x : input) {
      reference.NewInput(x);
      expected.push_back(reference.Convolute(0));
    }
    for (const std::vector<unsigned>& chunks :
         {std::vector<unsigned>{1, 3}, std::vector<unsigned>{64}, std::vector<unsigned>{65, 130, 7}}) {
      RateConverter<double> converter;
      converter.TapLen = taps;
      ASSERT_EQ(converter.Preset(), 0);
      std::vector<double> out;
      for (std::size_t pos = 0, c = 0; pos < input.size(); ++c) {
        const unsigned n = std::min<unsigned>(chunks[c % chunks.size()], static_cast<unsigned>(input.size() - pos));
        std::vector<double> block(converter.OutputRoom(n));
        const int m = converter.Process(input.data() + pos, n, block.data());
        ASSERT_EQ(m, static_cast<int>(n));
        out.insert(out.end(), block.begin(), block.begin() + m);
        pos += n;
      }
      ASSERT_EQ(out.size(), expected.size());
      for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(std::memcmp(&out[i], &expected[i], sizeof(double)), 0) << "taps " << taps << " sample " << i;
    }
  }
}

TEST(RateConverter, ConstantInputSettlesAtTheFilterGain) {
  const std::vector<double> out = Convert(1.0, std::vector<double>(64, 1.0), {64});
  for (unsigned i = 16; i < 64; ++i) EXPECT_NEAR(out[i], 1.333, 0.002) << i;
  EXPECT_NEAR(out[0], 0.0, 0.01);
}

TEST(RateConverter, EqualRatesDelayByAboutHalfTheTaps) {
  std::vector<double> impulse(40, 0.0);
  impulse[0] = 1.0;
  const std::vector<double> out = Convert(1.0, impulse, {40});
  unsigned peak = 0;
  for (unsigned i = 1; i < out.size(); ++i)
    if (std::abs(out[i]) > std::abs(out[peak])) peak = i;
  EXPECT_EQ(peak, 8u);
}

TEST(RateConverter, DoubleRateGivesTwoOutputsPerInputPlusOne) {
  const std::vector<double> input = Ramp(300);
  const std::vector<double> whole = Convert(2.0, input, {300});
  EXPECT_EQ(whole.size(), 601u);
  const std::vector<double> split = Convert(2.0, input, {1, 5, 0, 64});
  ASSERT_EQ(split.size(), whole.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(split[i], whole[i], 1e-12) << i;
  // Upsampled sine follows the input at half the step (gain 1.333, delay 8 inputs).
  for (unsigned i = 100; i < 250; ++i) EXPECT_NEAR(whole[2 * i + 1] / 1.3333, input[i - 8], 0.01) << i;
}

TEST(RateConverter, EmptyCallChangesNothing) {
  RateConverter<double> converter;
  ASSERT_EQ(converter.Preset(), 0);
  double out[2] = {5, 5};
  EXPECT_EQ(converter.Process(nullptr, 0, out), 0);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(converter.OutWait, 0);  // at equal rates even the first half-step needs input
  EXPECT_EQ(converter.Process(nullptr, 0, out), 0);
  EXPECT_EQ(converter.InpTapPtr, 0);
}

TEST(RateConverter, SequenceFormAppends) {
  RateConverter<double> converter;
  ASSERT_EQ(converter.Preset(), 0);
  Seq<double> seq;
  ASSERT_EQ(seq.EnsureSpace(10), 0);
  for (int i = 0; i < 10; ++i) seq[i] = 100 + i;
  seq.Len = 10;
  const std::vector<double> input = Ramp(100);
  EXPECT_EQ(converter.Process(input.data(), 100, seq), 100);
  EXPECT_EQ(seq.Len, 110u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(seq[i], 100 + i);
  const std::vector<double> alone = Convert(1.0, input, {100});
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seq[10 + i], alone[i]);
}

// The outputs of the first input interval need no input, so the first call
// after a Reset gives about one interval's worth (OutputRate) more than the
// input alone would. Every call, first or later, of any size, must fit the
// room the converter asks for, and over the whole stream the count stays
// (inputs + 15/16) x rate less at most one: nothing lost, nothing invented.
TEST(RateConverter, EveryCallFitsItsRoomAtAnyRate) {
  const std::vector<double> input = Ramp(5000);
  for (double rate : {0.5, 1.0, 11025.0 / 8000, 2.0, 3.0, 44100.0 / 8000, 6.0, 12.0}) {
    for (const auto& chunks : std::vector<std::vector<unsigned>>{{1}, {16}, {7, 0, 13}, {256, 3}, {2048}}) {
      const std::vector<double> out = Convert(rate, input, chunks);
      const double exact = (input.size() + 15.0 / 16) * rate;
      EXPECT_NEAR(static_cast<double>(out.size()), exact - 0.5, 0.5 + 1e-9) << "rate " << rate;
    }
  }
}

// The sequence form makes its room from the same bound: at 5.5 times the
// rate the first 16 inputs give 93 outputs, more than 16 x 5.5 + 2.
TEST(RateConverter, SequenceFormMakesRoomForTheFirstInterval) {
  RateConverter<double> converter;
  converter.OutputRate = 44100.0 / 8000;
  ASSERT_EQ(converter.Preset(), 0);
  Seq<double> seq;
  const std::vector<double> input = Ramp(16);
  EXPECT_EQ(converter.Process(input.data(), 16, seq), 93);
  EXPECT_LE(seq.Len, seq.Space);
}

TEST(RateConverter, RatesBelowOneAndInvalidRatesStayInBounds) {
  // Halving the rate steps over two inputs per output instead of reading
  // phases outside the filter.
  const std::vector<double> half = Convert(0.5, std::vector<double>(400, 1.0), {3, 50});
  EXPECT_NEAR(static_cast<double>(half.size()), 200.0, 2.0);
  EXPECT_NEAR(half.back(), 1.333, 0.002);
  for (double bad : {0.0, -1.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
    RateConverter<double> converter;
    converter.OutputRate = bad;
    ASSERT_EQ(converter.Preset(), 0);
    double in[4] = {1, 2, 3, 4}, out[8] = {};
    EXPECT_EQ(converter.Process(in, 4, out), 0);
    EXPECT_EQ(converter.OutputRoom(4), 0u);
    Seq<double> seq;
    EXPECT_EQ(converter.Process(in, 4, seq), 0);
  }
}

}  // namespace
}  // namespace quillon
