// SPDX-License-Identifier: GPL-3.0-or-later
// The band strip's cost: what the window does with each second of captured
// audio (the level meter, the spectrogram's 40 FFTs and the waterfall's 10
// new rows), and, in the Linux window, painting the strip 10 times. Reported
// as the share of one core the strip takes while audio flows in real time
// (core_percent = CPU time per second of audio x 100).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cmath>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "link/LinkState.h"
#include "modem/StationState.h"
#include "modem/audio/LoopbackAudio.h"
#include "shell/BandPlan.h"
#include "shell/LevelMeter.h"
#include "shell/Spectrogram.h"
#include "shell/Waterfall.h"
#include "shell/qt/BandStrip.h"

namespace quillon {
namespace {

// One second of an 8-tone signal in noise, as the capture thread delivers it.
std::vector<int16_t> OneSecond() {
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, 1000.0);
  std::vector<int16_t> audio(kSampleRateHz);
  for (std::size_t n = 0; n < audio.size(); ++n)
    audio[n] = static_cast<int16_t>(std::lround(noise(random) + 800.0 * std::sin(0.0012 * n * n)));
  return audio;
}

// CPU time of this thread, in seconds.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Each iteration handles one second of audio.
template <class Work>
void MeasureCorePercent(benchmark::State& state, Work work) {
  double cpu = 0;
  double seconds = 0;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    work();
    cpu += ThreadCpuSeconds() - start;
    seconds += 1.0;
  }
  state.counters["core_percent"] = 100.0 * cpu / seconds;
}

void StripAnalysis(benchmark::State& state) {
  const std::vector<int16_t> audio = OneSecond();
  Spectrogram spectrogram;
  Waterfall waterfall;
  waterfall.SetBandPlan(BandPlanForMode(101));
  LevelMeter meter;
  MeasureCorePercent(state, [&] {
    // Whole blocks, 15 of them, then the rest, as the tap hands them over;
    // a meter reading every other block, as on a 100 ms tick.
    for (std::size_t at = 0; at < audio.size(); at += kAudioBlockSamples) {
      const int count = static_cast<int>(std::min<std::size_t>(kAudioBlockSamples, audio.size() - at));
      meter.Feed(audio.data() + at, count);
      if (spectrogram.Feed(audio.data() + at, count)) waterfall.AddLine(spectrogram.Line());
      if (at % (2 * kAudioBlockSamples) == 0) benchmark::DoNotOptimize(meter.Take());
    }
    benchmark::DoNotOptimize(waterfall.Pixels()[0]);
  });
}
BENCHMARK(StripAnalysis)->Unit(benchmark::kMillisecond);

// The Linux strip painted into an image the size it has in the window at
// its initial size (480 wide), ten times per second of audio, its timer
// stopped.
void StripPainting(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench_band_strip";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication application(argc, argv);
  LinkState link;
  StationState station(link, 8);
  LoopbackAudio devices;
  BandStrip strip(station, devices, nullptr);
  strip.SetRunning(false);
  strip.resize(480, 140);
  const std::vector<int16_t> audio = OneSecond();
  for (std::size_t at = 0; at + kAudioBlockSamples <= audio.size(); at += kAudioBlockSamples)
    station.monitor_tap.Put(audio.data() + at);
  strip.Drain();
  QImage image(strip.size(), QImage::Format_RGB32);
  MeasureCorePercent(state, [&] {
    for (int tick = 0; tick < 10; ++tick) strip.render(&image);
  });
}
BENCHMARK(StripPainting)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon
