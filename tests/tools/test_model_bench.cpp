// SPDX-License-Identifier: GPL-3.0-or-later
// The perfect-sync model of the Olivia code: its soft metrics, the levels it
// assumes and the noise it adds, and what it decodes.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/Demodulator.h"
#include "tools/CliError.h"
#include "tools/ModeArg.h"
#include "tools/ModelBench.h"
#include "tools/channel/ChannelSimulator.h"

namespace quillon {
namespace {

std::vector<std::uint8_t> RandomCharacters(std::size_t count, std::mt19937_64& random) {
  std::uniform_int_distribution<int> character(0, 127);
  std::vector<std::uint8_t> characters(count);
  for (std::uint8_t& c : characters) c = static_cast<std::uint8_t>(character(random));
  return characters;
}

TEST(ModelSoftMetrics, LogBesselI0FollowsTheExactFunctionOnBothSidesOfItsTwoFits) {
  // The fits hold I0 within 2e-7 relatively, which is 2e-7 in its log.
  for (double x : {0.0, 0.3, 1.0, 3.7, 3.75, 3.8, 8.0, 40.0, 300.0})
    EXPECT_NEAR(LogBesselI0(x), std::log(std::cyl_bessel_i(0.0, x)), 3e-7) << "x = " << x;
  // Beyond where I0 overflows a double the log stays finite: x - ln(2 pi x)/2.
  EXPECT_NEAR(LogBesselI0(1e4), 1e4 - 0.5 * std::log(2 * 3.141592653589793 * 1e4), 1e-4);
}

TEST(ModelSoftMetrics, SquaredEnergiesAreTheDemodulatorsOwnAndLikelihoodsFollowTheStrongestTone) {
  for (unsigned bits : {2u, 3u, 5u, 6u}) {
    MFSK_Demodulator<double> demodulator;
    demodulator.SymbolLen = 1024;
    demodulator.FirstCarrier = 100;
    demodulator.BitsPerSymbol = bits;
    demodulator.BinMargin = 0;
    ASSERT_EQ(demodulator.Preset(), 0);
    std::mt19937_64 random(bits);
    std::exponential_distribution<double> energy(1.0);
    std::vector<double> tones(1u << bits);
    for (unsigned t = 0; t < tones.size(); ++t) tones[t] = demodulator.BinEnergy[0][2 * t] = energy(random);
    double expected[8];
    double soft[8];
    demodulator.SoftDecode(expected, 0, 0);
    SquaredEnergySoftBits(tones.data(), bits, soft);
    for (unsigned b = 0; b < bits; ++b) EXPECT_NEAR(soft[b], expected[b], 1e-12) << bits << " bits, bit " << b;

    // One tone far above the rest: each bit's sign is that bit of the value
    // the tone carries (the inverse Gray code of its number).
    const unsigned strong = static_cast<unsigned>(tones.size()) - 2;
    tones.assign(tones.size(), 1.0);
    tones[strong] = 50.0;
    LikelihoodSoftBits(tones.data(), bits, 10.0, 1.0, soft);
    const unsigned value = BinaryCode(static_cast<std::uint8_t>(strong));
    for (unsigned b = 0; b < bits; ++b) EXPECT_EQ(soft[b] < 0, ((value >> b) & 1u) != 0) << bits << " bits, bit " << b;
    // Equal energies say nothing about any bit.
    tones.assign(tones.size(), 3.0);
    LikelihoodSoftBits(tones.data(), bits, 10.0, 1.0, soft);
    for (unsigned b = 0; b < bits; ++b) EXPECT_NEAR(soft[b], 0.0, 1e-12);
  }
}

TEST(PerfectSyncModel, MatchedFilterLevelsAreTheOnesTheLikelihoodsAssume) {
  const PerfectSyncModel model(ParseMode("16/500"));
  std::mt19937_64 random(7);
  const std::vector<std::uint8_t> characters = RandomCharacters(4 * 8, random);
  const std::vector<double> clean = model.Modulate(characters, random);
  const std::size_t symbols = 8 * 64;
  const std::size_t tones = 16;

  // Without noise the sent tone is the strongest; its mean energy is the
  // signal level give or take what the half-overlapping neighbours leak in
  // (their phases jump at random, so they add energy only on average).
  std::vector<double> energies = model.ToneEnergies(clean, 64, symbols);
  double sent = 0.0;
  for (std::size_t s = 0; s < symbols; ++s)
    sent += *std::max_element(energies.begin() + s * tones, energies.begin() + (s + 1) * tones);
  EXPECT_NEAR(sent / symbols / model.SignalEnergy(), 1.0, 0.05);

  // Noise alone: the mean of 4096 symbols' 16 tone energies, each
  // exponential (spread equal to its mean). Neighbouring windows overlap by
  // half and neighbouring tones' filters by a little, so the samples count
  // as about 30000 independent ones: within 3 % is over 5 sigma.
  const std::size_t noise_symbols = 4096;
  std::normal_distribution<double> gaussian(0.0, 0.3);
  std::vector<double> noise((noise_symbols + 2) * model.SymbolStep());
  for (double& sample : noise) sample = gaussian(random);
  energies = model.ToneEnergies(noise, 1, noise_symbols);
  double mean = 0.0;
  for (double e : energies) mean += e;
  mean /= static_cast<double>(energies.size());
  EXPECT_NEAR(mean / model.NoiseEnergy(0.3), 1.0, 0.03);
}

TEST(PerfectSyncModel, AddsTheNoiseTheChannelSimulatorAddsAtTheSameSnr) {
  const PerfectSyncModel model(ParseMode("8/500"));
  std::mt19937_64 random(3);
  const std::vector<double> clean = model.Modulate(RandomCharacters(3 * 20, random), random);
  for (double snr : {-12.0, 3.0}) {
    ChannelSettings settings;
    settings.add_noise = true;
    settings.snr_db = snr;
    settings.seed = 11;
    ChannelSimulator channel(settings);
    const std::vector<double> heard = channel.Apply(clean);
    ASSERT_EQ(heard.size(), clean.size());
    double added = 0.0;
    for (std::size_t n = 0; n < clean.size(); ++n) added += (heard[n] - clean[n]) * (heard[n] - clean[n]);
    added /= static_cast<double>(clean.size());
    // Over ~180000 samples the power of Gaussian noise is estimated within
    // sqrt(2 / N) = 0.33 % (one sigma); 1.5 % leaves 4.5 sigma.
    const double deviation = PerfectSyncModel::NoiseDeviation(clean, snr);
    EXPECT_NEAR(added / (deviation * deviation), 1.0, 0.015) << snr << " dB";
  }
}

TEST(PerfectSyncModel, DecodesEveryCharacterOfEveryModeWhenTheNoiseIsWeak) {
  std::vector<const OliviaMode*> modes = ParseModes("all");
  ModelSettings settings;
  settings.from_db = settings.to_db = 10.0;
  settings.trials = 2;
  settings.threads = 2;
  for (const ModelCurve& curve : MeasureModel(modes, settings)) {
    const ModelPoint& point = curve.points.at(0);
    EXPECT_EQ(point.characters, 2 * 40);
    for (int m = 0; m < kSoftMetrics; ++m) {
      EXPECT_EQ(point.character_errors[m], 0) << curve.mode->label << ", " << SoftMetricName(SoftMetric(m));
      EXPECT_EQ(point.good[m], 2) << curve.mode->label << ", " << SoftMetricName(SoftMetric(m));
    }
  }
}

TEST(PerfectSyncModel, LikelihoodsDecodeNoWorseThanSquaredEnergiesNearTheThreshold) {
  // 8/500 at -13.5 dB, about 5 % character errors: 40 frames of 30
  // characters, 400 blocks. Both metrics decode the same noisy frames, so
  // their counts differ only by the characters on which they disagree; the
  // likelihoods may lose by chance at most about the square root of the
  // errors (one sigma of that difference) but should not lose more.
  ModelSettings settings;
  settings.from_db = settings.to_db = -13.5;
  settings.trials = 40;
  settings.length = 30;
  settings.threads = 2;
  const ModelPoint point = MeasureModel({&ParseMode("8/500")}, settings).at(0).points.at(0);
  const int squared = point.character_errors[static_cast<int>(SoftMetric::kSquaredEnergies)];
  const int likelihood = point.character_errors[static_cast<int>(SoftMetric::kLikelihood)];
  ASSERT_GT(squared, 10) << "the SNR no longer lies near the threshold";
  EXPECT_LE(likelihood, squared + std::sqrt(double(squared)));
}

TEST(PerfectSyncModel, ThresholdsInterpolateCharacterAndFrameShares) {
  ModelCurve curve;
  ModelPoint low;
  low.snr_db = -14.0;
  low.frames = 10;
  low.characters = 400;
  low.character_errors = {12, 4};  // 3 % and 1 %
  low.good = {5, 9};
  ModelPoint high = low;
  high.snr_db = -13.0;
  high.character_errors = {0, 0};
  high.good = {10, 10};
  curve.points = {low, high};
  double snr = 0.0;
  ASSERT_TRUE(SnrAtCharacterErrorRate(curve, SoftMetric::kSquaredEnergies, 0.01, &snr));
  EXPECT_NEAR(snr, -14.0 + 2.0 / 3.0, 1e-9);  // 3 % -> 0 % over 1 dB: 1 % two thirds of the way
  ASSERT_TRUE(SnrAtCharacterErrorRate(curve, SoftMetric::kLikelihood, 0.01, &snr));
  EXPECT_DOUBLE_EQ(snr, -14.0);
  ASSERT_TRUE(SnrAtGoodFrames(curve, SoftMetric::kSquaredEnergies, 0.9, &snr));
  EXPECT_NEAR(snr, -13.2, 1e-9);  // 50 % -> 100 %: 90 % at four fifths
}

TEST(ModelBenchCommand, TakesAListOfModesAndPrintsOneJsonObjectEach) {
  testing::internal::CaptureStdout();
  RunModelBench({"-m", "8/500,4/2000", "--from", "5", "--to", "5", "--trials", "1", "--threads", "1", "--json"});
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("{\"mode\":\"OLIVIA_8_500\""), std::string::npos) << out;
  EXPECT_NE(out.find("\n{\"mode\":\"OLIVIA_4_2000\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"likelihood\":{\"snr_cer_1\":5.00,\"snr_90\":5.00}"), std::string::npos) << out;
  EXPECT_THROW(RunModelBench({"-m", "8/500,,16/500"}), CliError);
  EXPECT_THROW(RunModelBench({"-m", "8/500,9/500"}), CliError);
}

}  // namespace
}  // namespace quillon
