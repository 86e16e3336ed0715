// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/InputProcessor.h"

namespace quillon {
namespace {

const double kPi = 3.141592653589793;

double Rms(const double* x, unsigned n) {
  double sum = 0;
  for (unsigned i = 0; i < n; ++i) sum += x[i] * x[i];
  return std::sqrt(sum / n);
}

// Correlation of x with a tone of the given frequency (cycles per sample):
// the fraction of x's energy that the tone explains.
double ToneShare(const double* x, unsigned n, double frequency) {
  double c = 0, s = 0, energy = 0;
  for (unsigned i = 0; i < n; ++i) {
    c += x[i] * std::cos(2 * kPi * frequency * i);
    s += x[i] * std::sin(2 * kPi * frequency * i);
    energy += x[i] * x[i];
  }
  return 2 * (c * c + s * s) / n / energy;
}

class InputProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    limiter.WindowSize = kWindow;
    ASSERT_EQ(limiter.Preset(), 0);
  }
  static constexpr unsigned kWindow = 2048;
  MFSK_InputProcessor<double> limiter;
};

TEST_F(InputProcessorTest, PresetDerivesSizesAndAnOverlapAddingWindow) {
  EXPECT_EQ(limiter.WindowMask, kWindow - 1);
  EXPECT_EQ(limiter.HalfWindow, kWindow / 2);
  EXPECT_EQ(limiter.SpectrumLen, kWindow / 2);
  EXPECT_EQ(limiter.Smoother.Length, kWindow / 16);
  EXPECT_EQ(limiter.Window[0], 0.0);
  EXPECT_NEAR(limiter.Window[kWindow / 2], std::sqrt(2.0) * 2 / kWindow, 1e-15);
  // In and out the two windows multiply; shifted by half a window they sum
  // to a constant, so an untouched spectrum comes back unchanged in level.
  for (unsigned i = 0; i < kWindow / 2; ++i) {
    const double a = limiter.Window[i], b = limiter.Window[i + kWindow / 2];
    ASSERT_NEAR(a * a + b * b, 8.0 / (double(kWindow) * kWindow), 1e-18);
  }
  MFSK_InputProcessor<double> bad;
  bad.WindowSize = 3000;
  EXPECT_EQ(bad.Preset(), -1);
  EXPECT_FALSE(bad.InputTap);
  EXPECT_FALSE(bad.Output);
}

TEST_F(InputProcessorTest, SilenceStaysSilentAndNullInputMeansZeros) {
  std::vector<double> zeros(kWindow, 0.0);
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(limiter.Process(call == 1 ? nullptr : zeros.data()), static_cast<int>(kWindow));
    for (unsigned i = 0; i < kWindow; ++i) ASSERT_EQ(limiter.Output[i], 0.0);
  }
  // After a signal, a null call and a call with zeros give the same output.
  MFSK_InputProcessor<double> twin;
  twin.WindowSize = kWindow;
  ASSERT_EQ(twin.Preset(), 0);
  std::mt19937 random(3);
  std::normal_distribution<double> gauss(0, 0.3);
  std::vector<double> noise(kWindow);
  for (double& x : noise) x = gauss(random);
  limiter.Process(noise.data());
  twin.Process(noise.data());
  limiter.Process(nullptr);
  twin.Process(zeros.data());
  for (unsigned i = 0; i < kWindow; ++i) ASSERT_EQ(limiter.Output[i], twin.Output[i]);
}

TEST_F(InputProcessorTest, OutputIsClippedToTwoAndAHalfTimesItsRms) {
  std::mt19937 random(5);
  std::normal_distribution<double> gauss(0, 0.2);
  std::vector<double> input(kWindow);
  for (int call = 0; call < 4; ++call) {
    for (double& x : input) x = gauss(random);
    input[100] = 40;  // a click far above the noise
    limiter.Process(input.data());
    if (call == 0) continue;  // half of the first block is the fade-in of the overlap-add
    const double rms = Rms(limiter.Output.get(), kWindow);
    double peak = 0;
    for (unsigned i = 0; i < kWindow; ++i) peak = std::max(peak, std::abs(limiter.Output[i]));
    // The second clip works from the RMS of the once-clipped block, which
    // that clip itself lowers by a few per cent; unclipped, the click would
    // stand far above 10 times the RMS.
    EXPECT_LE(peak, 2.5 * rms * 1.1) << call;
    EXPECT_GT(peak, 0.0);
  }
  // A block whose samples all have the same magnitude is not touched.
  std::vector<double> square(kWindow);
  for (unsigned i = 0; i < kWindow; ++i) limiter.Output[i] = square[i] = (i % 3 == 0) ? 0.5 : -0.5;
  limiter.LimitOutputPeaks(2.5);
  for (unsigned i = 0; i < kWindow; ++i) ASSERT_EQ(limiter.Output[i], square[i]);
}

