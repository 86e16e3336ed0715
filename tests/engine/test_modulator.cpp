// SPDX-License-Identifier: GPL-3.0-or-later
// The modulator's tones are measured from its audio and compared with the
// written layout: tone s on (FirstCarrier + 2 s) * rate / SymbolLen hertz.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Modulator.h"
#include "tests/engine/ToneProbe.h"

namespace quillon {
namespace {

constexpr double kRate = 8000;
const double kPi = 3.14159265358979323846;

// One symbol's whole window: Send, then the rising and the falling half.
std::vector<double> OneSymbol(MFSK_Modulator<double>& modulator, uint8_t symbol) {
  std::vector<double> audio(modulator.SymbolLen);
  modulator.Send(symbol);
  EXPECT_EQ(modulator.Output(audio.data()), modulator.SymbolStep);
  EXPECT_EQ(modulator.Output(audio.data() + modulator.SymbolStep), modulator.SymbolStep);
  return audio;
}

// The start phase of one windowed tone of `step` table units per sample:
// against the window 1 - cos, the image at twice the frequency sums to zero,
// so the correlation is exactly (len / 2) e^(i phase).
double StartPhase(const double* x, unsigned len, int step) {
  double re = 0, im = 0;
  for (unsigned t = 0; t < len; ++t) {
    const double a = 2 * kPi * step * t / len;
    re += x[t] * std::cos(a);
    im -= x[t] * std::sin(a);
  }
  return std::atan2(im, re);
}

double ToneOf(MFSK_Modulator<double>& modulator, uint8_t symbol) {
  const std::vector<double> audio = OneSymbol(modulator, symbol);
  return test::PeakFrequency(audio.data(), audio.size(), kRate, 50, 3950, kRate / modulator.SymbolLen / 2);
}

TEST(Modulator, PresetDerivesSizesAndTables) {
  MFSK_Modulator<double> modulator;
  ASSERT_EQ(modulator.Preset(), 0);
  EXPECT_EQ(modulator.Carriers, 32u);
  EXPECT_EQ(modulator.SymbolStep, 256u);
  EXPECT_EQ(modulator.WrapMask, 511);
  // A quarter period: zero but for the rounding of pi (6.1e-17), which the
  // C libraries' cosines (glibc, the Windows runtime) round differently.
  EXPECT_NEAR(modulator.CosineTable[128], 0.0, 1e-16);
  EXPECT_EQ(modulator.CosineTable[256], -1.0);
  modulator.SymbolLen = 0;  // not a power of two: rounded down, never a zero-length ring
  ASSERT_EQ(modulator.Preset(), 0);
  EXPECT_EQ(modulator.SymbolLen, 1u);
}

TEST(Modulator, DefaultSymbolZeroIs500HzUnderTheWindowThenSilence) {
  MFSK_Modulator<double> modulator;
  ASSERT_EQ(modulator.Preset(), 0);
  const std::vector<double> audio = OneSymbol(modulator, 0);
  std::vector<double> after(256, 1.0);
  modulator.Output(after.data());
  const double start = StartPhase(audio.data(), 512, 32);
  for (unsigned t = 0; t < 512; ++t) {
    const double expected = std::cos(start + 2 * kPi * 500 * t / kRate) * (1 - std::cos(2 * kPi * t / 512));
    ASSERT_NEAR(audio[t], expected, 1e-9) << t;
  }
  for (double x : after) EXPECT_EQ(x, 0.0);
  EXPECT_NEAR(test::PeakFrequency(audio.data(), 512, kRate, 50, 3950, 8), 500.0, 0.05);
}

TEST(Modulator, GrayCodedTonesAreTwoUnitsApart) {
  MFSK_Modulator<double> modulator;
  ASSERT_EQ(modulator.Preset(), 0);
  const double spacing = 2 * kRate / 512;  // 31.25 Hz
  EXPECT_NEAR(ToneOf(modulator, 2), 500 + 3 * spacing, 0.05);
  EXPECT_NEAR(ToneOf(modulator, 3), 500 + 2 * spacing, 0.05);
  EXPECT_NEAR(ToneOf(modulator, 31), 500 + 16 * spacing, 0.05);  // GrayCode(31) = 16
  modulator.UseGrayCode = 0;
  EXPECT_NEAR(ToneOf(modulator, 31), 1468.75, 0.05);
}

TEST(Modulator, ReversedTonesRunDownFromTheFirstCarrier) {
  MFSK_Modulator<double> modulator;
  modulator.Reverse = 1;
  modulator.FirstCarrier = 64;  // 1000 Hz
  ASSERT_EQ(modulator.Preset(), 0);
  EXPECT_NEAR(ToneOf(modulator, 0), 62 * kRate / 512, 0.05);
  EXPECT_NEAR(ToneOf(modulator, 1), 60 * kRate / 512, 0.05);
  EXPECT_NEAR(ToneOf(modulator, 2), 56 * kRate / 512, 0.05);  // GrayCode(2) = 3
  modulator.Reverse = 2;  // only exactly 1 reverses
  EXPECT_NEAR(ToneOf(modulator, 0), 64 * kRate / 512, 0.05);
}

TEST(Modulator, NextToneContinuesThePhaseWhereTheWindowsCrossPlusAQuarterTurn) {
  // The second window begins half a window after the first; they cross a
  // quarter window after the first centre. There the second tone's phase is
  // the first tone's plus or minus a quarter turn.
  int ups = 0;
  const int seeds = 60;
  for (int seed = 1; seed <= seeds; ++seed) {
    const uint8_t first = static_cast<uint8_t>(seed % 32), second = static_cast<uint8_t>((seed * 7 + 3) % 32);
    std::vector<double> both(768, 0.0), alone(768, 0.0);
    for (std::vector<double>* run : {&both, &alone}) {
      MFSK_Modulator<double> modulator;
      modulator.Seed = static_cast<unsigned>(seed);
      ASSERT_EQ(modulator.Preset(), 0);
      modulator.Send(first);
      modulator.Output(run->data());
      if (run == &both) modulator.Send(second);
      modulator.Output(run->data() + 256);
      modulator.Output(run->data() + 512);
    }
    // Windows add linearly: the difference is the second symbol alone.
    std::vector<double> second_only(512);
    for (unsigned t = 0; t < 512; ++t) second_only[t] = both[256 + t] - alone[256 + t];
    const int f1 = 32 + 2 * GrayCode(first), f2 = 32 + 2 * GrayCode(second);
    const double first_at_cross = StartPhase(alone.data(), 512, f1) + 2 * kPi * f1 * 384 / 512;
    const double second_at_cross = StartPhase(second_only.data(), 512, f2) + 2 * kPi * f2 * 128 / 512;
    const double turn = std::remainder(second_at_cross - first_at_cross, 2 * kPi);
    ASSERT_NEAR(std::abs(turn), kPi / 2, 1e-9) << seed;
    ups += turn > 0;
  }
  EXPECT_GT(ups, seeds / 4);  // the direction is a fair bit, not a constant
  EXPECT_LT(ups, seeds * 3 / 4);
}

TEST(Modulator, PhaseStaysInRangeForNegativeSteps) {
  MFSK_Modulator<double> modulator;
  modulator.Reverse = 1;
  modulator.FirstCarrier = 10;  // steps down to 10 - 2 - 62 = -54
  ASSERT_EQ(modulator.Preset(), 0);
  std::vector<double> out(256);
  for (int i = 0; i < 200; ++i) {
    modulator.Send(static_cast<uint8_t>(i % 32));
    modulator.Output(out.data());
    ASSERT_GE(modulator.SymbolPhase, 0);
    ASSERT_LT(modulator.SymbolPhase, 512);
  }
}

TEST(Modulator, SameSeedRepeatsTheRun) {
  std::vector<double> a, b;
  for (std::vector<double>* run : {&a, &b}) {
    MFSK_Modulator<double> modulator;
    modulator.Seed = 42;
    ASSERT_EQ(modulator.Preset(), 0);
    std::vector<double> out(256);
    for (int i = 0; i < 20; ++i) {
      modulator.Send(static_cast<uint8_t>(i));
      modulator.Output(out.data());
      run->insert(run->end(), out.begin(), out.end());
    }
  }
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace quillon
