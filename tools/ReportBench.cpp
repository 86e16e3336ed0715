// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ReportBench.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>

#include "engine/Receiver.h"
#include "tools/FrameDecoder.h"
#include "tools/ModeArg.h"
#include "tools/Sensitivity.h"
#include "tools/Station.h"

namespace quillon {
namespace {

constexpr double kMaxOffsetBins = 4.0;
constexpr double kMaxLeadSeconds = 2.0;
constexpr double kTailSeconds = 1.0;

// As in the sensitivity benchmark: offsets of up to 4 bins, one bin inside
// the receiver's own search range.
double MaxOffsetHz(const OliviaMode& mode) {
  Station station(mode);
  const double margin = static_cast<double>(station.Adapter().Receiver().SearchMargin);
  return std::min(kMaxOffsetBins, margin - 1.0) * ModeBinHz(mode);
}

std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

struct TrialResult {
  bool measured = false;
  double snr_error = 0.0;
  double offset_error = 0.0;  // tone spacings
};

// The first frame that came with a report stands for the trial: a
// transmission holds one frame, so any other is a piece of noise.
TrialResult RunTrial(const OliviaMode& mode, const ReportBenchSettings& settings, double snr_db, double max_offset_hz,
                     std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const std::string text = RandomMixedText(settings.length, random);
  ChannelSettings channel;
  channel.add_noise = true;
  channel.snr_db = snr_db;
  channel.fading = settings.fading;
  channel.offset_hz = std::uniform_real_distribution<double>(-max_offset_hz, max_offset_hz)(random);
  channel.lead_s = std::uniform_real_distribution<double>(0.0, kMaxLeadSeconds)(random);
  channel.tail_s = kTailSeconds;
  channel.seed = random();
  const Audio heard = ChannelSimulator(channel).Apply(EncodeMessage(mode, text));
  FrameDecoder decoder(mode);
  decoder.HearAll(heard);
  TrialResult result;
  for (const DecodedFrame& frame : decoder.TakeFrames()) {
    if (!std::isfinite(frame.snr_db)) continue;
    result.measured = true;
    result.snr_error = frame.snr_db - snr_db;
    result.offset_error = (frame.freq_offset_hz - channel.offset_hz) / ToneSpacingHz(mode);
    break;
  }
  return result;
}

}  // namespace

void ErrorStats::Add(double error) {
  ++count;
  sum += error;
  sum_squares += error * error;
  if (std::fabs(error) > std::fabs(worst)) worst = error;
}

double ErrorStats::Mean() const { return count > 0 ? sum / count : 0.0; }

double ErrorStats::Spread() const {
  if (count < 2) return 0.0;
  const double mean = Mean();
  return std::sqrt(std::max(0.0, (sum_squares - count * mean * mean) / (count - 1)));
}

double ToneSpacingHz(const OliviaMode& mode) { return 2.0 * ModeBinHz(mode); }

std::vector<ReportCurve> MeasureReportCalibration(const std::vector<const OliviaMode*>& modes,
                                                  const ReportBenchSettings& settings) {
  std::vector<double> snrs;
  for (int k = 0;; ++k) {
    const double snr = settings.from_db + k * settings.step_db;
    if (snr > settings.to_db + 1e-9) break;
    snrs.push_back(snr);
  }
  std::vector<ReportCurve> curves(modes.size());
  for (std::size_t c = 0; c < modes.size(); ++c) {
    curves[c].mode = modes[c];
    curves[c].max_offset_hz = MaxOffsetHz(*modes[c]);
    for (double snr : snrs) {
      ReportPoint point;
      point.snr_db = snr;
      point.trials = settings.trials;
      curves[c].points.push_back(point);
    }
  }
  std::mutex results;
  const std::size_t per_curve = snrs.size() * static_cast<std::size_t>(settings.trials);
  ParallelFor(modes.size() * per_curve, settings.threads, [&](std::size_t index) {
    const std::size_t c = index / per_curve;
    const std::size_t p = index % per_curve / static_cast<std::size_t>(settings.trials);
    const std::uint64_t trial = index % static_cast<std::size_t>(settings.trials);
    const OliviaMode& mode = *modes[c];
    const std::uint64_t seed = Mix(Mix(settings.seed ^ static_cast<std::uint64_t>(mode.number)) ^
                                   Mix(static_cast<std::uint64_t>(std::llround(snrs[p] * 1000.0)) ^ (trial << 32)));
    const TrialResult result = RunTrial(mode, settings, snrs[p], curves[c].max_offset_hz, seed);
    std::lock_guard<std::mutex> lock(results);
    ReportPoint& point = curves[c].points[p];
    if (!result.measured) return;
    ++point.measured;
    point.snr_error.Add(result.snr_error);
    point.offset_error.Add(result.offset_error);
  });
  return curves;
}

}  // namespace quillon
