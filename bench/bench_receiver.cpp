// SPDX-License-Identifier: GPL-3.0-or-later
// Receive chain throughput for every mode of the adapter: MFSK_Receiver
// Process on 512-sample blocks of a real Olivia signal in white noise,
// reported as seconds of audio consumed per CPU second (the real-time
// factor) at 8000 samples per second.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/Receiver.h"
#include "engine/Transmitter.h"
#include "engine/ModeTable.h"

namespace quillon {
namespace {


// Three blocks of text, then the closing half window, with noise of the
// signal's power added over the whole band.
std::vector<double> NoisySignal(const OliviaMode& mode) {
  MFSK_Transmitter<double> tx;
  tx.Tones = static_cast<unsigned>(mode.Tones());
  tx.Bandwidth = static_cast<unsigned>(mode.Bandwidth());
  tx.SampleRate = tx.OutputSampleRate = kSampleRateHz;
  tx.BandEdge = static_cast<float>((kCentreFrequencyHz - mode.Bandwidth() * (1 - 0.5 / mode.Tones()) / 2) / 500);
  tx.Reverse = 0;
  std::vector<double> audio;
  if (tx.Preset() < 0) return audio;
  for (unsigned i = 0; i < 3 * tx.BitsPerSymbol; ++i) tx.PutChar(static_cast<uint8_t>('A' + i));
  tx.Start();
  tx.Stop();
  std::vector<double> block(tx.MaxOutLen);
  while (tx.Running()) {
    const int n = tx.Output(block.data());
    audio.insert(audio.end(), block.begin(), block.begin() + n);
  }
  std::mt19937 random(1);
  std::normal_distribution<double> gauss(0.0, 0.5);
  for (double& x : audio) x += gauss(random);
  return audio;
}

void ReceiverProcess(benchmark::State& state) {
  const OliviaMode& mode = kOliviaModes[static_cast<size_t>(state.range(0))];
  const std::vector<double> audio = NoisySignal(mode);
  MFSK_Receiver<double> rx;
  rx.Tones = static_cast<unsigned>(mode.Tones());
  rx.Bandwidth = static_cast<unsigned>(mode.Bandwidth());
  rx.BandEdge = static_cast<float>((kCentreFrequencyHz - std::trunc(mode.Bandwidth() * (1 - 0.5 / mode.Tones()) / 2)) / 500);
  if (audio.size() < 512 || rx.Preset() < 0) {
    state.SkipWithError("Preset failed");
    return;
  }
  rx.Reset();
  const unsigned blocks = static_cast<unsigned>(audio.size() / 512);
  unsigned next = 0;
  double samples = 0;
  uint8_t c;
  for (auto _ : state) {
    rx.Process(audio.data() + 512 * next, 512);
    while (rx.GetChar(c)) benchmark::DoNotOptimize(c);
    if (++next == blocks) next = 0;
    samples += 512;
  }
  state.SetLabel(mode.label);
  state.counters["realtime_x"] = benchmark::Counter(samples / kSampleRateHz, benchmark::Counter::kIsRate);
}

BENCHMARK(ReceiverProcess)->DenseRange(0, 18);

}  // namespace
}  // namespace quillon
