// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How strong a received block was: its signal power and the noise density
// beside its band, from the power spectra of the audio as it came in (before
// the input limiter, which levels the spectrum and would hide both).
//
// The spectra are the burst detector's (Hann-windowed, 256 ms, every
// 128 ms), so measuring costs no transform of its own. They are summed into
// buckets of time, a ring reaching back over the blocks the receiver may
// still decide. For a block's span the buckets whose middle lies in it are
// averaged; then
//   signal = the band's energy - its bins x the noise density per bin,
//   noise  = the noise density x the bins of 2500 Hz,
// both in the same (arbitrary) unit, so that their ratio is the
// signal-to-noise ratio in 2500 Hz, the measure of the channel simulator.
// Both are linear and unbiased, so the blocks of a frame are summed before
// the ratio is taken: the noise of a weak block's estimate averages out
// instead of being clipped at zero.
//
// The band reaches one tone spacing and two bins beyond the outer tones: an
// Olivia tone's envelope is a raised cosine two symbol periods long, whose
// spectrum has its first zero one tone spacing from the tone (its sidelobes
// lie 31 dB down), and the window spreads each line over two bins either
// side. The noise is measured on both sides of the band, from half a
// spacing (at least 60 Hz) beyond it, over max(250 Hz, half the bandwidth)
// each: close enough to share the band's noise on a real receiver, far
// enough that the sidelobes add under 1 % to it at +10 dB. Each bin is
// divided by the rate converter's power gain, which falls from 1.8 kHz on
// (0.5 dB at 2.1 kHz, 10 dB at 3.4 kHz, 20 dB at 3.8 kHz), and bins it
// takes down by more than 20 dB are not used. The widest modes leave noise
// on one side only, above 2.8 kHz: there each decibel of the stopband that
// is used counts (to 3.4 kHz the noise of a 4/2000 frame near its
// threshold came out within 2 dB, to 3.8 kHz within 0.8 dB). Another
// station beside the band counts as noise.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Containers.h"

namespace quillon {

// One block's measurement; `measured` is false when no spectrum covered it.
struct MFSK_BlockSignal {
  double signal = 0;  // signal power, in the unit of noise
  double noise = 0;   // noise power in 2500 Hz
  double offset_hz = 0;  // the refined frequency offset of the block's candidate
  bool measured = false;
};

template <class Type>
class MFSK_SignalMeter {
 public:
  static constexpr double kNoiseBandwidthHz = 2500;
  static constexpr double kLeastGain = 0.01;  // of the converter's peak power gain: 20 dB down
  static constexpr double kNoiseRegionHz = 250;

  // Parameters, written before Preset.
  double SampleRate = 8000;     // samples per second
  unsigned SpectrumLen = 2048;  // FFT length of the spectra given to TakeSpectrum
  unsigned BucketLen = 4096;    // samples per bucket of time
  unsigned Buckets = 16;        // buckets kept

  MFSK_SignalMeter() = default;
  MFSK_SignalMeter(const MFSK_SignalMeter&) = delete;
  MFSK_SignalMeter& operator=(const MFSK_SignalMeter&) = delete;

  int Preset() {
    Bins = SpectrumLen / 2;
    if (Bins == 0 || BucketLen == 0 || Buckets == 0) return -1;
    if (ReallocArray(Energy, std::size_t{Buckets} * Bins) < 0 || ReallocArray(Counts, Buckets) < 0 ||
        ReallocArray(BucketIndex, Buckets) < 0 || ReallocArray(InverseGain, Bins) < 0)
      return -1;
    for (unsigned k = 0; k < Bins; ++k) InverseGain[k] = 1;
    Reset();
    return 0;
  }

  void Free() {
    Energy.reset();
    Counts.reset();
    BucketIndex.reset();
    InverseGain.reset();
  }

  void Reset() {
    ClearArray(Energy, std::size_t{Buckets} * Bins);
    ClearArray(Counts, Buckets);
    for (unsigned b = 0; b < Buckets; ++b) BucketIndex[b] = -1;
  }

  double BinHz() const { return SampleRate / SpectrumLen; }

  // A half spectrum of SpectrumLen / 2 bins whose newest sample is `end`
  // (input samples since Reset); its middle decides its bucket.
  template <class Complex>
  void TakeSpectrum(const Complex* half, std::uint64_t end) {
    const std::int64_t middle = static_cast<std::int64_t>(end) + 1 - static_cast<std::int64_t>(SpectrumLen / 2);
    if (middle < 0) return;
    const std::int64_t index = middle / BucketLen;
    const unsigned slot = static_cast<unsigned>(index % Buckets);
    Type* energy = Energy.get() + std::size_t{slot} * Bins;
    if (BucketIndex[slot] != index) {
      ClearArray(energy, Bins);
      Counts[slot] = 0;
      BucketIndex[slot] = index;
    }
    for (unsigned k = 0; k < Bins; ++k) energy[k] += half[k].Energy();
    ++Counts[slot];
  }

