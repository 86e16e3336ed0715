// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HF channel between two stations: clock drift, silence around the
// signal, Watterson fading (two equal-power Rayleigh paths with Gaussian
// Doppler spectra, ITU-R F.1487 / CCIR 520), a frequency offset, clicks
// (impulse noise), and white Gaussian noise at a signal-to-noise ratio given
// in a noise bandwidth. Seeded and deterministic.
//
// A click stands for a static crash or an ignition spark as a receiver's
// audio passes it on: a broadband impulse far shorter than a symbol. It is
// 1 ms long (8 samples): its first sample is +-A (the sign at random), the
// rest Gaussian noise of standard deviation A under an envelope decaying
// with a 0.25 ms time constant, so its spectrum is flat on average and
// random in phase, as an impulse's after the receiver's filters, and it has
// died away by 35 dB at its end. A^2, its peak power, is `click_db` over the
// mean signal power. Clicks arrive as a Poisson process (exponential gaps)
// over the whole output, silence included, and overlap where they fall
// together. They are drawn from a random stream of their own, so the
// Gaussian noise is the same with or without them.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/channel/Fft.h"
#include "tools/wav/WavIo.h"

namespace quillon {

enum class Fading { kNone, kGood, kModerate, kPoor, kFlutter };

struct FadingProfile {
  double delay_ms;   // between the two paths
  double spread_hz;  // 2 sigma width of each path's Doppler power spectrum
};

// Throws CliError for a word that is not none/awgn/good/moderate/poor/flutter.
Fading ParseFading(const std::string& word);
const char* FadingName(Fading fading);
FadingProfile ProfileOf(Fading fading);

// The simulator works on the whole signal at once (its fading is made in the
// frequency domain), so its output is limited: 2^24 samples, about 35 minutes
// at 8000 samples/s.
constexpr std::size_t kMaxChannelSamples = std::size_t{1} << 24;

struct ChannelSettings {
  bool add_noise = false;
  double snr_db = 0.0;
  double noise_bandwidth_hz = 2500.0;
  double offset_hz = 0.0;
  Fading fading = Fading::kNone;
  // Positive: the sending station's sample clock runs fast, so its audio
  // arrives shorter and higher in frequency.
  double drift_ppm = 0.0;
  double lead_s = 0.0;
  double tail_s = 0.0;
  // Clicks per second on average; 0: none.
  double clicks_per_s = 0.0;
  // A click's peak power over the mean signal power (the power `snr_db`
  // refers to), in dB.
  double click_db = 20.0;
  std::uint64_t seed = 1;
};

// Samples of one click at 8000 samples/s (1 ms), and its envelope's time
// constant in samples (0.25 ms).
constexpr int kClickSamples = 8;
constexpr double kClickDecaySamples = 2.0;

// "RATE[:DB]" (--clicks) into clicks_per_s and click_db; DB stays as it
// was when not given. Throws CliError for anything else, and for a rate
// outside 0..1000 per second (at 1000 the clicks run into each other) or a
// level outside -60..60 dB.
void ParseClicks(const std::string& word, ChannelSettings& settings);

struct ChannelReport {
  // The signal power over the non-silent part of the faded signal over the
  // power of the Gaussian noise actually added, counted in the noise
  // bandwidth; clicks are not counted as noise here.
  double measured_snr_db = 0.0;
  int clicks = 0;               // clicks added
  double signal_seconds = 0.0;  // length of the non-silent part
  double output_gain = 1.0;     // applied to keep 16-bit output from clipping
};

class ChannelSimulator {
 public:
  explicit ChannelSimulator(const ChannelSettings& settings);

  // In and out in 16-bit sample units at 8000 samples/s, no scaling or
  // clipping. Throws CliError when noise or clicks are asked for over silent
  // input, and when the output would be longer than kMaxChannelSamples.
  std::vector<double> Apply(const std::vector<double>& input);
  // The same, scaled down as a whole only if it would clip, then rounded.
  Audio Apply(const Audio& input);

  const ChannelReport& Report() const { return report_; }

 private:
  // Adds the clicks at `peak` (sample units) to the signal.
  void AddClicks(std::vector<double>& signal, double peak);

  ChannelSettings settings_;
  std::mt19937_64 random_;
  std::mt19937_64 click_random_;  // the clicks' own stream
  ChannelReport report_;
};

// A complex Gaussian process of unit mean power whose power spectrum is a
// Gaussian of sigma = spread / 2 (so the shaping filter's amplitude response
// has sigma = spread / sqrt 2), generated in the frequency domain.
ComplexSignal DopplerTap(std::size_t length, double sample_rate, double spread_hz, std::mt19937_64& random);

// The mean power of the blocks of `x` that are not silent (256-sample blocks
// within 30 dB of the loudest one); `active` receives one flag per sample.
double ActiveSignalPower(const std::vector<double>& x, std::vector<bool>* active);

}  // namespace quillon
