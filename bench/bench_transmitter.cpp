// SPDX-License-Identifier: GPL-3.0-or-later
// Transmit chain throughput for every mode of the adapter, reported as
// seconds of audio produced per CPU second at 8000 samples per second.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/Transmitter.h"
#include "engine/ModeTable.h"

namespace quillon {
namespace {

void TransmitterOutput(benchmark::State& state) {
  const OliviaMode& mode = kOliviaModes[static_cast<size_t>(state.range(0))];
  MFSK_Transmitter<double> tx;
  tx.Tones = static_cast<unsigned>(mode.Tones());
  tx.Bandwidth = static_cast<unsigned>(mode.Bandwidth());
  tx.SampleRate = kSampleRateHz;
  tx.OutputSampleRate = kSampleRateHz;
  tx.BandEdge = static_cast<float>((kCentreFrequencyHz - mode.Bandwidth() / 2.0) / 500);  // band centred on 1500 Hz
  tx.Reverse = 0;
  if (tx.Preset() < 0) {
    state.SkipWithError("Preset failed");
    return;
  }
  tx.Start();
  std::vector<double> out(tx.MaxOutLen);
  unsigned char next = 'A';
  double samples = 0;
  for (auto _ : state) {
    while (tx.GetReadReady() < static_cast<int>(tx.BitsPerSymbol)) {
      tx.PutChar(next);
      next = next == 'Z' ? 'A' : next + 1;
    }
    const int n = tx.Output(out.data());
    benchmark::DoNotOptimize(out.data());
    samples += n;
  }
  state.SetLabel(mode.label);
  state.counters["audio_s_per_s"] = benchmark::Counter(samples / kSampleRateHz, benchmark::Counter::kIsRate);
}

BENCHMARK(TransmitterOutput)->DenseRange(0, 18);

}  // namespace
}  // namespace quillon
