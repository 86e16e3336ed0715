// SPDX-License-Identifier: GPL-3.0-or-later
// The channel simulator's statistics, measured from its output: the SNR in
// the noise bandwidth, the Rayleigh envelope and the Doppler spread of the
// fading paths, the frequency offset, the drift, the clicks, and determinism.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>

#include "tools/channel/ChannelSimulator.h"
#include "tools/CliError.h"
#include "tools/channel/Fft.h"

namespace quillon {
namespace {

constexpr double kRate = 8000.0;

std::vector<double> Tone(double frequency, double seconds, double amplitude) {
  std::vector<double> tone(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t n = 0; n < tone.size(); ++n) tone[n] = amplitude * std::cos(2.0 * M_PI * frequency * n / kRate);
  return tone;
}

// The complex envelope of a tone at `frequency` in x: analytic signal moved
// down to 0 Hz.
ComplexSignal Baseband(const std::vector<double>& x, double frequency) {
  ComplexSignal z = AnalyticSignal(x);
  for (std::size_t n = 0; n < z.size(); ++n) z[n] *= std::polar(1.0, -2.0 * M_PI * frequency * n / kRate);
  return z;
}

// 2 sigma of the power spectrum of z, over +-limit Hz.
double SpectralWidth(ComplexSignal z, double limit) {
  const std::size_t length = z.size();
  z.resize(FftSize(length));
  FftForward(z);
  double power = 0.0;
  double moment = 0.0;
  for (std::size_t k = 0; k < z.size(); ++k) {
    const double bin = k < z.size() / 2 ? double(k) : double(k) - double(z.size());
    const double f = bin * kRate / double(z.size());
    if (std::fabs(f) > limit) continue;
    power += std::norm(z[k]);
    moment += f * f * std::norm(z[k]);
  }
  return 2.0 * std::sqrt(moment / power);
}

TEST(ChannelSimulatorNoise, MeasuredSnrInTheNoiseBandMatchesTheRequest) {
  // One second of silence, eight of tone, one of silence: the silent part
  // must not count towards the signal power.
  std::vector<double> input(8000, 0.0);
  const std::vector<double> tone = Tone(1500.0, 8.0, 10000.0);
  input.insert(input.end(), tone.begin(), tone.end());
  input.resize(input.size() + 8000, 0.0);
  for (double snr : {-10.0, -5.0, 3.0}) {
    ChannelSettings settings;
    settings.add_noise = true;
    settings.snr_db = snr;
    settings.seed = 7;
    ChannelSimulator channel(settings);
    const std::vector<double> output = channel.Apply(input);
    ASSERT_EQ(output.size(), input.size());
    // Noise measured independently: what the channel added, and only the
    // part of its spectrum inside 250..2750 Hz (2500 Hz).
    ComplexSignal noise(FftSize(output.size()));
    for (std::size_t n = 0; n < output.size(); ++n) noise[n] = output[n] - input[n];
    FftForward(noise);
    double in_band = 0.0;
    for (std::size_t k = 0; k < noise.size() / 2; ++k) {
      const double f = k * kRate / noise.size();
      if (f >= 250.0 && f < 2750.0) in_band += 2.0 * std::norm(noise[k]);
    }
    in_band /= double(noise.size()) * double(output.size());
    const double signal_power = 10000.0 * 10000.0 / 2.0;
    EXPECT_NEAR(10.0 * std::log10(signal_power / in_band), snr, 0.3) << snr;
    EXPECT_NEAR(channel.Report().measured_snr_db, snr, 0.3) << snr;
    EXPECT_NEAR(channel.Report().signal_seconds, 8.0, 0.1);
  }
}

TEST(ChannelSimulatorNoise, NoiseOverSilenceIsRefused) {
  ChannelSettings settings;
  settings.add_noise = true;
  ChannelSimulator channel(settings);
  EXPECT_THROW(channel.Apply(std::vector<double>(4000, 0.0)), CliError);
}

TEST(ChannelSimulatorOutput, AnOutputLongerThanItMakesIsRefusedBeforeTheWork) {
  // The simulator holds the whole signal several times over; past its
  // limit it says so instead of running out of memory.
  ChannelSettings settings;
  settings.fading = Fading::kModerate;
  settings.lead_s = 2.0;
  const std::vector<double> input(kMaxChannelSamples - 8000, 1.0);
  try {
    ChannelSimulator(settings).Apply(input);
    ADD_FAILURE() << "made more than its limit";
  } catch (const CliError& error) {
    EXPECT_STREQ(error.what(), "the channel's output would last 2098.15 s; it makes at most 2097.15 s");
  }
}

TEST(ChannelSimulatorFading, EnvelopeIsRayleighWithTheRequestedDopplerSpread) {
  // Flutter fades fastest, so 60 s hold hundreds of independent fades;
  // moderate needs longer for its 0.5 Hz spread.
  struct Case {
    Fading fading;
    double seconds;
  };
  for (const Case& c : {Case{Fading::kFlutter, 60.0}, Case{Fading::kModerate, 240.0}}) {
    ChannelSettings settings;
    settings.fading = c.fading;
    settings.seed = 11;
    ChannelSimulator channel(settings);
    const std::vector<double> output = channel.Apply(Tone(1000.0, c.seconds, 1.0));
    // Skip the first path delay, where only one path has arrived.
    const ComplexSignal z = Baseband(output, 1000.0);
    const ComplexSignal steady(z.begin() + 100, z.end() - 100);
    double sum = 0.0;
    double sum_squares = 0.0;
    for (const auto& value : steady) {
      sum += std::abs(value);
      sum_squares += std::norm(value);
    }
    const double mean = sum / steady.size();
    const double rms = std::sqrt(sum_squares / steady.size());
    EXPECT_NEAR(mean / rms, std::sqrt(M_PI) / 2.0, 0.02) << FadingName(c.fading);
    EXPECT_NEAR(rms, 1.0, 0.2) << "unit mean power, " << FadingName(c.fading);
    const double spread = ProfileOf(c.fading).spread_hz;
    EXPECT_NEAR(SpectralWidth(steady, 5.0 * spread), spread, 0.2 * spread) << FadingName(c.fading);
  }
}

TEST(ChannelSimulatorFading, SlowTapsKeepTheirSpreadAndPower) {
  // The good profile's 0.1 Hz spread, straight from the tap generator over
  // several realisations.
  std::mt19937_64 random(3);
  double width = 0.0;
  double power = 0.0;
  const int realisations = 8;
  for (int r = 0; r < realisations; ++r) {
    const ComplexSignal tap = DopplerTap(1 << 20, kRate, 0.1, random);
    width += SpectralWidth(tap, 0.5) / realisations;
    for (const auto& value : tap) power += std::norm(value) / tap.size() / realisations;
  }
  EXPECT_NEAR(width, 0.1, 0.02);
  EXPECT_NEAR(power, 1.0, 0.3);
}

TEST(ChannelSimulatorShift, OffsetMovesAToneAndDriftStretchesTime) {
  const std::vector<double> tone = Tone(1000.0, 4.0, 1.0);
  ChannelSettings settings;
  settings.offset_hz = 37.5;
  const std::vector<double> shifted = ChannelSimulator(settings).Apply(tone);
  // At 1037.5 Hz the baseband is nearly constant; at 1000 Hz it turns.
  const ComplexSignal z = Baseband(shifted, 1037.5);
  EXPECT_NEAR(std::abs(z[16000]), 1.0, 0.01);
  EXPECT_LT(std::abs(z[16000] - z[20000]), 0.01);

  ChannelSettings drift;
  drift.drift_ppm = 1000.0;  // the sender's clock 0.1 % fast
  drift.lead_s = 0.5;
  drift.tail_s = 0.25;
  const std::vector<double> drifted = ChannelSimulator(drift).Apply(tone);
  EXPECT_NEAR(double(drifted.size()), 32000.0 / 1.001 + 6000.0, 2.0);
  for (int n = 0; n < 4000; ++n) ASSERT_EQ(drifted[n], 0.0);
}

TEST(ChannelSimulatorSeed, SameSeedSameOutputOtherSeedOtherOutput) {
  const std::vector<double> tone = Tone(1200.0, 2.0, 5000.0);
  ChannelSettings settings;
  settings.add_noise = true;
  settings.snr_db = 0.0;
  settings.fading = Fading::kPoor;
  settings.seed = 42;
  const std::vector<double> first = ChannelSimulator(settings).Apply(tone);
  const std::vector<double> second = ChannelSimulator(settings).Apply(tone);
  EXPECT_EQ(first, second);
  settings.seed = 43;
  EXPECT_NE(ChannelSimulator(settings).Apply(tone), first);
}

TEST(ChannelSimulatorOutput, SixteenBitOutputIsScaledInsteadOfClipped) {
  const std::vector<double> tone = Tone(1500.0, 2.0, 19000.0);
  ChannelSettings settings;
  settings.add_noise = true;
  settings.snr_db = -10.0;
  ChannelSimulator channel(settings);
  const Audio audio = channel.Apply(Audio(tone.begin(), tone.end()));
  EXPECT_LT(channel.Report().output_gain, 1.0);
  int16_t peak = 0;
  for (int16_t sample : audio) peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(sample)));
  EXPECT_LE(peak, 32000);
  EXPECT_GT(peak, 31000);
}

