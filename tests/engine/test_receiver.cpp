// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/Hadamard.h"
#include "engine/Receiver.h"
#include "engine/Transmitter.h"
#include "engine/ModeTable.h"
#include "tests/engine/ToneBurst.h"

namespace quillon {
namespace {

// Built a second time with QUILLON_TEST_DEEP_RECEIVER=1: every receiver
// here is then the deep one, which must pass the same round trips.
#ifndef QUILLON_TEST_DEEP_RECEIVER
#define QUILLON_TEST_DEEP_RECEIVER 0
#endif
constexpr bool kDeep = QUILLON_TEST_DEEP_RECEIVER != 0;

const double kRate = 8000;
const double kCentre = 1500;

// The band edge lies h = B (1 - 0.5/T) / 2 below the centre; the receive
// side truncates h to whole hertz, the transmit side keeps it unrounded.
// In reverse order the tones run down from the upper edge, h above the centre.
float ReceiverBandEdge(int tones, int bandwidth, unsigned reverse = 0) {
  const double h = std::trunc(bandwidth * (1 - 0.5 / tones) / 2);
  return static_cast<float>((reverse == 1 ? kCentre + h : kCentre - h) / 500);
}
float TransmitterBandEdge(int tones, int bandwidth, unsigned reverse = 0) {
  const double h = bandwidth * (1 - 0.5 / tones) / 2;
  return static_cast<float>((reverse == 1 ? kCentre + h : kCentre - h) / 500);
}

struct Scenario {
  int tones = 32;
  int bandwidth = 1000;
  std::string text;
  unsigned leading_silence = 0;  // samples
  int shift_bins = 0;            // transmitter tones moved up by this many FFT bins
  double noise_ratio = 0;        // noise power in 2500 Hz over signal power; 0: no noise
  unsigned reverse = 0;          // 1: tones run downwards from the upper band edge
  bool reduced = false;          // 6-bit characters in 32-symbol blocks
  unsigned seed = 1;
};

struct Reception {
  std::string text;  // NUL characters (the idle fill) removed
  double frequency_offset = 0;
  unsigned best_offset = 0;
  unsigned symbol_len = 0;
  unsigned margin = 0;
};

// The Windows build runs these tests once per kernel of the decoder bank:
// QUILLON_DECODER_KERNEL (plain, avx2 or avx512) forces it in every receiver
// here; unset or auto, each receiver takes the fastest this processor runs.
DecoderKernel DecoderKernelFromEnvironment() {
  static const DecoderKernel kernel = [] {
    const char* text = std::getenv("QUILLON_DECODER_KERNEL");
    DecoderKernel asked = DecoderKernel::Auto;
    if (text == nullptr || *text == '\0') return asked;
    if (!ParseDecoderKernel(text, asked))
      ADD_FAILURE() << "QUILLON_DECODER_KERNEL=" << text << ": no such kernel (auto, plain, avx2, avx512)";
    else if (!SoftDecoderBank::Supports(asked))
      ADD_FAILURE() << "QUILLON_DECODER_KERNEL=" << text << ": not in this build or not run by this processor";
    return asked;
  }();
  return kernel;
}

std::vector<double> Transmit(const Scenario& scenario) {
  MFSK_Transmitter<double> transmitter;
  transmitter.Tones = scenario.tones;
  transmitter.Bandwidth = scenario.bandwidth;
  transmitter.SampleRate = transmitter.OutputSampleRate = kRate;
  transmitter.BandEdge = TransmitterBandEdge(scenario.tones, scenario.bandwidth, scenario.reverse);
  transmitter.Reverse = scenario.reverse;
  transmitter.Modulator.Seed = scenario.seed;
  transmitter.ReducedCharset = scenario.reduced;
  EXPECT_EQ(transmitter.Preset(), 0);
  transmitter.Modulator.FirstCarrier += scenario.shift_bins;
  std::vector<double> audio(scenario.leading_silence, 0.0);
  std::vector<double> block(transmitter.MaxOutLen);
  size_t next = 0;
  transmitter.Start();
  for (;;) {
    while (next < scenario.text.size() && transmitter.GetReadReady() < static_cast<int>(transmitter.BitsPerSymbol))
      transmitter.PutChar(static_cast<uint8_t>(scenario.text[next++]));
    if (next == scenario.text.size()) transmitter.Stop();
    const int n = transmitter.Output(block.data());
    audio.insert(audio.end(), block.begin(), block.begin() + n);
    if (!transmitter.Running()) break;
  }
  return audio;
}

void AddNoise(std::vector<double>& audio, size_t signal_start, double noise_ratio, unsigned seed) {
  double power = 0;
  for (size_t i = signal_start; i < audio.size(); ++i) power += audio[i] * audio[i];
  power /= static_cast<double>(audio.size() - signal_start);
  // White noise of the given power in 2500 Hz has 4000/2500 times that
  // power over the whole 4000 Hz Nyquist band.
  const double sigma = std::sqrt(noise_ratio * power * 4000.0 / 2500.0);
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, sigma);
  for (double& x : audio) x += gauss(random);
}

Reception Receive(const Scenario& scenario, const std::vector<double>& audio) {
  MFSK_Receiver<double> receiver;
  receiver.Tones = scenario.tones;
  receiver.Bandwidth = scenario.bandwidth;
  receiver.BandEdge = ReceiverBandEdge(scenario.tones, scenario.bandwidth, scenario.reverse);
  receiver.Reverse = scenario.reverse;
  receiver.ReducedCharset = scenario.reduced;
  receiver.BankKernel = DecoderKernelFromEnvironment();
  receiver.Deep = kDeep;
  EXPECT_EQ(receiver.Preset(), 0);
  receiver.Reset();
  // The deep receiver is tested as the station runs it: every decision
  // passes (the adapter sets the threshold to 0 after Preset), so its hold
  // is taken at once and only bursts end one.
  if (kDeep) receiver.DecodeThreshold = 0;
  Reception result;
  result.symbol_len = receiver.Demodulator.SymbolLen;
  result.margin = receiver.SearchMargin;
  auto collect = [&] {
    uint8_t c;
    while (receiver.GetChar(c))
      if (c != 0) result.text.push_back(static_cast<char>(c));
  };
  for (size_t i = 0; i < audio.size(); i += 512) {
    const unsigned n = static_cast<unsigned>(std::min<size_t>(512, audio.size() - i));
    EXPECT_EQ(receiver.Process(audio.data() + i, n), 0);
    collect();
  }
  receiver.Flush();
  collect();
  // The best candidate holds its slice and offset while the silence of the
  // flush decays.
  result.frequency_offset = receiver.FrequencyOffset();
  result.best_offset = receiver.BestOffset;
  return result;
}

Reception RoundTrip(const Scenario& scenario) {
  std::vector<double> audio = Transmit(scenario);
  if (scenario.noise_ratio > 0) AddNoise(audio, scenario.leading_silence, scenario.noise_ratio, scenario.seed);
  return Receive(scenario, audio);
}

std::string TextOfBlocks(int bits_per_symbol, int blocks) {
  const std::string sample = "Quillon 73, call +7 912 345-67-89 or mail rx@example.org. ";
  std::string text;
  const size_t length = static_cast<size_t>(bits_per_symbol * blocks);
  while (text.size() < length) text += sample;
  return text.substr(0, length);
}

// The blocks next to a transmission are decoded from windows that hold the
// edge of the signal (the limiter spreads it over its window, and every
// soft value is normalised by its symbol's energy), so the synchroniser
// emits one block of arbitrary characters right before and right after the
// text. Between them the text must arrive exactly.
void ExpectTextFramedByAtMostOneBlock(const std::string& received, const std::string& sent, int bits_per_symbol) {
  const size_t at = received.find(sent);
  ASSERT_NE(at, std::string::npos) << "received: " << received;
  EXPECT_LE(at, static_cast<size_t>(bits_per_symbol)) << "received: " << received;
  EXPECT_LE(received.size() - at - sent.size(), static_cast<size_t>(bits_per_symbol)) << "received: " << received;
}

TEST(ReceiverRoundTrip, EveryModeDecodesTheTextExactly) {
  std::mt19937 random(11);
  for (const OliviaMode& mode : kOliviaModes) {
    Scenario scenario;
    scenario.tones = mode.Tones();
    scenario.bandwidth = mode.Bandwidth();
    const int bits = static_cast<int>(Log2(mode.Tones()));
    scenario.text = TextOfBlocks(bits, 3);
    std::uniform_int_distribution<unsigned> silence(1, 20000);
    scenario.leading_silence = silence(random);
    const Reception reception = RoundTrip(scenario);
    ExpectTextFramedByAtMostOneBlock(reception.text, scenario.text, bits);
    SCOPED_TRACE(mode.label);
  }
}


void Configure(MFSK_Receiver<double>& receiver, int tones, int bandwidth, float band_edge) {
  receiver.Tones = tones;
  receiver.Bandwidth = bandwidth;
  receiver.BandEdge = band_edge;
  receiver.BankKernel = DecoderKernelFromEnvironment();
  receiver.Deep = kDeep;
}

// Every kernel of the decoder bank must give the same characters and the
// same ratio after every audio block, or the choice of processor would
// change what a station receives. A weak signal (-3 dB in 2500 Hz) keeps
// many candidates close, so any difference in the sums would show.
TEST(ReceiverDecoderBank, EveryKernelReceivesTheSameAsThePlainOne) {
  Scenario scenario;
  scenario.tones = 16;
  scenario.bandwidth = 1000;
  scenario.text = TextOfBlocks(4, 3);
  scenario.leading_silence = 1500;
  scenario.noise_ratio = 2.0;
  std::vector<double> audio = Transmit(scenario);
  AddNoise(audio, scenario.leading_silence, scenario.noise_ratio, 7);
  // `switch_to`, when given, replaces the kernel halfway through the audio.
  auto receive = [&](DecoderKernel kernel, DecoderKernel switch_to) {
    MFSK_Receiver<double> receiver;
    Configure(receiver, 16, 1000, ReceiverBandEdge(16, 1000));
    receiver.BankKernel = kernel;
    EXPECT_EQ(receiver.Preset(), 0);
    EXPECT_EQ(receiver.DecoderRows[0].KernelInUse(), kernel == DecoderKernel::Auto ? FastestDecoderKernel() : kernel);
    receiver.Reset();
    std::vector<double> trace;  // every character, then the ratio, after every block
    for (size_t i = 0; i + 512 <= audio.size(); i += 512) {
      if (i == audio.size() / 1024 * 512) {
        EXPECT_EQ(receiver.UseBankKernel(switch_to), 0);
      }
      EXPECT_EQ(receiver.Process(audio.data() + i, 512), 0);
      uint8_t c;
      while (receiver.GetChar(c)) trace.push_back(c);
      trace.push_back(receiver.SignalToNoiseRatio());
    }
    return trace;
  };
  const std::vector<double> plain = receive(DecoderKernel::Plain, DecoderKernel::Plain);
  ASSERT_GE(plain.size(), audio.size() / 512);  // a ratio per block at least: the comparison is not empty
  for (DecoderKernel kernel : {DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    if (!SoftDecoderBank::Supports(kernel)) continue;
    EXPECT_EQ(receive(kernel, kernel), plain) << DecoderKernelName(kernel);
  }
  // Changing kernels halfway keeps what the receiver has heard.
  EXPECT_EQ(receive(DecoderKernel::Plain, DecoderKernel::Auto), plain);
  // The kernel forced for this run (or the fastest) is the one in use.
  MFSK_Receiver<double> receiver;
  Configure(receiver, 16, 1000, ReceiverBandEdge(16, 1000));
  ASSERT_EQ(receiver.Preset(), 0);
  const DecoderKernel forced = DecoderKernelFromEnvironment();
  EXPECT_EQ(receiver.DecoderRows[1].KernelInUse(), forced == DecoderKernel::Auto ? FastestDecoderKernel() : forced);
  for (DecoderKernel kernel : {DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    if (SoftDecoderBank::Supports(kernel)) continue;
    EXPECT_EQ(receiver.UseBankKernel(kernel), -1) << DecoderKernelName(kernel);
    receiver.BankKernel = kernel;
    EXPECT_EQ(receiver.Preset(), -1) << DecoderKernelName(kernel);
  }
}

TEST(ReceiverPreset, AdjustsParametersAndDerivesTheModeSizes) {
  MFSK_Receiver<double> receiver;
  Configure(receiver, 3, 100, 2.0f);
  receiver.SearchMargin = 0;
  receiver.SyncBlocks = 1;
  receiver.DecodeThreshold = 1.0;
  ASSERT_EQ(receiver.Preset(), 0);
  EXPECT_EQ(receiver.Tones, 2u);
  EXPECT_EQ(receiver.Bandwidth, 125u);
  EXPECT_EQ(receiver.SearchMargin, 2u);
  EXPECT_EQ(receiver.SyncBlocks, 2u);
  EXPECT_EQ(receiver.DecodeThreshold, 3.0);
  for (auto [tones, bandwidth, want_tones, want_bandwidth] :
       {std::array<unsigned, 4>{300, 1500, 256, 1000}, {48, 3000, 32, 2000}, {64, 250, 64, 250}}) {
    Configure(receiver, tones, bandwidth, 2.0f);
    ASSERT_EQ(receiver.Preset(), 0);
    EXPECT_EQ(receiver.Tones, want_tones);
    EXPECT_EQ(receiver.Bandwidth, want_bandwidth);
  }

  Configure(receiver, 32, 1000, 2.016f);
  receiver.SearchMargin = 8;
  ASSERT_EQ(receiver.Preset(), 0);
  EXPECT_EQ(receiver.Demodulator.SymbolLen, 512u);
  EXPECT_EQ(receiver.InputProcessor.WindowSize, 8192u);
  EXPECT_EQ(receiver.SearchWidth, 17u);
  EXPECT_EQ(receiver.SliceCount, 128u);
  EXPECT_EQ(receiver.Demodulator.FirstCarrier, 65u);  // 32 * 2.016 = 64.512, truncated, plus 1
  EXPECT_EQ(receiver.InputProcessor.WindowSize / receiver.Demodulator.SymbolStep, 32u);
  // The bank: 2 * 17 decoders, each presetted for 5 bits.
  for (unsigned i = 0; i < 2 * receiver.SearchWidth; ++i) ASSERT_EQ(receiver.Decoders[i].BitsPerSymbol, 5u);
  // FrequencyOffset: the offset index of the last block out minus the
  // centre, in bins of 15.625 Hz.
  EXPECT_EQ(receiver.FrequencyOffset(), 0.0);
  receiver.EmittedOffset = 0;
  EXPECT_EQ(receiver.FrequencyOffset(), -125.0);

  // A margin wider than the first carrier is narrowed to it.
  Configure(receiver, 32, 1000, 2.0f / 32);  // first carrier 3
  ASSERT_EQ(receiver.Preset(), 0);
  EXPECT_EQ(receiver.Demodulator.FirstCarrier, 3u);
  EXPECT_EQ(receiver.SearchMargin, 3u);
  EXPECT_EQ(receiver.SearchWidth, 7u);
}

TEST(ReceiverPreset, EveryModeHasItsWindowLengths) {
  // bits per symbol, symbol length, limiter window at 8000 samples per second
  const std::map<std::pair<int, int>, std::array<unsigned, 3>> table = {
      {{4, 125}, {2, 512, 8192}},    {{8, 250}, {3, 512, 8192}},    {{16, 500}, {4, 512, 8192}},
      {{32, 1000}, {5, 512, 8192}},  {{64, 2000}, {6, 512, 8192}},  {{4, 250}, {2, 256, 4096}},
      {{8, 500}, {3, 256, 4096}},    {{16, 1000}, {4, 256, 4096}},  {{32, 2000}, {5, 256, 4096}},
      {{4, 500}, {2, 128, 2048}},    {{8, 1000}, {3, 128, 2048}},   {{16, 2000}, {4, 128, 2048}},
      {{4, 1000}, {2, 64, 1024}},    {{8, 2000}, {3, 64, 1024}},    {{4, 2000}, {2, 32, 512}},
      {{8, 125}, {3, 1024, 16384}},  {{64, 1000}, {6, 1024, 16384}}, {{64, 500}, {6, 2048, 32768}},
      {{64, 250}, {6, 4096, 65536}},
  };
  ASSERT_EQ(table.size(), kOliviaModes.size());
  MFSK_Receiver<double> receiver;
  for (const OliviaMode& mode : kOliviaModes) {
    SCOPED_TRACE(mode.label);
    Configure(receiver, mode.Tones(), mode.Bandwidth(), ReceiverBandEdge(mode.Tones(), mode.Bandwidth()));
    ASSERT_EQ(receiver.Preset(), 0);
    const std::array<unsigned, 3>& row = table.at({mode.Tones(), mode.Bandwidth()});
    EXPECT_EQ(receiver.BitsPerSymbol, row[0]);
    EXPECT_EQ(receiver.Demodulator.SymbolLen, row[1]);
    EXPECT_EQ(receiver.InputProcessor.WindowSize, row[2]);
    EXPECT_EQ(receiver.SymbolsPerBlock, 64u);
    EXPECT_EQ(receiver.SliceCount, 128u);
  }
}

// Tones built from the written layout, not from our modulator: symbol value
// v goes out at (trunc(E) + 1 + 2 Gray(v)) * 8000 / SymbolLen Hz, where E is
// the transmitter's band edge in FFT bins, SymbolLen / 16 * BandEdge. The
// receiver, whose band edge is rounded differently, must find every value
// at trial offset 0.
TEST(ReceiverTonePositions, EveryModeFindsTheWrittenTonesAtOffsetZero) {
  MFSK_Receiver<double> receiver;
  for (const OliviaMode& mode : kOliviaModes) {
    SCOPED_TRACE(mode.label);
    Configure(receiver, mode.Tones(), mode.Bandwidth(), ReceiverBandEdge(mode.Tones(), mode.Bandwidth()));
    ASSERT_EQ(receiver.Preset(), 0);
    MFSK_Demodulator<double>& demodulator = receiver.Demodulator;
    const double bins_per_edge_unit = demodulator.SymbolLen / 16.0;
    const double edge = std::trunc(bins_per_edge_unit * TransmitterBandEdge(mode.Tones(), mode.Bandwidth()));
    std::vector<double> input(demodulator.SymbolStep);
    std::vector<double> bits(receiver.BitsPerSymbol);
    for (unsigned value = 0; value < receiver.Tones; value += (receiver.Tones > 8 ? 7 : 1)) {
      const double hertz = (edge + 1 + 2 * GrayCode(static_cast<uint8_t>(value))) * kRate / demodulator.SymbolLen;
      for (unsigned call = 0; call < 3; ++call) {
        for (unsigned i = 0; i < input.size(); ++i)
          input[i] = std::sin(2 * 3.141592653589793 * hertz * (call * input.size() + i) / kRate);
        demodulator.Process(input.data());
      }
      demodulator.SoftDecode(bits.data(), 1, 0);
      for (unsigned b = 0; b < bits.size(); ++b)
        ASSERT_NEAR(bits[b], ((value >> b) & 1) ? -1.0 : 1.0, 1e-6) << "value " << value << " bit " << b;
    }
  }
  // The worked figure: 32 tones in 1000 Hz from a band edge of 1000 Hz put
  // symbol value 0 on 1015.625 Hz, bin 65 of 15.625 Hz.
  Configure(receiver, 32, 1000, 2.0f);
  ASSERT_EQ(receiver.Preset(), 0);
  EXPECT_EQ(receiver.Demodulator.FirstCarrier * kRate / receiver.Demodulator.SymbolLen, 1015.625);
}

TEST(ReceiverRoundTrip, EveryModeFindsSignalsShiftedToTheEdgesOfTheSearch) {
  for (const OliviaMode& mode : kOliviaModes) {
    SCOPED_TRACE(mode.label);
    MFSK_Receiver<double> probe;
    Configure(probe, mode.Tones(), mode.Bandwidth(), ReceiverBandEdge(mode.Tones(), mode.Bandwidth()));
    ASSERT_EQ(probe.Preset(), 0);
    const int margin = static_cast<int>(probe.SearchMargin);
    const int bits = static_cast<int>(probe.BitsPerSymbol);
    for (int shift : {-margin, margin}) {
      Scenario scenario;
      scenario.tones = mode.Tones();
      scenario.bandwidth = mode.Bandwidth();
      scenario.text = TextOfBlocks(bits, 3);
      scenario.leading_silence = 777;
      scenario.shift_bins = shift;
      const Reception reception = RoundTrip(scenario);
      ExpectTextFramedByAtMostOneBlock(reception.text, scenario.text, bits);
      const double bin = kRate / reception.symbol_len;
      EXPECT_NEAR(reception.frequency_offset, shift * bin, bin / 2) << "shift " << shift;
    }
  }
}

TEST(ReceiverRoundTrip, EveryOffsetOfTheSearchIsFound) {
  for (int shift = -8; shift <= 8; ++shift) {
    Scenario scenario;
    scenario.tones = 8;
    scenario.bandwidth = 1000;  // the cheapest mode with the full margin of 8
    scenario.text = TextOfBlocks(3, 3);
    scenario.leading_silence = 1234 + 100 * shift;
    scenario.shift_bins = shift;
    const Reception reception = RoundTrip(scenario);
    ExpectTextFramedByAtMostOneBlock(reception.text, scenario.text, 3);
    const double bin = kRate / reception.symbol_len;
    EXPECT_NEAR(reception.frequency_offset, shift * bin, bin / 2) << "shift " << shift;
  }
}

TEST(ReceiverRoundTrip, EveryModeDecodesEveryCharacterAtZeroDecibelsInTwoAndAHalfKilohertz) {
  std::mt19937 random(23);
  for (const OliviaMode& mode : kOliviaModes) {
    SCOPED_TRACE(mode.label);
    Scenario scenario;
    scenario.tones = mode.Tones();
    scenario.bandwidth = mode.Bandwidth();
    scenario.text = TextOfBlocks(static_cast<int>(Log2(mode.Tones())), 3);
    scenario.leading_silence = 3000 + random() % 5000;
    scenario.noise_ratio = 1.0;
    scenario.seed = static_cast<unsigned>(random());
    const Reception reception = RoundTrip(scenario);
    EXPECT_NE(reception.text.find(scenario.text), std::string::npos) << "received: " << reception.text;
  }
}


// A steady carrier on one of the tones, ten times the signal's power (a
// station tuning up in the passband): the limiter in front of the search
// cuts it down, and the deep receiver, which decodes from the input itself,
// measures each tone's noise on its own, so the carrier counts as noise on
// its tone rather than as that tone sent in every symbol.
TEST(ReceiverInterference, ASteadyCarrierOnAToneLeavesTheTextIntact) {
  Scenario scenario;
  scenario.tones = 8;
  scenario.bandwidth = 500;
  scenario.text = TextOfBlocks(3, 4);
  scenario.leading_silence = 4000;
  std::vector<double> audio = Transmit(scenario);
  AddNoise(audio, scenario.leading_silence, 0.3, 4);
  double power = 0;
  for (size_t i = scenario.leading_silence; i < audio.size(); ++i) power += audio[i] * audio[i];
  power /= static_cast<double>(audio.size() - scenario.leading_silence);
  const double spacing = 500.0 / 8;
  const double tone3 = kCentre - (500 - spacing) / 2 + 3 * spacing;
  for (size_t i = 0; i < audio.size(); ++i)
    audio[i] += std::sqrt(2 * 10 * power) * std::cos(2 * 3.141592653589793 * tone3 * static_cast<double>(i) / kRate);
  const Reception reception = Receive(scenario, audio);
  EXPECT_NE(reception.text.find(scenario.text), std::string::npos) << "received: " << reception.text;
}

// A signal sent downwards from the same upper edge lies 2 - margin bins off
// the receiver's search centre: offset index 2. The widest mode has room for
// a margin of 2 only (16 bins, the scan walking down from bin 10).
TEST(ReceiverRoundTrip, ReverseOrderIsFoundAtOffsetIndexTwo) {
  for (auto [tones, bandwidth, margin] : {std::array<int, 3>{32, 1000, 8}, {4, 2000, 2}}) {
    SCOPED_TRACE(testing::Message() << tones << "/" << bandwidth);
    Scenario scenario;
    scenario.tones = tones;
    scenario.bandwidth = bandwidth;
    scenario.reverse = 1;
    const int bits = static_cast<int>(Log2(tones));
    scenario.text = TextOfBlocks(bits, 3);
    scenario.leading_silence = 2345;
    const Reception reception = RoundTrip(scenario);
    EXPECT_EQ(reception.margin, static_cast<unsigned>(margin));
    ExpectTextFramedByAtMostOneBlock(reception.text, scenario.text, bits);
    EXPECT_EQ(reception.best_offset, 2u);
    EXPECT_EQ(reception.frequency_offset, (2 - margin) * kRate / reception.symbol_len);
  }
  // With the lower edge the reversed band would reach below bin 0.
  MFSK_Receiver<double> receiver;
  Configure(receiver, 4, 2000, ReceiverBandEdge(4, 2000));
  receiver.Reverse = 1;
  EXPECT_EQ(receiver.Preset(), -1);
}

// Digital silence leaves no noise reference (energy 0): there is no ratio
// to judge a decision by, so nothing is emitted even when the owner has
// lowered the threshold to 0. With noise the reference exists and a
// threshold of 0 lets the decisions through.
// The characters emitted and the last ratio.
std::pair<std::string, double> ReceiveAtThreshold(const std::vector<double>& input, double threshold) {
  MFSK_Receiver<double> receiver;
  Configure(receiver, 8, 500, ReceiverBandEdge(8, 500));
  EXPECT_EQ(receiver.Preset(), 0);
  receiver.Reset();
  receiver.DecodeThreshold = threshold;  // the owner may lower it after Preset
  for (size_t i = 0; i < input.size(); i += 512) EXPECT_EQ(receiver.Process(input.data() + i, 512), 0);
  std::string received;
  uint8_t c;
  while (receiver.GetChar(c)) received.push_back(static_cast<char>(c));
  return {received, receiver.SignalToNoiseRatio()};
}

// Each character comes with the strength of its block's weakest decision:
// far above the link's gate (2.8) for a transmission at 0 dB in 2500 Hz,
// around the largest of 64 Gaussian magnitudes (2.2 to 2.8) for blocks that
// noise alone decided.
TEST(ReceiverStrength, FirmForASignalWeakForNoise) {
  Scenario scenario;
  scenario.tones = 8;
  scenario.bandwidth = 500;
  scenario.text = TextOfBlocks(3, 6);
  scenario.leading_silence = 2000;
  std::vector<double> audio = Transmit(scenario);
  AddNoise(audio, 2000, 1.0, 4);
  std::vector<double> noise(8000 * 60);
  std::mt19937 random(5);
  std::normal_distribution<double> gauss(0.0, 0.3);
  for (double& x : noise) x = gauss(random);
  auto strengths = [&](const std::vector<double>& input, double threshold) {
    MFSK_Receiver<double> receiver;
    Configure(receiver, 8, 500, ReceiverBandEdge(8, 500));
    EXPECT_EQ(receiver.Preset(), 0);
    receiver.Reset();
    receiver.DecodeThreshold = threshold;  // 0: every decision comes out
    std::vector<float> found;
    uint8_t c;
    float strength;
    for (size_t i = 0; i + 512 <= input.size(); i += 512) {
      receiver.Process(input.data() + i, 512);
      while (receiver.GetChar(c, strength)) found.push_back(strength);
    }
    receiver.Flush();
    while (receiver.GetChar(c, strength)) found.push_back(strength);
    return found;
  };
  std::vector<float> signal = strengths(audio, 3.0);
  ASSERT_GE(signal.size(), scenario.text.size());
  std::sort(signal.begin(), signal.end());
  // The blocks next to the transmission hold its edge; the median is the text's.
  EXPECT_GT(signal[signal.size() / 2], 5.0f);
  std::vector<float> from_noise = strengths(noise, 0.0);
  ASSERT_GT(from_noise.size(), 100u);
  std::sort(from_noise.begin(), from_noise.end());
  EXPECT_LT(from_noise[from_noise.size() / 2], 2.8f);
  EXPECT_GT(from_noise[from_noise.size() / 2], 2.0f);
}

TEST(ReceiverSilence, NothingFromDigitalSilenceEvenWithoutAThreshold) {
  const unsigned window = 4096;  // the limiter's window in 8/500
  const std::vector<double> silence(10 * window, 0.0);
  for (double threshold : {3.0, 0.0})
    EXPECT_EQ(ReceiveAtThreshold(silence, threshold), std::make_pair(std::string(), 0.0)) << threshold;
  // 30 blocks of noise: the best candidate wanders from slice to slice,
  // which skips many of the one-per-block decisions, but not all.
  std::vector<double> noise(60 * window);
  std::mt19937 random(5);
  std::normal_distribution<double> gauss(0.0, 0.1);
  for (double& x : noise) x = gauss(random);
  const std::string received = ReceiveAtThreshold(noise, 0.0).first;
  EXPECT_FALSE(received.empty());
  EXPECT_EQ(received.size() % 3, 0u);  // whole blocks of three characters
}

// A rate of the sound card that gives no finite positive ratio to the
// processing rate leaves the converter nothing to size its output by.
TEST(ReceiverPreset, RefusesRatesWithoutAFinitePositiveRatio) {
  MFSK_Receiver<double> receiver;
  Configure(receiver, 8, 500, ReceiverBandEdge(8, 500));
  for (auto [rate, input_rate] : {std::array<double, 2>{8000, 0}, {8000, -8000}, {0, 8000},
                                  {8000, std::numeric_limits<double>::infinity()}, {8000, std::nan("")}}) {
    SCOPED_TRACE(testing::Message() << rate << " from " << input_rate);
    receiver.SampleRate = rate;
    receiver.InputSampleRate = input_rate;
    EXPECT_EQ(receiver.Preset(), -1);
    EXPECT_FALSE(receiver.Converter.Proverka());  // released
  }
  receiver.SampleRate = receiver.InputSampleRate = 8000;
  EXPECT_EQ(receiver.Preset(), 0);
}

TEST(ReceiverReset, ASecondReceptionAfterResetDecodesTheSame) {
  Scenario scenario;
  scenario.tones = 4;
  scenario.bandwidth = 500;
  scenario.text = TextOfBlocks(2, 4);
  scenario.leading_silence = 1000;
  const std::vector<double> audio = Transmit(scenario);
  MFSK_Receiver<double> receiver;
  Configure(receiver, 4, 500, ReceiverBandEdge(4, 500));
  ASSERT_EQ(receiver.Preset(), 0);
  std::string first, second;
  for (std::string* text : {&first, &second}) {
    receiver.Reset();
    ASSERT_EQ(receiver.Process(audio.data(), static_cast<unsigned>(audio.size())), 0);
    receiver.Flush();
    uint8_t c;
    while (receiver.GetChar(c))
      if (c != 0) text->push_back(static_cast<char>(c));
  }
  ExpectTextFramedByAtMostOneBlock(first, scenario.text, 2);
  ExpectTextFramedByAtMostOneBlock(second, scenario.text, 2);
}

// In the silence after a signal the integrators' feedback carries the noise
// reference a little below zero; the ratio must then read 0, not NaN.
TEST(ReceiverSilence, RatioStaysANumberWhileTheIntegratorsDecay) {
  Scenario scenario;
  scenario.tones = 32;
  scenario.bandwidth = 1000;
  scenario.text = TextOfBlocks(5, 3);
  scenario.leading_silence = 3000;
  std::vector<double> audio = Transmit(scenario);
  audio.resize(audio.size() + 8000 * 60, 0.0);
  MFSK_Receiver<double> receiver;
  Configure(receiver, 32, 1000, ReceiverBandEdge(32, 1000));
  ASSERT_EQ(receiver.Preset(), 0);
  receiver.Reset();
  unsigned below_zero = 0;
  for (size_t i = 0; i + 512 <= audio.size(); i += 512) {
    ASSERT_EQ(receiver.Process(audio.data() + i, 512), 0);
    ASSERT_FALSE(std::isnan(receiver.SignalToNoiseRatio())) << "at sample " << i;
    for (unsigned s = 0; s < receiver.SliceCount; ++s) below_zero += receiver.NoiseTable.AbsPtr(s)[0].Stage3 < 0;
  }
  EXPECT_GT(below_zero, 0u);  // the case did arise
}

TEST(ReceiverRoundTrip, ReducedCharacterSetDecodesInHalfLengthBlocks) {
  Scenario scenario;
  scenario.tones = 8;
  scenario.bandwidth = 500;
  scenario.reduced = true;
  scenario.text = "CQ DE QUILLON, +7 912 345-67-89";
  scenario.leading_silence = 999;
  const Reception reception = RoundTrip(scenario);
  ExpectTextFramedByAtMostOneBlock(reception.text, scenario.text, 3);
}

// Two transmissions with no pause between them, as stations send them: the
// first one's blocks, its closing burst, a block of silence, the second
// one's opening burst and blocks. The second one's first block must not be
// decided with the first one's timing, nor the first one's last block with
// the second one's.
TEST(ReceiverBackToBack, SecondTransmissionIsAcquiredForItsFirstBlock) {
  for (const auto& [tones, bandwidth] : {std::pair<int, int>{8, 500}, {64, 2000}, {4, 250}}) {
    const int bits = static_cast<int>(Log2(static_cast<unsigned>(tones)));
    Scenario first;
    first.tones = tones;
    first.bandwidth = bandwidth;
    first.text = TextOfBlocks(bits, 4);
    Scenario second = first;
    second.text = std::string(first.text.rbegin(), first.text.rend());
    second.seed = 2;
    const double spacing = static_cast<double>(bandwidth) / tones;
    const double low = kCentre - (bandwidth - spacing) / 2;
    const std::vector<double> burst = test::ToneBurst(low, low + bandwidth - spacing);
    std::vector<double> audio(3000, 0.0);
    for (const std::vector<double>& piece :
         {burst, Transmit(first), burst, std::vector<double>(512, 0.0), burst, Transmit(second), burst}) {
      audio.insert(audio.end(), piece.begin(), piece.end());
    }
    // 10 dB above the noise in 2500 Hz: far above any decoding threshold.
    AddNoise(audio, 3000, 0.1, 9);
    const Reception reception = Receive(first, audio);
    EXPECT_NE(reception.text.find(first.text), std::string::npos) << tones << "/" << bandwidth << ": " << reception.text;
    EXPECT_NE(reception.text.find(second.text), std::string::npos) << tones << "/" << bandwidth << ": " << reception.text;
  }
}

}  // namespace
}  // namespace quillon
