// SPDX-License-Identifier: GPL-3.0-or-later
// The transmit chain: mode derivation, block scheduling, scaling, and every
// tone of every mode measured from the audio at band edge + (s + 1/2) x
// spacing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Hadamard.h"
#include "engine/Transmitter.h"
#include "tests/engine/ToneProbe.h"

namespace quillon {
namespace {

struct Mode {
  unsigned tones, bandwidth, symbol_len;
};
// Window lengths of the 19 modes of the adapter.
const Mode kModes[] = {{4, 125, 512},   {4, 250, 256},   {4, 500, 128},   {4, 1000, 64},   {4, 2000, 32},
                       {8, 125, 1024},  {8, 250, 512},   {8, 500, 256},   {8, 1000, 128},  {8, 2000, 64},
                       {16, 500, 512},  {16, 1000, 256}, {16, 2000, 128}, {32, 1000, 512}, {32, 2000, 256},
                       {64, 250, 4096}, {64, 500, 2048}, {64, 1000, 1024}, {64, 2000, 512}};

// The band centred on 1500 Hz, as the adapter lays it out.
void Configure(MFSK_Transmitter<double>& tx, unsigned tones, unsigned bandwidth, bool reverse = false,
           double output_rate = 8000) {
  tx.Tones = tones;
  tx.Bandwidth = bandwidth;
  tx.SampleRate = 8000;
  tx.OutputSampleRate = output_rate;
  const double edge_hz = reverse ? 1500 + bandwidth / 2.0 : 1500 - bandwidth / 2.0;
  tx.BandEdge = static_cast<float>(edge_hz / 500);
  tx.Reverse = reverse ? 1 : 0;
}

TEST(Transmitter, PresetDerivesEveryModeOfTheAdapter) {
  for (const Mode& mode : kModes) {
    MFSK_Transmitter<double> tx;
    Configure(tx, mode.tones, mode.bandwidth);
    ASSERT_EQ(tx.Preset(), 0);
    EXPECT_EQ(tx.Modulator.SymbolLen, mode.symbol_len) << mode.tones << "/" << mode.bandwidth;
    EXPECT_EQ(tx.BitsPerSymbol, static_cast<unsigned>(std::log2(mode.tones)));
    EXPECT_EQ(tx.SymbolsPerBlock, 64u);
    // One symbol period, one more for the converter's first interval, two spare.
    EXPECT_EQ(tx.MaxOutLen, mode.symbol_len / 2 + 3);
    // Tone 0 half a spacing above the lower band edge.
    const double spacing = static_cast<double>(mode.bandwidth) / mode.tones;
    EXPECT_DOUBLE_EQ(tx.Modulator.FirstCarrier * 8000.0 / mode.symbol_len, 1500 - mode.bandwidth / 2.0 + spacing / 2);
    EXPECT_DOUBLE_EQ(2 * 8000.0 / mode.symbol_len, spacing);
  }
}

TEST(Transmitter, WrittenExampleAndClamping) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  tx.BandEdge = 2.0f;
  ASSERT_EQ(tx.Preset(), 0);
  EXPECT_EQ(tx.Modulator.SymbolLen, 512u);
  EXPECT_EQ(tx.Modulator.FirstCarrier, 65);
  EXPECT_DOUBLE_EQ(tx.Modulator.FirstCarrier * 8000.0 / 512, 1015.625);
  EXPECT_EQ(tx.MaxOutLen, 259u);
  EXPECT_EQ(tx.State, 0);
  EXPECT_EQ(tx.DoPostambleYet(), 1);