// A click train over a tone of known power: the clicks come at the asked
// rate and peak level, from a random stream of their own (the Gaussian noise
// and the SNR report are the same with or without them).
TEST(ChannelSimulatorClicks, ArriveAtTheAskedRateAndPeakOverTheSignal) {
  const double seconds = 60.0;
  const double amplitude = 1000.0;  // a tone's power is amplitude^2 / 2
  const std::vector<double> tone = Tone(1000.0, seconds, amplitude);
  ChannelSettings settings;
  settings.add_noise = true;
  settings.snr_db = 0.0;
  settings.seed = 5;
  ChannelSimulator quiet(settings);
  const std::vector<double> without = quiet.Apply(tone);
  settings.clicks_per_s = 20.0;
  settings.click_db = 20.0;
  ChannelSimulator clicking(settings);
  const std::vector<double> with = clicking.Apply(tone);
  ASSERT_EQ(with.size(), without.size());
  EXPECT_DOUBLE_EQ(clicking.Report().measured_snr_db, quiet.Report().measured_snr_db);

  // What the clicks added: runs of non-zero samples, one per click or per
  // clicks that fell within 1 ms of each other.
  const double peak = std::sqrt(amplitude * amplitude / 2.0 * 100.0);  // +20 dB in power
  int runs = 0;
  int positive = 0;
  int at_peak = 0;
  bool in_run = false;
  for (std::size_t n = 0; n < with.size(); ++n) {
    const double added = with[n] - without[n];
    // Sums of samples of some 10^4 carry rounding of about 10^-12 of them;
    // a click's sample (a Gaussian under its envelope) is that small only
    // once in about 10^12.
    const bool click = std::fabs(added) > 1e-6;
    if (click && !in_run) {
      ++runs;
      positive += added > 0.0;
      // A click begins at exactly +-peak; the tone's power over whole
      // 256-sample blocks differs from amplitude^2 / 2 by far less than 1 %.
      at_peak += std::fabs(std::fabs(added) / peak - 1.0) < 0.01;
    }
    in_run = click;
  }
  // 1200 clicks expected, Poisson: a standard deviation of 35; 4 of them
  // either way.
  const int clicks = clicking.Report().clicks;
  EXPECT_NEAR(clicks, 20.0 * seconds, 140.0);
  // About 2 % of the clicks start within 1 ms (8 samples) of the one before
  // at 20 a second (1 - exp(-20 * 0.001)) and join its run.
  EXPECT_LE(runs, clicks);
  EXPECT_GE(runs, clicks * 0.95);
  // Two clicks on the same sample start at 0 or twice the peak: about
  // 1200 x 20 / 8000 = 3 times here.
  EXPECT_GE(at_peak, runs - 10);
  // Random signs: half of about 1200, binomial standard deviation 17.
  EXPECT_NEAR(positive, runs / 2.0, 90.0);
}

