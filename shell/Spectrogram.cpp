// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Spectrogram.h"

#include <algorithm>
#include <cmath>

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFullScale = 32767.0;

}  // namespace

Spectrogram::Spectrogram()
    : window_(kFftSize), recent_(kFftSize, 0.0), buffer_(kFftSize), power_(kBins, 0.0), line_(kBins, kFloorDb) {
  fft_.Preset(kFftSize);
  for (int n = 0; n < kFftSize; ++n) window_[n] = 0.5 - 0.5 * std::cos(2 * kPi * n / kFftSize);
}

bool Spectrogram::Feed(const int16_t* samples, int count) {
  bool ready = false;
  for (int i = 0; i < count; ++i) {
    recent_[write_at_] = samples[i];
    write_at_ = (write_at_ + 1) % kFftSize;
    if (--until_fft_ > 0) continue;
    until_fft_ = kFftStep;
    AddSpectrum();
    if (++ffts_ < kLineSamples / kFftStep) continue;
    FinishLine();
    ready = true;
  }
  return ready;
}

void Spectrogram::FinishLine() {
  // A full-scale sine of amplitude A centred on a bin gives |X| = A N / 4
  // through the Hann window (coherent gain 1/2, the power split between the
  // positive and negative frequency).
  const double reference = kFullScale * kFftSize / 4.0;
  const double scale = 1.0 / (reference * reference * ffts_);
  for (int k = 0; k < kBins; ++k) {
    const double power = power_[k] * scale;
    line_[k] = power > 0 ? std::max(kFloorDb, static_cast<float>(10.0 * std::log10(power))) : kFloorDb;
  }
  std::fill(power_.begin(), power_.end(), 0.0);
  ffts_ = 0;
}

void Spectrogram::AddSpectrum() {
  // write_at_ is the oldest sample of the ring.
  for (int n = 0; n < kFftSize; ++n)
    buffer_[n] = Cmpx<double>{recent_[(write_at_ + n) % kFftSize] * window_[n], 0.0};
  fft_.Process(buffer_.data());
  for (int k = 0; k < kBins; ++k) power_[k] += buffer_[k].Energy();
}

}  // namespace quillon
