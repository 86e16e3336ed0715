// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The input level of the captured audio in dBFS: full scale is 32767, so a
// full-scale square wave reads 0 dBFS RMS and a full-scale sine -3 dBFS RMS
// (its peak reads 0 dBFS).
//
// Why these bounds. The receiver levels its input itself (its limiter divides
// every bin by the smoothed energy around it and clips at 2.5 times the RMS),
// so within wide limits the absolute level does not matter; what matters is
// that the band noise stays far above the floors of the sound card and that
// nothing is clipped before the receiver sees it:
// - Clipping: a peak at -1 dBFS or above has probably been cut off by the
//   converter; clipped audio spreads splatter across the band that the
//   limiter cannot take out again.
// - Too weak: below -60 dBFS RMS. The 16-bit quantisation noise lies near
//   -101 dBFS RMS and a typical sound card's own hiss and hum at -85..-90
//   dBFS; at -60 dBFS the radio's band noise still stands 25 dB above them,
//   below that a weak signal sinks into the card's own noise.
// - Good: -50..-10 dBFS RMS. The lower end keeps 35 dB above the card's noise;
//   at the upper end an Olivia tone (crest 3 dB) peaks at -7 dBFS and band
//   noise (peaks some 12 dB above its RMS) just reaches the clipping warning,
//   so the region leaves room for a fading signal and the radio's AGC.

#include <cstdint>

namespace quillon {

enum class LevelVerdict { kGood, kAcceptable, kTooWeak, kClipping };

struct LevelReading {
  double peak_dbfs = 0;
  double rms_dbfs = 0;
  LevelVerdict verdict = LevelVerdict::kTooWeak;
};

class LevelMeter {
 public:
  static constexpr double kClipDbfs = -1.0;       // peak at or above: clipping
  static constexpr double kTooWeakDbfs = -60.0;   // RMS below: too weak
  static constexpr double kGoodLowDbfs = -50.0;   // RMS in the good region
  static constexpr double kGoodHighDbfs = -10.0;
  // Silence reads this instead of minus infinity: below the 16-bit floor.
  static constexpr double kSilenceDbfs = -110.0;
  // The meter's scale runs from here to 0 dBFS.
  static constexpr double kScaleBottomDbfs = -70.0;
  // A clipping verdict stays this long after the last clipped peak, so that
  // a single clipped block is seen (at 8000 samples/s).
  static constexpr int kClipHoldSamples = 16000;

  // Adds samples to the reading being gathered.
  void Feed(const int16_t* samples, int count);
  // The reading of everything fed since the last Take (silence when nothing
  // was fed), and starts a new one.
  LevelReading Take();

  // Where a level falls on the meter's scale: 0 at the bottom, 1 at 0 dBFS.
  static double ScaleFraction(double dbfs);
  static double ToDbfs(double amplitude);

 private:
  double sum_of_squares_ = 0;
  int count_ = 0;
  int peak_ = 0;                  // largest magnitude, 0..32768
  int since_clip_ = kClipHoldSamples;  // samples since the last clipped peak
};

}  // namespace quillon