// Without clicks the channel gives what it gave before they existed: the
// output of these settings then, as a checksum of its 16-bit samples.
TEST(ChannelSimulatorClicks, ZeroRateLeavesTheOutputAsItWas) {
  Audio input(16000);
  for (std::size_t n = 0; n < input.size(); ++n)
    input[n] = static_cast<int16_t>(std::lround(8000.0 * std::cos(2.0 * M_PI * 1000.0 * n / kRate)));
  ChannelSettings settings;
  settings.add_noise = true;
  settings.snr_db = -3.0;
  settings.fading = Fading::kModerate;
  settings.offset_hz = 12.5;
  settings.lead_s = 0.25;
  settings.tail_s = 0.25;
  settings.seed = 42;
  settings.click_db = 40.0;  // no clicks at any level
  const Audio output = ChannelSimulator(settings).Apply(input);
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a over the samples' bytes
  for (int16_t sample : output) {
    unsigned char bytes[2];
    std::memcpy(bytes, &sample, 2);
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  }
  EXPECT_EQ(output.size(), 20000u);
  EXPECT_EQ(hash, 0xbf5d2be99e813b6dull);
}

TEST(ChannelSimulatorClicks, OptionTakesRateAndLevelAndRefusesTheRest) {
  ChannelSettings settings;
  ParseClicks("20", settings);
  EXPECT_EQ(settings.clicks_per_s, 20.0);
  EXPECT_EQ(settings.click_db, 20.0);
  ParseClicks("2.5:-3", settings);
  EXPECT_EQ(settings.clicks_per_s, 2.5);
  EXPECT_EQ(settings.click_db, -3.0);
  for (const char* wrong : {"", "x", "20:", ":5", "20:x", "-1", "1001", "20:61", "nan", "20:5:5"})
    EXPECT_THROW(ParseClicks(wrong, settings), CliError) << wrong;
  EXPECT_EQ(settings.clicks_per_s, 2.5);

  // Clicks have no level over a silent input.
  settings.add_noise = false;
  EXPECT_THROW(ChannelSimulator(settings).Apply(std::vector<double>(8000, 0.0)), CliError);
}

}  // namespace
}  // namespace quillon