// The deep receiver's clip: Gaussian noise passes (beyond 4 sigma lie 6e-5
// of its samples, so at most a handful of a window's 2048 may be touched,
// and those by little), while a click is cut to 4 sigma whatever the RMS
// it raises. A mostly silent window falls back to the RMS clip rather than
// cutting everything to the zero its median would give.
TEST_F(InputProcessorTest, ImpulseClipLeavesGaussianNoiseAndCutsClicks) {
  limiter.ImpulseClip = 4.0;
  ASSERT_EQ(limiter.Preset(), 0);
  std::mt19937 random(8);
  std::normal_distribution<double> gauss(0, 1.0);
  for (unsigned i = 0; i < kWindow; ++i) limiter.Output[i] = gauss(random);
  std::vector<double> noise(limiter.Output.get(), limiter.Output.get() + kWindow);
  limiter.ClipImpulses();
  unsigned touched = 0;
  for (unsigned i = 0; i < kWindow; ++i) touched += limiter.Output[i] != noise[i] ? 1 : 0;
  EXPECT_LE(touched, 3u);

  for (unsigned i = 0; i < kWindow; ++i) limiter.Output[i] = noise[i];
  for (unsigned click : {100u, 900u, 1500u}) limiter.Output[click] = 50.0;
  limiter.ClipImpulses();
  const double sigma = 1.0;  // the median hardly moves for three samples of 2048
  for (unsigned click : {100u, 900u, 1500u}) EXPECT_NEAR(limiter.Output[click], 4.0 * sigma, 0.3) << click;

  for (unsigned i = 0; i < kWindow; ++i) limiter.Output[i] = i < kWindow * 3 / 4 ? 0.0 : 0.5 * noise[i];
  limiter.ClipImpulses();
  double peak = 0;
  for (unsigned i = 0; i < kWindow; ++i) peak = std::max(peak, std::abs(limiter.Output[i]));
  EXPECT_GT(peak, 0.0);
}

TEST_F(InputProcessorTest, NarrowPeakIsCutToFourTimesItsNeighbourhoodInEachPass) {
  const unsigned half = kWindow / 2;
  const unsigned box = kWindow / 64;
  const unsigned peak_bin = 200;
  std::vector<Cmpx<double>> spectrum(half, Cmpx<double>{1.0, 0.0});
  spectrum[peak_bin] = Cmpx<double>{1000.0, 0.0};
  for (unsigned i = 0; i < half; ++i) limiter.BinEnergy[i] = spectrum[i].Energy();
  double expected = 1e6;
  for (int pass = 0; pass < 3; ++pass) {
    limiter.LimitSpectraPeaks(spectrum.data(), box, 4.0);
    // The box is centred on the bin and holds the values as fed.
    expected = 4.0 * ((box - 1) + expected) / box;
    EXPECT_NEAR(limiter.BinEnergy[peak_bin], expected, 1e-9 * expected) << pass;
  }
  EXPECT_NEAR(spectrum[peak_bin].Energy(), expected, 1e-9 * expected);
  for (unsigned i = 0; i < half; ++i)
    if (i != peak_bin) {
      ASSERT_EQ(spectrum[i].Re, 1.0) << i;
    }
}

TEST_F(InputProcessorTest, ClicksAreSuppressedWhileAToneSurvives) {
  const double frequency = 0.1234;  // cycles per sample
  std::vector<double> input(kWindow);
  double in_share = 0, out_share = 0;
  for (int call = 0; call < 4; ++call) {
    for (unsigned i = 0; i < kWindow; ++i) input[i] = 0.01 * std::cos(2 * kPi * frequency * (call * kWindow + i));
    for (unsigned click : {300u, 1100u, 1700u}) input[click] += 1.0;
    limiter.Process(input.data());
    if (call == 3) {
      in_share = ToneShare(input.data(), kWindow, frequency);
      // The output lags by half a window; the tone's phase does not matter.
      out_share = ToneShare(limiter.Output.get(), kWindow, frequency);
    }
  }
  EXPECT_LT(in_share, 0.2);
  EXPECT_GT(out_share, 0.6);
}

}  // namespace
}  // namespace quillon
