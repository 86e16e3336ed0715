// SPDX-License-Identifier: GPL-3.0-or-later
// What listening costs the driver thread: ProcessCapturedAudio over a minute
// of captured white noise, in one mode (the adapter alone) and in all 19 (the
// adapter and the other 18 receive-only chains), single-threaded as the
// driver runs it. Reported as the share of one core the receive path takes
// (CPU seconds per second of audio, core_share).

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "link/LinkState.h"
#include "modem/Driver.h"
#include "modem/Olivia.h"
#include "modem/ReceiveChain.h"
#include "modem/StationState.h"

namespace quillon {
namespace {

constexpr int kAudioSeconds = 60;
constexpr int kBlocks = kAudioSeconds * kSampleRateHz / kAudioBlockSamples;

// Noise at about -20 dBFS RMS, the middle of the level meter's good region.
std::vector<int16_t> CapturedNoise() {
  std::mt19937 random(1);
  std::normal_distribution<double> gauss(0.0, 3277.0);
  std::vector<int16_t> audio(static_cast<std::size_t>(kBlocks) * kAudioBlockSamples);
  for (int16_t& sample : audio) sample = static_cast<int16_t>(gauss(random));
  return audio;
}

void DriverReceive(benchmark::State& state) {
  const bool all_modes = state.range(0) != 0;
  const std::vector<int16_t> audio = CapturedNoise();
  auto link = std::make_unique<LinkState>();
  auto station = std::make_unique<StationState>(*link);
  station->diagnostic_output = nullptr;
  std::unique_ptr<olivia> adapter = MakeOliviaModem(kDefaultModeNumber, *station);
  station->modem.store(adapter.get());
  std::unique_ptr<OtherModeReceivers> others;
  if (all_modes) others = std::make_unique<OtherModeReceivers>(kDefaultModeNumber, *station);
  for (auto _ : state) {
    // The capture ring holds 100 blocks: the minute goes through it in
    // passes of 50, as the driver's 100 ms passes take one or two.
    for (int block = 0; block < kBlocks; block += 50) {
      for (int b = block; b < block + 50 && b < kBlocks; ++b)
        station->DTMFbuffer.Put(audio.data() + static_cast<std::size_t>(b) * kAudioBlockSamples);
      ProcessCapturedAudio(*station, others.get());
      // The link controller's part: the rings are emptied.
      int entry = 0;
      while (link->Bufer_Olivia.Take(entry)) {
      }
      if (others)
        for (auto& chain : others->Chains())
          while (chain->Ring().Take(entry)) {
          }
    }
  }
  const double audio_seconds = static_cast<double>(state.iterations()) * kAudioSeconds;
  state.counters["core_share"] =
      benchmark::Counter(audio_seconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(DriverReceive)->Arg(0)->Arg(1)->ArgName("all_modes")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon
