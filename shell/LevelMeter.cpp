// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/LevelMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillon {
namespace {

constexpr double kFullScale = 32767.0;

}  // namespace

double LevelMeter::ToDbfs(double amplitude) {
  if (!(amplitude > 0)) return kSilenceDbfs;
  return std::max(kSilenceDbfs, 20.0 * std::log10(amplitude / kFullScale));
}

double LevelMeter::ScaleFraction(double dbfs) {
  return std::clamp((dbfs - kScaleBottomDbfs) / -kScaleBottomDbfs, 0.0, 1.0);
}

void LevelMeter::Feed(const int16_t* samples, int count) {
  const int clip_level = static_cast<int>(std::ceil(kFullScale * std::pow(10.0, kClipDbfs / 20.0)));
  for (int i = 0; i < count; ++i) {
    const int magnitude = std::abs(static_cast<int>(samples[i]));
    sum_of_squares_ += static_cast<double>(magnitude) * magnitude;
    peak_ = std::max(peak_, magnitude);
    since_clip_ = magnitude >= clip_level ? 0 : std::min(since_clip_ + 1, kClipHoldSamples);
  }
  count_ += count;
}

LevelReading LevelMeter::Take() {
  LevelReading reading;
  reading.peak_dbfs = ToDbfs(peak_);
  reading.rms_dbfs = count_ > 0 ? ToDbfs(std::sqrt(sum_of_squares_ / count_)) : kSilenceDbfs;
  if (since_clip_ < kClipHoldSamples)
    reading.verdict = LevelVerdict::kClipping;
  else if (reading.rms_dbfs < kTooWeakDbfs)
    reading.verdict = LevelVerdict::kTooWeak;
  else if (reading.rms_dbfs >= kGoodLowDbfs && reading.rms_dbfs <= kGoodHighDbfs)
    reading.verdict = LevelVerdict::kGood;
  else
    reading.verdict = LevelVerdict::kAcceptable;
  sum_of_squares_ = 0;
  count_ = 0;
  peak_ = 0;
  return reading;
}

}  // namespace quillon
