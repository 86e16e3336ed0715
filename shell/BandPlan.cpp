// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/BandPlan.h"

#include <algorithm>
#include <cmath>

#include "engine/ModeTable.h"

namespace quillon {
namespace {

// The receive chain as the adapter presets it: 8 trial offsets each side, in
// FFT bins; one bin is half the tone spacing.
constexpr int kAdapterSearchMargin = 8;

}  // namespace

BandPlan BandPlanForMode(int mode_number) {
  const OliviaMode& mode = ModeByNumber(mode_number);
  const int tones = mode.Tones();
  const int bandwidth = mode.Bandwidth();
  // The receiver's FFT: 2^(bits per symbol - width code + 7) samples.
  const int fft_size = 1 << (mode.BitsPerSymbol() - mode.width_code + 7);
  const double bin_hz = static_cast<double>(kSampleRateHz) / fft_size;
  // The receiver's lowest tone bin, worked out as the adapter and the
  // receiver do (band edge in sixteenths of the sample rate, as a float):
  // the search cannot reach below bin 0, so a wide mode with few tones
  // (4/2000: bins of 250 Hz, the lowest tone at bin 3) searches fewer bins.
  const double half_band = std::trunc(bandwidth * (1.0 - 0.5 / tones) / 2.0);
  const float band_edge = static_cast<float>((kCentreFrequencyHz - half_band) / (kSampleRateHz / 16.0));
  const int first_carrier = static_cast<int>((fft_size / 16) * band_edge) + 1;
  const int margin_bins = std::min(kAdapterSearchMargin, first_carrier);

  BandPlan plan;
  plan.centre_hz = kCentreFrequencyHz;
  plan.band_low_hz = kCentreFrequencyHz - bandwidth / 2.0;
  plan.band_high_hz = kCentreFrequencyHz + bandwidth / 2.0;
  plan.search_margin_hz = margin_bins * bin_hz;
  plan.search_low_hz = plan.band_low_hz - plan.search_margin_hz;
  plan.search_high_hz = plan.band_high_hz + plan.search_margin_hz;
  return plan;
}

}  // namespace quillon