  const unsigned tones_in[] = {0, 1, 300, 48}, tones_out[] = {2, 2, 256, 32};
  for (int i = 0; i < 4; ++i) {
    tx.Tones = tones_in[i];
    ASSERT_EQ(tx.Preset(), 0);
    EXPECT_EQ(tx.Tones, tones_out[i]);
  }
  tx.Tones = 32;
  const unsigned width_in[] = {100, 1500, 3000}, width_out[] = {125, 1000, 2000}, len_out[] = {4096, 512, 256};
  for (int i = 0; i < 3; ++i) {
    tx.Bandwidth = width_in[i];
    ASSERT_EQ(tx.Preset(), 0);
    EXPECT_EQ(tx.Bandwidth, width_out[i]);
    EXPECT_EQ(tx.Modulator.SymbolLen, len_out[i]);
  }
  // A fractional band edge is truncated before the half spacing is added:
  // 256 / 16 x 2.53125 = 40.5 gives 41, and 2.532 (40.512) gives 41 too.
  Configure(tx, 8, 500);
  for (float edge : {2.53125f, 2.532f}) {
    tx.BandEdge = edge;
    ASSERT_EQ(tx.Preset(), 0);
    EXPECT_EQ(tx.Modulator.SymbolLen, 256u);
    EXPECT_EQ(tx.Modulator.FirstCarrier, 41) << edge;
  }
}

TEST(Transmitter, UnusableRatesFailPresetAndRelease) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 8, 500);
  tx.SampleRate = 0;
  EXPECT_EQ(tx.Preset(), -1);
  EXPECT_FALSE(tx.ModulatorOutput);
  EXPECT_FALSE(tx.Converter.Proverka());
  Configure(tx, 8, 500);
  EXPECT_EQ(tx.Preset(), 0);
}

TEST(Transmitter, PresetDiscardsQueuedCharacters) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  ASSERT_EQ(tx.Preset(), 0);
  for (int i = 0; i < 1023; ++i) ASSERT_EQ(tx.PutChar('a'), 1);
  EXPECT_EQ(tx.PutChar('b'), 0);  // full: dropped
  ASSERT_EQ(tx.Preset(), 0);
  EXPECT_EQ(tx.GetReadReady(), 0);
}

double Peak(const std::vector<double>& x, int n) {
  double peak = 0;
  for (int i = 0; i < n; ++i) peak = std::max(peak, std::abs(x[i]));
  return peak;
}

TEST(Transmitter, FiveCharactersThenStopSendOneWholeBlock) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  ASSERT_EQ(tx.Preset(), 0);
  for (char c : std::string("Hello")) tx.PutChar(static_cast<uint8_t>(c));
  tx.Start();
  tx.Stop();
  EXPECT_EQ(tx.State, 17);
  std::vector<double> out(tx.MaxOutLen);
  for (int call = 0; call < 64; ++call) {
    ASSERT_EQ(tx.Output(out.data()), 256);
    ASSERT_EQ(tx.Running(), 1) << call;
    ASSERT_EQ(tx.DoPostambleYet(), 0);
    ASSERT_EQ(Peak(out, 256), 1.0) << call;  // exactly, block by block
  }
  EXPECT_EQ(std::string(tx.InputBlock, tx.InputBlock + 5), "Hello");
  // The queue is empty at the boundary: stopped within this call, which
  // sends no symbol and returns the falling half of the last window.
  ASSERT_EQ(tx.Output(out.data()), 256);
  EXPECT_EQ(tx.State, 0);
  EXPECT_EQ(tx.Running(), 0);
  EXPECT_EQ(tx.DoPostambleYet(), 1);
  EXPECT_EQ(Peak(out, 256), 1.0);
  // The falling half decays: its last quarter is far below its first.
  EXPECT_LT(Peak(std::vector<double>(out.begin() + 200, out.begin() + 256), 56), 0.2);
  // The converter's delay carries a few samples into the next call, then
  // everything is silent and returned unscaled.
  tx.Output(out.data());
  for (int call = 0; call < 3; ++call) {
    ASSERT_EQ(tx.Output(out.data()), 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(out[i], 0.0);
  }
  EXPECT_EQ(tx.DoPostambleYet(), 1);
}

