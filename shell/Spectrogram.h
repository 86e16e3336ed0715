// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Power spectra of the captured audio for the waterfall: 8000 samples/s in,
// one line of bin powers every 100 ms out.
//
// Every 200 samples the last 1024 (128 ms) go through a Hann-windowed FFT:
// bins of 7.8125 Hz, a quarter of the closest tone spacing of any mode
// (31.25 Hz in 8/250 and 64/2000), so neighbouring tones stand two to four
// bins apart and show as separate traces. A line is the mean power of the
// four FFTs of its 100 ms: the noise's speckle shrinks, so a weak signal's
// trace stands out of it, and no short symbol falls between two lines.

#include <cstdint>
#include <vector>

#include "engine/Containers.h"
#include "engine/Fft.h"

namespace quillon {

class Spectrogram {
 public:
  static constexpr int kFftSize = 1024;
  static constexpr int kLineSamples = 800;            // 10 lines a second
  static constexpr int kFftStep = 200;                // 4 FFTs a line
  static constexpr int kBins = kFftSize / 2 + 1;      // 0 Hz .. 4000 Hz
  static constexpr double kBinHz = 8000.0 / kFftSize;
  // Bin powers below this read as this (dB); digital silence would be -inf.
  static constexpr float kFloorDb = -150.0f;

  Spectrogram();

  // Adds samples; returns true when a new line is ready in Line(). At most
  // one line per call is kept: feed at most kLineSamples samples at a time
  // (a 512-sample block from the capture ring always is). The window starts
  // on silence, so the first line comes after the first 800 samples.
  bool Feed(const int16_t* samples, int count);
  // Power per bin in dB relative to a full-scale sine centred on a bin (which
  // reads 0 dB), kBins values.
  const std::vector<float>& Line() const { return line_; }

 private:
  void AddSpectrum();
  void FinishLine();

  r2FFT<Cmpx<double>> fft_;
  std::vector<double> window_;         // Hann
  std::vector<double> recent_;         // the last kFftSize samples, as a ring
  int write_at_ = 0;                   // next sample's place in recent_
  int until_fft_ = kFftStep;           // samples still to come before the next FFT
  int ffts_ = 0;                       // FFTs summed into power_ so far
  std::vector<Cmpx<double>> buffer_;
  std::vector<double> power_;          // summed bin powers of the line being made
  std::vector<float> line_;
};

}  // namespace quillon
