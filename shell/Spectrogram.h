#pragma once
// Power spectra of the captured audio for the waterfall: 8000 samples/s in,
// one line of bin powers every 100 ms out.
//
// A line is the Hann-windowed FFT of the last 1024 samples (128 ms): bins of
// 7.8125 Hz, a quarter of the closest tone spacing of any mode (31.25 Hz in
// 8/250 and 64/2000), so neighbouring tones stand two to four bins apart and
// show as separate traces. Lines overlap (a 1024-sample window every 800
// samples), so a short symbol is never missed between two lines.

#include <cstdint>
#include <vector>

#include "engine/Containers.h"
#include "engine/Fft.h"

namespace quillon {

class Spectrogram {
 public:
  static constexpr int kFftSize = 1024;
  static constexpr int kLineSamples = 800;            // 10 lines a second
  static constexpr int kBins = kFftSize / 2 + 1;      // 0 Hz .. 4000 Hz
  static constexpr double kBinHz = 8000.0 / kFftSize;
  // Bin powers below this read as this (dB); digital silence would be -inf.
  static constexpr float kFloorDb = -150.0f;

  Spectrogram();

  // Adds samples; returns true when a new line is ready in Line(). At most
  // one line per call is kept: feed at most kLineSamples samples at a time
  // (a 512-sample block from the capture ring always is).
  bool Feed(const int16_t* samples, int count);
  // Power per bin in dB relative to a full-scale sine centred on a bin (which
  // reads 0 dB), kBins values.
  const std::vector<float>& Line() const { return line_; }

 private:
  void ComputeLine();

  r2FFT<Cmpx<double>> fft_;
  std::vector<double> window_;         // Hann
  std::vector<double> recent_;         // the last kFftSize samples, as a ring
  int write_at_ = 0;                   // next sample's place in recent_
  int until_line_ = kFftSize;          // samples still to come before the next line
  std::vector<Cmpx<double>> buffer_;
  std::vector<float> line_;
};

}  // namespace quillon
