// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/channel/ChannelSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/CliError.h"

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;  // M_PI is POSIX, not C++
constexpr double kRate = kSampleRateHz;
constexpr double kNyquist = kRate / 2.0;
constexpr std::size_t kPowerBlock = 256;
constexpr double kSilenceBelow = 1e-3;   // 30 dB under the loudest block
constexpr double kOutputPeak = 32000.0;  // a little headroom under 16-bit full scale
// Mixed into the seed for the clicks' stream, so that it differs from the
// noise's; any odd constant does.
constexpr std::uint64_t kClickSeedMix = 0x9E3779B97F4A7C15ull;
constexpr double kMostClicksPerSecond = 1000.0;  // a 1 ms click every millisecond
constexpr double kClickDbLimit = 60.0;

std::vector<double> Drift(const std::vector<double>& input, double ppm) {
  if (ppm == 0.0) return input;
  const std::vector<float> samples(input.begin(), input.end());
  const std::vector<float> drifted = Resample(samples, 1.0 / (1.0 + ppm * 1e-6));
  return std::vector<double>(drifted.begin(), drifted.end());
}

std::vector<double> Pad(const std::vector<double>& input, double lead_s, double tail_s) {
  const auto lead = static_cast<std::size_t>(std::lround(std::max(0.0, lead_s) * kRate));
  const auto tail = static_cast<std::size_t>(std::lround(std::max(0.0, tail_s) * kRate));
  std::vector<double> padded(lead + input.size() + tail, 0.0);
  std::copy(input.begin(), input.end(), padded.begin() + static_cast<std::ptrdiff_t>(lead));
  return padded;
}

// A finite number filling all of `text`.
bool ReadNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno != ERANGE && std::isfinite(value);
}

}  // namespace

Fading ParseFading(const std::string& word) {
  if (word == "none" || word == "awgn") return Fading::kNone;
  if (word == "good") return Fading::kGood;
  if (word == "moderate") return Fading::kModerate;
  if (word == "poor") return Fading::kPoor;
  if (word == "flutter") return Fading::kFlutter;
  throw CliError("unknown fading '" + word + "': give good, moderate, poor or flutter");
}

const char* FadingName(Fading fading) {
  switch (fading) {
    case Fading::kGood: return "good";
    case Fading::kModerate: return "moderate";
    case Fading::kPoor: return "poor";
    case Fading::kFlutter: return "flutter";
    case Fading::kNone: break;
  }
  return "none";
}

FadingProfile ProfileOf(Fading fading) {
  switch (fading) {
    case Fading::kGood: return {0.5, 0.1};
    case Fading::kModerate: return {1.0, 0.5};
    case Fading::kPoor: return {2.0, 1.0};
    case Fading::kFlutter: return {0.5, 10.0};
    case Fading::kNone: break;
  }
  return {0.0, 0.0};
}

void ParseClicks(const std::string& word, ChannelSettings& settings) {
  const std::size_t colon = word.find(':');
  const std::string rate_text = word.substr(0, colon);
  double rate = 0.0;
  double db = settings.click_db;
  if (!ReadNumber(rate_text, rate) || (colon != std::string::npos && !ReadNumber(word.substr(colon + 1), db)))
    throw CliError("--clicks wants RATE or RATE:DB (clicks per second, peak over the signal in dB), not '" + word +
                   "'");
  if (rate < 0.0 || rate > kMostClicksPerSecond)
    throw CliError("--clicks: the rate must be within 0..1000 per second, not '" + rate_text + "'");
  if (db < -kClickDbLimit || db > kClickDbLimit)
    throw CliError("--clicks: the level must be within -60..60 dB, not '" + word.substr(colon + 1) + "'");
  settings.clicks_per_s = rate;
  settings.click_db = db;
}

ComplexSignal DopplerTap(std::size_t length, double sample_rate, double spread_hz, std::mt19937_64& random) {
  const std::size_t size = FftSize(length);
  std::normal_distribution<double> gaussian(0.0, std::sqrt(0.5));
  ComplexSignal tap(size);
  for (auto& value : tap) {
    const double re = gaussian(random);
    value = {re, gaussian(random)};
  }
  FftForward(tap);
  double filter_power = 0.0;
  for (std::size_t k = 0; k < size; ++k) {
    const double bin = k < size / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(size);
    const double f = bin * sample_rate / static_cast<double>(size);
    // Amplitude exp(-f^2 / (2 sa^2)) with sa = spread / sqrt 2.
    const double amplitude = std::exp(-f * f / (spread_hz * spread_hz));
    tap[k] *= amplitude;
    filter_power += amplitude * amplitude;
  }
  FftInverse(tap);
  // The inverse of white noise of unit power shaped by H has mean power
  // sum |H|^2 / size.
  const double scale = 1.0 / std::sqrt(filter_power / static_cast<double>(size));
  tap.resize(length);
  tap.shrink_to_fit();
  for (auto& value : tap) value *= scale;
  return tap;
}

double ActiveSignalPower(const std::vector<double>& x, std::vector<bool>* active) {
  std::vector<double> block_power;
  for (std::size_t start = 0; start < x.size(); start += kPowerBlock) {
    const std::size_t end = std::min(x.size(), start + kPowerBlock);
    double sum = 0.0;
    for (std::size_t n = start; n < end; ++n) sum += x[n] * x[n];
    block_power.push_back(sum / static_cast<double>(end - start));
  }
  const double loudest = block_power.empty() ? 0.0 : *std::max_element(block_power.begin(), block_power.end());
  if (active != nullptr) active->assign(x.size(), false);
  if (loudest <= 0.0) return 0.0;
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t block = 0; block < block_power.size(); ++block) {
    if (block_power[block] < loudest * kSilenceBelow) continue;
    const std::size_t start = block * kPowerBlock;
    const std::size_t end = std::min(x.size(), start + kPowerBlock);
    for (std::size_t n = start; n < end; ++n) {
      sum += x[n] * x[n];
      if (active != nullptr) (*active)[n] = true;
    }
    count += end - start;
  }
  return sum / static_cast<double>(count);
}

