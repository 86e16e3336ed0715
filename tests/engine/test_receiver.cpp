#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/Receiver.h"
#include "engine/Transmitter.h"
#include "modem/ModeTable.h"
// The engine tests link the engine only; the table of the 19 modes comes
// with its definitions.
#include "modem/ModeTable.cpp"

namespace quillon {
namespace {

const double kRate = 8000;
const double kCentre = 1500;

// The band edge lies h = B (1 - 0.5/T) / 2 below the centre; the receive
// side truncates h to whole hertz, the transmit side keeps it unrounded.
float ReceiverBandEdge(int tones, int bandwidth) {
  const double h = bandwidth * (1 - 0.5 / tones) / 2;
  return static_cast<float>((kCentre - std::trunc(h)) / 500);
}
float TransmitterBandEdge(int tones, int bandwidth) {
  const double h = bandwidth * (1 - 0.5 / tones) / 2;
  return static_cast<float>((kCentre - h) / 500);
}

struct Scenario {
  int tones = 32;
  int bandwidth = 1000;
  std::string text;
  unsigned leading_silence = 0;  // samples
  int shift_bins = 0;            // transmitter tones moved up by this many FFT bins
  double noise_ratio = 0;        // noise power in 2500 Hz over signal power; 0: no noise
  unsigned seed = 1;
};

struct Reception {
  std::string text;  // NUL characters (the idle fill) removed
  double frequency_offset = 0;
  double snr = 0;
  unsigned symbol_len = 0;
  unsigned margin = 0;
};

std::vector<double> Transmit(const Scenario& scenario) {
  MFSK_Transmitter<double> transmitter;
  transmitter.Tones = scenario.tones;
  transmitter.Bandwidth = scenario.bandwidth;
  transmitter.SampleRate = transmitter.OutputSampleRate = kRate;
  transmitter.BandEdge = TransmitterBandEdge(scenario.tones, scenario.bandwidth);
  transmitter.Reverse = 0;
  transmitter.Modulator.Seed = scenario.seed;
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
  receiver.BandEdge = ReceiverBandEdge(scenario.tones, scenario.bandwidth);
  EXPECT_EQ(receiver.Preset(), 0);
  receiver.Reset();
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
    if (receiver.SignalToNoiseRatio() > 0) {
      result.frequency_offset = receiver.FrequencyOffset();
      result.snr = receiver.SignalToNoiseRatio();
    }
  }
  receiver.Flush();
  collect();
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

}  // namespace
}  // namespace quillon
