// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/BurstDetector.h"
#include "engine/Transmitter.h"
#include "tests/engine/ToneBurst.h"

namespace quillon {
namespace {

constexpr double kRate = 8000;
// OLIVIA_8_500: its outer tones at 1500 Hz -+ (500 - 500/8) / 2.
constexpr double kLowTone = 1281.25;
constexpr double kHighTone = 1718.75;

// Noise of `ratio` times a unit sine's power in 2500 Hz (white over 4000 Hz).
void AddNoise(std::vector<double>& audio, double ratio, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, std::sqrt(ratio * 0.5 * 4000.0 / 2500.0));
  for (double& x : audio) x += gauss(random);
}

struct Detection {
  int count = 0;
  std::uint64_t last_end = 0;
};

Detection Detect(const std::vector<double>& audio, double offset_range_hz = 250) {
  MFSK_BurstDetector<double> detector;
  detector.LowTone = kLowTone;
  detector.HighTone = kHighTone;
  detector.MaxOffset = offset_range_hz;
  EXPECT_EQ(detector.Preset(), 0);
  Detection detection;
  for (std::size_t at = 0; at < audio.size(); at += 512) {
    const unsigned n = static_cast<unsigned>(std::min<std::size_t>(512, audio.size() - at));
    if (detector.Process(audio.data() + at, n)) {
      ++detection.count;
      detection.last_end = detector.BurstEnd;
    }
  }
  return detection;
}

// A burst 14 dB below the noise in 2500 Hz (the weakest at which any mode
// decodes) and off tune within the search range is found once, its end
// within half a spectrum step (64 ms) of the truth.
TEST(BurstDetector, FindsTheEndOfABurstInNoiseOffTune) {
  for (double offset : {-230.0, 0.0, 117.0}) {
    std::vector<double> audio(5000, 0.0);
    const std::vector<double> burst = test::ToneBurst(kLowTone + offset, kHighTone + offset);
    audio.insert(audio.end(), burst.begin(), burst.end());
    audio.resize(audio.size() + 8000, 0.0);
    AddNoise(audio, std::pow(10.0, 1.4), 3);
    const Detection detection = Detect(audio);
    EXPECT_EQ(detection.count, 1) << offset;
    const double true_end = 5000 + 4 * 2048 - 1;
    EXPECT_NEAR(static_cast<double>(detection.last_end), true_end, 512) << offset;
  }
}

// Neither noise nor Olivia data (whose symbols hop over every tone of the
// band, the outer ones included) looks like a burst.
TEST(BurstDetector, IgnoresNoiseAndOliviaData) {
  std::vector<double> noise(60 * 8000, 0.0);
  AddNoise(noise, 1.0, 5);
  EXPECT_EQ(Detect(noise).count, 0);

  MFSK_Transmitter<double> transmitter;
  transmitter.Tones = 8;
  transmitter.Bandwidth = 500;
  transmitter.SampleRate = transmitter.OutputSampleRate = kRate;
  transmitter.BandEdge = static_cast<float>((1500 - 500 * (1 - 0.5 / 8) / 2) / 500);
  ASSERT_EQ(transmitter.Preset(), 0);
  transmitter.Start();
  std::vector<double> data;
  std::vector<double> block(transmitter.MaxOutLen);
  std::mt19937 random(7);
  while (data.size() < 60 * 8000) {
    while (transmitter.GetReadReady() < 3) transmitter.PutChar(static_cast<uint8_t>(32 + random() % 95));
    const int n = transmitter.Output(block.data());
    data.insert(data.end(), block.begin(), block.begin() + n);
  }
  EXPECT_EQ(Detect(data).count, 0);
}

}  // namespace
}  // namespace quillon