ChannelSimulator::ChannelSimulator(const ChannelSettings& settings)
    : settings_(settings), random_(settings.seed), click_random_(settings.seed ^ kClickSeedMix) {}

void ChannelSimulator::AddClicks(std::vector<double>& signal, double peak) {
  std::exponential_distribution<double> gap_s(settings_.clicks_per_s);
  std::bernoulli_distribution positive(0.5);
  std::normal_distribution<double> gaussian(0.0, 1.0);
  const double duration_s = static_cast<double>(signal.size()) / kRate;
  for (double at_s = gap_s(click_random_); at_s < duration_s; at_s += gap_s(click_random_)) {
    const auto start = static_cast<std::size_t>(at_s * kRate);
    signal[start] += positive(click_random_) ? peak : -peak;
    for (std::size_t k = 1; k < static_cast<std::size_t>(kClickSamples); ++k) {
      const double sample = peak * std::exp(-static_cast<double>(k) / kClickDecaySamples) * gaussian(click_random_);
      if (start + k < signal.size()) signal[start + k] += sample;
    }
    ++report_.clicks;
  }
}

std::vector<double> ChannelSimulator::Apply(const std::vector<double>& input) {
  report_ = ChannelReport{};
  std::vector<double> signal = Pad(Drift(input, settings_.drift_ppm), settings_.lead_s, settings_.tail_s);
  if (signal.size() > kMaxChannelSamples) {
    char message[160];
    std::snprintf(message, sizeof message, "the channel's output would last %.2f s; it makes at most %.2f s",
                  static_cast<double>(signal.size()) / kRate, static_cast<double>(kMaxChannelSamples) / kRate);
    throw CliError(message);
  }
  std::vector<bool> active;
  // Noise is scaled to the signal as sent: the fading paths have unit mean
  // power, so the long-run SNR is the same before and after them.
  const double sent_power = ActiveSignalPower(signal, &active);
  report_.signal_seconds = static_cast<double>(std::count(active.begin(), active.end(), true)) / kRate;

  if (settings_.fading != Fading::kNone || settings_.offset_hz != 0.0) {
    ComplexSignal received = AnalyticSignal(signal);
    if (settings_.fading != Fading::kNone) {
      const FadingProfile profile = ProfileOf(settings_.fading);
      const auto delay = static_cast<std::size_t>(std::lround(profile.delay_ms * 1e-3 * kRate));
      const ComplexSignal first = DopplerTap(received.size(), kRate, profile.spread_hz, random_);
      const ComplexSignal second = DopplerTap(received.size(), kRate, profile.spread_hz, random_);
      const double path_gain = std::sqrt(0.5);  // two paths of equal power, together unit power
      // In place from the end, so that the late path still reads the
      // signal as sent.
      for (std::size_t n = received.size(); n-- > 0;) {
        const std::complex<double> late = n >= delay ? received[n - delay] : 0.0;
        received[n] = path_gain * (first[n] * received[n] + second[n] * late);
      }
    }
    if (settings_.offset_hz != 0.0) {
      const double step = 2.0 * kPi * settings_.offset_hz / kRate;
      for (std::size_t n = 0; n < received.size(); ++n)
        received[n] *= std::polar(1.0, std::fmod(step * static_cast<double>(n), 2.0 * kPi));
    }
    for (std::size_t n = 0; n < signal.size(); ++n) signal[n] = received[n].real();
  }

  double arrived_power = 0.0;
  std::size_t active_count = 0;
  for (std::size_t n = 0; n < signal.size(); ++n) {
    if (!active[n]) continue;
    arrived_power += signal[n] * signal[n];
    ++active_count;
  }
  arrived_power = active_count > 0 ? arrived_power / static_cast<double>(active_count) : 0.0;

  if (settings_.clicks_per_s > 0.0) {
    if (sent_power <= 0.0) throw CliError("the input is silent: there is no signal to set the clicks' level against");
    AddClicks(signal, std::sqrt(sent_power * std::pow(10.0, settings_.click_db / 10.0)));
  }
  if (!settings_.add_noise) return signal;
  if (sent_power <= 0.0) throw CliError("the input is silent: there is no signal to set an SNR against");
  // White noise spreads its power evenly over 0..4000 Hz; the part inside
  // the noise bandwidth is to be sent_power / 10^(snr/10).
  const double band_share = settings_.noise_bandwidth_hz / kNyquist;
  const double noise_power = sent_power / std::pow(10.0, settings_.snr_db / 10.0) / band_share;
  std::normal_distribution<double> gaussian(0.0, std::sqrt(noise_power));
  double added_power = 0.0;
  for (double& value : signal) {
    const double noise = gaussian(random_);
    added_power += noise * noise;
    value += noise;
  }
  added_power /= static_cast<double>(signal.size());
  report_.measured_snr_db = 10.0 * std::log10(arrived_power / (added_power * band_share));
  return signal;
}

Audio ChannelSimulator::Apply(const Audio& input) {
  const std::vector<double> output = Apply(std::vector<double>(input.begin(), input.end()));
  double peak = 0.0;
  for (double value : output) peak = std::max(peak, std::fabs(value));
  report_.output_gain = peak > kOutputPeak ? kOutputPeak / peak : 1.0;
  Audio audio(output.size());
  for (std::size_t n = 0; n < output.size(); ++n) audio[n] = ToSample(output[n] * report_.output_gain);
  return audio;
}

}  // namespace quillon