TEST(Transmitter, RunningWithAnEmptyQueueSendsNulBlocksAndStopWaitsForTheBoundary) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  ASSERT_EQ(tx.Preset(), 0);
  MFSK_Encoder nul;
  ASSERT_EQ(nul.Preset(), 0);
  const uint8_t zeros[5] = {};
  nul.EncodeBlock(zeros);
  tx.Start();
  std::vector<double> out(tx.MaxOutLen);
  tx.Output(out.data());
  tx.Stop();
  EXPECT_TRUE(std::equal(nul.SymbolBlock.get(), nul.SymbolBlock.get() + 64, tx.Encoder.SymbolBlock.get()));
  for (int call = 1; call < 64; ++call) {
    tx.Output(out.data());
    ASSERT_EQ(tx.Running(), 1) << call;
  }
  tx.Output(out.data());
  EXPECT_EQ(tx.State, 0);
}

TEST(Transmitter, StopWhileStoppedClearsAtTheNextEmptyBoundary) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  ASSERT_EQ(tx.Preset(), 0);
  tx.Stop();
  EXPECT_EQ(tx.State, 16);
  EXPECT_EQ(tx.DoPostambleYet(), 0);
  std::vector<double> out(tx.MaxOutLen, 1.0);
  tx.Output(out.data());
  EXPECT_EQ(tx.State, 0);
  for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(out[i], 0.0);  // silence, never divided by zero
}

TEST(Transmitter, SixCharactersMakeTwoBlocksTheSecondPaddedWithNul) {
  MFSK_Transmitter<double> tx;
  Configure(tx, 32, 1000);
  ASSERT_EQ(tx.Preset(), 0);
  for (char c : std::string("abcdef")) tx.PutChar(static_cast<uint8_t>(c));
  tx.Start();
  tx.Stop();
  std::vector<double> out(tx.MaxOutLen);
  for (int call = 0; call < 65; ++call) tx.Output(out.data());
  const uint8_t second[5] = {'f', 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(second, second + 5, tx.InputBlock));
  MFSK_Encoder reference;
  ASSERT_EQ(reference.Preset(), 0);
  reference.EncodeBlock(second);
  EXPECT_TRUE(std::equal(reference.SymbolBlock.get(), reference.SymbolBlock.get() + 64, tx.Encoder.SymbolBlock.get()));
  for (int call = 65; call < 128; ++call) tx.Output(out.data());
  EXPECT_EQ(tx.Running(), 1);
  tx.Output(out.data());
  EXPECT_EQ(tx.Running(), 0);
}

// Sends twenty blocks of text and measures every tone of the mode on the
// window of one symbol that carries it. Returns the largest error in units
// of the tone spacing; fails when a tone is never sent. A layout off by a
// quarter spacing would show an error of 0.25.
double WorstToneError(unsigned tones, unsigned bandwidth, bool reverse, double output_rate) {
  MFSK_Transmitter<double> tx;
  Configure(tx, tones, bandwidth, reverse, output_rate);
  EXPECT_EQ(tx.Preset(), 0);
  const double spacing = static_cast<double>(bandwidth) / tones;
  const double edge = reverse ? 1500 + bandwidth / 2.0 : 1500 - bandwidth / 2.0;
  const double scale = output_rate / 8000;  // output samples per modulator sample
  const unsigned step = tx.Modulator.SymbolStep;
  const unsigned len = static_cast<unsigned>(tx.Modulator.SymbolLen * scale);
  const unsigned delay = static_cast<unsigned>(std::lround(8 * scale));  // about half the converter's taps

  std::vector<double> audio, out(tx.MaxOutLen);
  std::vector<unsigned> tone_of_call;
  tx.Start();
  uint32_t text = 12345;
  for (int call = 0; call < 64 * 20; ++call) {
    if (tx.GetReadReady() < static_cast<int>(tx.BitsPerSymbol)) {
      text = text * 1103515245u + 12345u;
      tx.PutChar(static_cast<uint8_t>(32 + (text >> 16) % 95));
    }
    const unsigned ptr = tx.SymbolPtr;
    const int m = tx.Output(out.data());
    tone_of_call.push_back(GrayCode(tx.Encoder.SymbolBlock[ptr]));
    audio.insert(audio.end(), out.begin(), out.begin() + m);
  }

  // For every tone, the occurrence whose neighbours lie farthest away.
  std::vector<int> best_call(tones, -1), best_distance(tones, -1);
  for (size_t call = 1; call + 2 < tone_of_call.size(); ++call) {
    const int s = static_cast<int>(tone_of_call[call]);
    const int distance = std::min(std::abs(s - static_cast<int>(tone_of_call[call - 1])),
                                  std::abs(s - static_cast<int>(tone_of_call[call + 1])));
    if (distance > best_distance[s]) {
      best_distance[s] = distance;
      best_call[s] = static_cast<int>(call);
    }
  }
  unsigned heard = 0;
  double worst = 0;
  for (unsigned s = 0; s < tones; ++s) {
    if (best_call[s] < 0) continue;
    ++heard;
    const size_t begin = static_cast<size_t>(best_call[s] * step * scale) + delay;
    const double expected = reverse ? edge - (s + 0.5) * spacing : edge + (s + 0.5) * spacing;
    // Under a further window the symbol's own tone outweighs the halves of
    // its neighbours that overlap it.
    std::vector<double> segment(audio.begin() + begin, audio.begin() + begin + len);
    for (unsigned t = 0; t < len; ++t) segment[t] *= 1 - std::cos(2 * 3.14159265358979323846 * t / len);
    const double measured = test::PeakFrequency(segment.data(), len, output_rate, 1500 - bandwidth / 2.0,
                                                1500 + bandwidth / 2.0, spacing / 4);
    worst = std::max(worst, std::abs(measured - expected) / spacing);
  }
  EXPECT_EQ(heard, tones) << tones << "/" << bandwidth;
  return worst;
}

