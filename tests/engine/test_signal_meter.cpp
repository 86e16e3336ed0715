// SPDX-License-Identifier: GPL-3.0-or-later
// The signal meter's bookkeeping over synthetic spectra: which spectra a
// span takes, the band against the noise beside it, the converter's gain.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/SignalMeter.h"

namespace quillon {
namespace {

struct Bin {
  double Re = 0, Im = 0;
  double Energy() const { return Re * Re + Im * Im; }
};

// 2048-point spectra (3.90625 Hz bins at 8000 samples/s) in buckets of 4096
// samples, 8 kept.
class SignalMeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    meter_.BucketLen = 4096;
    meter_.Buckets = 8;
    ASSERT_EQ(meter_.Preset(), 0);
  }

  // Noise of energy `noise` in every bin, plus `tone` spread evenly over the
  // bins from low_hz to high_hz; its newest sample is `end`.
  void Take(double noise, double tone, double low_hz, double high_hz, std::uint64_t end) {
    std::vector<Bin> half(1024);
    const int first = static_cast<int>(std::ceil(low_hz / meter_.BinHz()));
    const int last = static_cast<int>(std::floor(high_hz / meter_.BinHz()));
    for (int k = 0; k < 1024; ++k) {
      const double energy = noise + (k >= first && k <= last ? tone / (last - first + 1) : 0.0);
      half[static_cast<std::size_t>(k)].Re = std::sqrt(energy);
    }
    meter_.TakeSpectrum(half.data(), end);
  }

  MFSK_SignalMeter<double> meter_;
};

// 8/500 on tune: tones 1281.25..1718.75 Hz, 62.5 Hz apart.
TEST_F(SignalMeterTest, TheSpanTakesItsOwnSpectraAndTheBandStandsAgainstTheNoiseBesideIt) {
  // Spectra whose middles lie in buckets 0..3; only bucket 1 (4096..8191) has the signal.
  for (std::uint64_t end = 2047; end < 4 * 4096; end += 1024) {
    const std::int64_t middle = static_cast<std::int64_t>(end) + 1 - 1024;
    Take(2.0, middle / 4096 == 1 ? 512.0 : 0.0, 1281.25, 1718.75, end);
  }
  const MFSK_BlockSignal signal = meter_.Measure(4096, 8192, 1281.25, 1718.75, 62.5);
  ASSERT_TRUE(signal.measured);
  EXPECT_NEAR(signal.signal, 512.0, 1e-6);
  EXPECT_NEAR(signal.noise, 2.0 * 2500 / meter_.BinHz(), 1e-6);  // 2 per bin, 640 bins in 2500 Hz
  // A span without the signal; and the span's bucket holding noise alone.
  EXPECT_NEAR(meter_.Measure(8192, 16384, 1281.25, 1718.75, 62.5).signal, 0.0, 1e-6);
  // A block shorter than a bucket takes the bucket of its middle.
  EXPECT_NEAR(meter_.Measure(5000, 6000, 1281.25, 1718.75, 62.5).signal, 512.0, 1e-6);
  // Spectra the ring has dropped (8 buckets back) measure nothing, rather
  // than another time's.
  for (std::uint64_t end = 4 * 4096 + 1023; end < 13 * 4096; end += 1024) Take(2.0, 0.0, 0, 0, end);
  EXPECT_FALSE(meter_.Measure(4096, 8192, 1281.25, 1718.75, 62.5).measured);
}

// Ahead of the meter the rate converter lowers the upper part of the
// spectrum; measured as it came in, the noise is the same on both sides.
TEST_F(SignalMeterTest, BinsAreTakenAsTheyCameInBeforeTheConverter) {
  // A two-tap average: power gain cos^2(pi f / fs), 20 dB down at 3.75 kHz.
  std::vector<double> average = {0.5, 0.5};
  meter_.SetResponse(average.data(), 2);
  for (std::uint64_t end = 2047; end < 4096 + 2047; end += 1024) {
    std::vector<Bin> half(1024);
    for (int k = 0; k < 1024; ++k) {
      const double f = k * meter_.BinHz();
      const double gain = std::pow(std::cos(3.141592653589793 * f / 8000), 2);
      const bool band = k >= 256 && k <= 384;  // 1000..1500 Hz, 4 above the noise
      half[static_cast<std::size_t>(k)].Re = std::sqrt(gain * (1.0 + (band ? 4.0 : 0.0)));
    }
    meter_.TakeSpectrum(half.data(), end);
  }
  const MFSK_BlockSignal undone = meter_.Measure(0, 4096, 1062.5, 1437.5, 62.5);
  ASSERT_TRUE(undone.measured);
  EXPECT_NEAR(undone.noise, 1.0 * 2500 / meter_.BinHz(), 1e-6);
  EXPECT_NEAR(undone.signal, 4.0 * 129, 1e-6);
}

}  // namespace
}  // namespace quillon