  // The rate converter's impulse response ahead of the meter: every bin is
  // divided by its power gain, so that the figures are those of the audio as
  // it came in. Bins where that gain lies more than 20 dB below its peak
  // (near half the sample rate) are left out: what is left there is mostly
  // the filter's error.
  void SetResponse(const Type* impulse, unsigned length) {
    // Only the taps the filter has: it spans a few tens of samples.
    unsigned first = 0;
    while (first < length && impulse[first] == 0) ++first;
    while (length > first && impulse[length - 1] == 0) --length;
    const double pi = 3.14159265358979323846;
    Type peak = 0;
    for (unsigned k = 0; k < Bins; ++k) {
      // The taps' phasors by rotation: one sine and cosine per bin.
      const double step_re = std::cos(2 * pi * k / SpectrumLen), step_im = -std::sin(2 * pi * k / SpectrumLen);
      double re = 0, im = 0, phase_re = 1, phase_im = 0;
      for (unsigned n = first; n < length; ++n) {
        re += impulse[n] * phase_re;
        im += impulse[n] * phase_im;
        const double next_re = phase_re * step_re - phase_im * step_im;
        phase_im = phase_re * step_im + phase_im * step_re;
        phase_re = next_re;
      }
      InverseGain[k] = static_cast<Type>(re * re + im * im);  // the gain itself, for now
      peak = std::max(peak, InverseGain[k]);
    }
    // Kept as its inverse, 0 where the bin is not used.
    for (unsigned k = 0; k < Bins; ++k)
      InverseGain[k] = InverseGain[k] < kLeastGain * peak ? 0 : 1 / InverseGain[k];
  }

  // The audio from `from` to `to` (input samples since Reset) carrying tones
  // from low_tone_hz to high_tone_hz, spacing_hz apart.
  MFSK_BlockSignal Measure(std::int64_t from, std::int64_t to, double low_tone_hz, double high_tone_hz,
                           double spacing_hz) const {
    MFSK_BlockSignal result;
    const double bin = BinHz();
    const double guard = spacing_hz + 2 * bin;
    // Beyond the guard the tones' sidelobes lie more than 31 dB down; half a
    // spacing (at least 60 Hz) more keeps them out of the noise.
    const double gap = std::max(spacing_hz / 2, 60.0);
    const double width = std::max(kNoiseRegionHz, (high_tone_hz - low_tone_hz + spacing_hz) / 2);
    const Range band = Clip(low_tone_hz - guard, high_tone_hz + guard);
    const Range noise_regions[2] = {Clip(low_tone_hz - guard - gap - width, low_tone_hz - guard - gap),
                                    Clip(high_tone_hz + guard + gap, high_tone_hz + guard + gap + width)};
    if (band.Count() == 0 || noise_regions[0].Count() + noise_regions[1].Count() == 0) return result;

    // The buckets whose middle lies inside the span; a span shorter than a
    // bucket takes the bucket holding its middle.
    unsigned slots[64];
    unsigned used = 0;
    unsigned spectra = 0;
    const auto take = [&](std::int64_t index) {
      const unsigned slot = static_cast<unsigned>(((index % Buckets) + Buckets) % Buckets);
      if (BucketIndex[slot] != index || Counts[slot] == 0 || used == 64) return;
      slots[used++] = slot;
      spectra += Counts[slot];
    };
    for (std::int64_t index = FloorDiv(from, BucketLen); index <= FloorDiv(to - 1, BucketLen); ++index) {
      const std::int64_t middle = index * BucketLen + BucketLen / 2;
      if (middle >= from && middle < to) take(index);
    }
    if (used == 0) take(FloorDiv(from + (to - from) / 2, BucketLen));
    if (spectra == 0) return result;
    // Per bin the energy as it came in, summed over the spectra taken; the
    // bins the converter all but removed count for nothing.
    const auto sum_in = [&](const Range& range, double* energy, int* bins) {
      for (int k = range.first; k <= range.last; ++k) {
        if (InverseGain[k] == 0) continue;
        double sum = 0;
        for (unsigned u = 0; u < used; ++u) sum += Energy[std::size_t{slots[u]} * Bins + static_cast<unsigned>(k)];
        *energy += sum * InverseGain[k];
        ++*bins;
      }
    };
    double band_energy = 0, noise_energy = 0;
    int band_bins = 0, noise_bins = 0;
    sum_in(band, &band_energy, &band_bins);
    // The noise regions never reach into the band: they begin beyond its guard.
    sum_in(noise_regions[0], &noise_energy, &noise_bins);
    sum_in(noise_regions[1], &noise_energy, &noise_bins);
    if (noise_bins == 0 || band_bins == 0) return result;
    const double density = noise_energy / noise_bins / spectra;  // per bin and spectrum
    result.signal = band_energy / spectra - band_bins * density;
    result.noise = density * kNoiseBandwidthHz / bin;
    result.measured = result.noise > 0;
    return result;
  }

 private:
  struct Range {
    int first = 0;
    int last = -1;
    int Count() const { return last >= first ? last - first + 1 : 0; }
  };

  // Bins whose centre lies within [low, high] Hz, the zero-frequency bin
  // left out.
  Range Clip(double low_hz, double high_hz) const {
    const double bin = BinHz();
    Range r;
    r.first = std::max(1, static_cast<int>(std::ceil(low_hz / bin)));
    r.last = std::min(static_cast<int>(std::floor(high_hz / bin)), static_cast<int>(Bins) - 1);
    return r;
  }

  static std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

  unsigned Bins = 0;
  Array<Type> Energy;               // Buckets rows of Bins summed energies
  Array<unsigned> Counts;           // spectra summed per bucket
  Array<std::int64_t> BucketIndex;  // which bucket of time each row holds, -1 none
  Array<Type> InverseGain;          // per bin: 1 / the power gain ahead of the meter, 0 where unusable
};

}  // namespace quillon