TEST(Transmitter, EveryToneOfEveryModeLiesHalfASpacingInsideItsSlot) {
  for (const Mode& mode : kModes) {
    const double worst = WorstToneError(mode.tones, mode.bandwidth, false, 8000);
    EXPECT_LT(worst, 0.05) << mode.tones << "/" << mode.bandwidth;
  }
}

// Every call must fit the room the transmitter reports, at sound-card rates
// up to 12 times the internal one, from the first call after Preset (which
// also gives the converter's first input interval) through several blocks.
// The buffer holds exactly MaxOutLen samples, so a longer output overruns
// it under AddressSanitizer even before the count is compared.
TEST(Transmitter, EveryOutputFitsMaxOutLenAtAnyOutputRate) {
  for (double output_rate : {8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0}) {
    for (const Mode& mode : {kModes[4], kModes[9], kModes[13], kModes[15]}) {
      SCOPED_TRACE(testing::Message() << mode.tones << "/" << mode.bandwidth << " at " << output_rate << " Hz");
      MFSK_Transmitter<double> tx;
      Configure(tx, mode.tones, mode.bandwidth, false, output_rate);
      ASSERT_EQ(tx.Preset(), 0);
      std::vector<double> out(tx.MaxOutLen);
      const double ratio = output_rate / 8000;
      double total = 0;
      tx.Start();
      for (unsigned call = 0; call < 3 * 64 + 5; ++call) {
        if (call == 2 * 64) tx.Stop();
        const int m = tx.Output(out.data());
        ASSERT_GE(m, 0);
        ASSERT_LE(static_cast<unsigned>(m), tx.MaxOutLen) << "call " << call;
        total += m;
        // Nothing is lost: after m modulator samples the converter has
        // given (m + 15/16) x ratio outputs less at most one, since its
        // first input interval (all 16 phases but the last) needs no input.
        const double inputs = (call + 1.0) * mode.symbol_len / 2;
        ASSERT_NEAR(total, (inputs + 15.0 / 16) * ratio - 0.5, 0.5 + 1e-9) << "call " << call;
      }
    }
  }
}

TEST(Transmitter, ReversedTonesAndAFasterOutputRate) {
  EXPECT_LT(WorstToneError(4, 2000, true, 8000), 0.05);
  EXPECT_LT(WorstToneError(16, 500, true, 8000), 0.05);
  EXPECT_LT(WorstToneError(8, 1000, false, 16000), 0.05);
}

}  // namespace
}  // namespace quillon
