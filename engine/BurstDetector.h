// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds the tone burst that opens and closes every transmission: the band's
// lowest tone for 256 ms, its highest for 256 ms, and the pair again. The
// receiver takes the end of a burst as the moment one transmission ends or
// the next begins, so that the timing it held for one transmission does not
// decide the first block of the next.
//
// Every 128 ms the last 256 ms of audio go through a Hann-windowed FFT
// (3.9 Hz bins at 8000 samples/s; two such frames share one complex FFT). A burst tone lasts the whole 256 ms with
// one phase, so its energy gathers in one or two bins: near the decoding
// threshold (-13 dB in 2500 Hz) it stands some 14 dB above the band's mean
// bin. Olivia data hops between tones every few tens of milliseconds with a
// new phase each time, and spreads over the band. A burst has just ended
// where the four 256 ms segments heard last carry the low, high, low and
// high tone, each at least Threshold times the mean bin energy of its band,
// at one common frequency offset.
//
// With Threshold 8, a noise bin passes one segment's test with odds e^-8
// (3e-4), all four together about 1e-14: less than once in 10^5 hours over
// every trial offset.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/Containers.h"
#include "engine/Fft.h"
#include "engine/SignalMeter.h"
#include "engine/TransformMemo.h"

namespace quillon {

template <class Type>
class MFSK_BurstDetector {
 public:
  using Complex = Cmpx<Type>;

  // Parameters, written before Preset.
  double SampleRate;  // samples per second
  double LowTone;     // Hz: the lowest data tone, the burst's first
  double HighTone;    // Hz: the highest data tone
  double MaxOffset;   // Hz: how far off tune either side a burst may come
  double Threshold;   // least tone energy over the noise of its two bins, per segment
  double MinShare;    // least share of the band's energy above noise that the tone holds

  // Given every spectrum analysed, when set: the receiver's signal meter.
  MFSK_SignalMeter<Type>* Meter = nullptr;
  // Optional, the caller's: spectra another receiver took of the same
  // audio are copied from it (see TransformMemo.h).
  TransformMemo<Type>* Memo = nullptr;

  // Derived by Preset.
  unsigned SegmentLen = 0;    // samples per burst tone and per FFT (256 ms)
  unsigned Step = 0;          // samples between spectra (128 ms)
  unsigned SegmentSteps = 0;  // FFTs per segment
  int OffsetSteps = 0;        // trial offsets either side, in FFT bins

  // The last confirmed burst: its last sample, counted from the first sample
  // after Reset, and its weakest segment's score.
  std::uint64_t BurstEnd = 0;
  Type BurstScore = 0;

  MFSK_BurstDetector() {
    Init();
    Default();
  }
  MFSK_BurstDetector(const MFSK_BurstDetector&) = delete;
  MFSK_BurstDetector& operator=(const MFSK_BurstDetector&) = delete;
  ~MFSK_BurstDetector() { Free(); }

  void Init() {
    Window.reset();
    Input.reset();
    Spectrum.reset();
    Halves[0].reset();
    Halves[1].reset();
    LowEnergy.reset();
    HighEnergy.reset();
    NoisePair.reset();
    SignalEnergy.reset();
    Sorted.reset();
  }
  void Default() {
    SampleRate = 8000;
    LowTone = 1281.25;
    HighTone = 1718.75;
    MaxOffset = 250;
    Threshold = 6.5;
    MinShare = 0.5;
  }
  void Free() {
    Init();
    Fft.Free();
  }

  int Preset() {
    SegmentLen = 1;
    while (SegmentLen < 0.256 * SampleRate) SegmentLen <<= 1;
    Step = SegmentLen / 2;
    SegmentSteps = 2;
    const double bin = SampleRate / SegmentLen;
    LowBin = static_cast<int>(std::floor(LowTone / bin));  // the tone lies in LowBin or the one above
    HighBin = static_cast<int>(std::floor(HighTone / bin));
    OffsetSteps = static_cast<int>(std::ceil(std::max(0.0, MaxOffset) / bin));
    // The searched band must stay inside the half spectrum.
    const int half = static_cast<int>(SegmentLen / 2);
    OffsetSteps = std::min({OffsetSteps, LowBin - 1, half - 2 - HighBin});
    if (OffsetSteps < 0 || HighBin <= LowBin + 1) return Fail();
    Width = static_cast<unsigned>(2 * OffsetSteps + 1);
    History = 3 * SegmentSteps + 1;
    if (Fft.Preset(static_cast<int>(SegmentLen)) < 0 || ReallocArray(Window, SegmentLen) < 0 ||
        ReallocArray(Input, SegmentLen) < 0 || ReallocArray(Spectrum, SegmentLen) < 0 ||
        ReallocArray(Halves[0], SegmentLen / 2) < 0 || ReallocArray(Halves[1], SegmentLen / 2) < 0 ||
        ReallocArray(LowEnergy, History * Width) < 0 || ReallocArray(HighEnergy, History * Width) < 0 ||
        ReallocArray(NoisePair, History) < 0 || ReallocArray(SignalEnergy, History) < 0 ||
        ReallocArray(Sorted, SegmentLen / 2) < 0)
      return Fail();
    for (unsigned i = 0; i < SegmentLen; ++i)
      Window[i] = static_cast<Type>(0.5 - 0.5 * std::cos(6.283185307179586 * i / SegmentLen));
    Reset();
    ShareTransforms(Memo);
    return 0;
  }

  void ShareTransforms(TransformMemo<Type>* memo) {
    Memo = memo;
    if (Memo != nullptr && Spectrum) Memo->Join(TransformMemo<Type>::Kind::kTwoSpectra, SegmentLen, &MemoCursor);
  }

  void Reset() {
    ClearArray(Input, SegmentLen);
    ClearArray(LowEnergy, History * Width);
    ClearArray(HighEnergy, History * Width);
    ClearArray(NoisePair, History);
    ClearArray(SignalEnergy, History);
    Filled = 0;
    HeldFrame = false;
    Spectra = 0;
    Consumed = 0;
    BestScore = 0;
    BestEnd = 0;
    Pending = false;
  }

  // Takes samples; returns 1 when a burst has just been confirmed (BurstEnd,
  // BurstScore), about half a segment after its end.
  int Process(const Type* samples, unsigned count) {
    int found = 0;
    for (unsigned i = 0; i < count; ++i) {
      Input[Filled++] = samples[i];
      ++Consumed;
      if (Filled < SegmentLen) continue;
      found |= TakeFrame();
      for (unsigned k = Step; k < SegmentLen; ++k) Input[k - Step] = Input[k];
      Filled = SegmentLen - Step;
    }
    return found;
  }

 private:
  int Fail() {
    Free();
    return -1;
  }

  // Frames go in pairs through one complex FFT, the earlier as its real
  // part, the later as its imaginary part, and are analysed in turn.
  int TakeFrame() {
    if (!HeldFrame) {
      for (unsigned i = 0; i < SegmentLen; ++i) Spectrum[i].Re = Input[i] * Window[i];
      HeldEnd = Consumed - 1;
      HeldFrame = true;
      return 0;
    }
    for (unsigned i = 0; i < SegmentLen; ++i) Spectrum[i].Im = Input[i] * Window[i];
    HeldFrame = false;
    auto transform = [this] {
      Fft.Process(Spectrum.get());
      Fft.SeparTwoReals(Spectrum.get(), Halves[0].get(), Halves[1].get());
    };
    const unsigned half = SegmentLen / 2;
    if (Memo != nullptr)
      Memo->Apply(TransformMemo<Type>::Kind::kTwoSpectra, Spectrum.get(), SegmentLen, {Halves[0].get(), half},
                  {Halves[1].get(), half}, MemoCursor, transform);
    else
      transform();
    const int first = Analyse(Halves[0].get(), HeldEnd);
    return first | Analyse(Halves[1].get(), Consumed - 1);
  }

  int Analyse(const Complex* spectrum, std::uint64_t now) {
    if (Meter != nullptr) Meter->TakeSpectrum(spectrum, now);
    // A tone between two bins shares its energy between them.
    auto tone_energy = [spectrum](int bin) { return spectrum[bin].Energy() + spectrum[bin + 1].Energy(); };
    const unsigned row = static_cast<unsigned>(Spectra % History);
    // The noise floor from the band's median bin (the median of an
    // exponential energy is ln 2 of its mean): a burst tone or Olivia data
    // fill only a few bins, so it stays the noise's.
    const int first = LowBin - OffsetSteps;
    const int last = HighBin + OffsetSteps + 1;
    const unsigned bins = static_cast<unsigned>(last - first + 1);
    Type band = 0;
    for (unsigned k = 0; k < bins; ++k) {
      Sorted[k] = spectrum[first + static_cast<int>(k)].Energy();
      band += Sorted[k];
    }
    std::nth_element(Sorted.get(), Sorted.get() + bins / 2, Sorted.get() + bins);
    const Type noise = Sorted[bins / 2] / Type(0.6931471805599453);
    NoisePair[row] = 2 * noise;
    // What the band holds above its noise: a burst's tone alone.
    SignalEnergy[row] = std::max<Type>(band - bins * noise, 0);
    for (int d = -OffsetSteps; d <= OffsetSteps; ++d) {
      LowEnergy[row * Width + d + OffsetSteps] = tone_energy(LowBin + d);
      HighEnergy[row * Width + d + OffsetSteps] = tone_energy(HighBin + d);
    }
    ++Spectra;
    if (Spectra < History) return 0;

    // The four segments end 3, 2, 1 and 0 segments before now: low, high,
    // low, high.
    unsigned rows[4];
    for (unsigned segment = 0; segment < 4; ++segment)
      rows[segment] = static_cast<unsigned>((Spectra - 1 - (3 - segment) * SegmentSteps) % History);
    Type score = 0;
    for (unsigned j = 0; j < Width; ++j) {
      Type weakest = std::numeric_limits<Type>::max();
      for (unsigned segment = 0; segment < 4 && weakest > score; ++segment) {
        const unsigned r = rows[segment];
        const Type tone = ((segment % 2 == 0) ? LowEnergy : HighEnergy)[r * Width + j];
        // The tone must stand above the noise and carry most of what the
        // band holds above it; Olivia data spreads over many tones.
        const Type ratio = NoisePair[r] > 0 ? tone / NoisePair[r] : 0;
        const bool dominant = tone - NoisePair[r] >= MinShare * SignalEnergy[r];
        weakest = std::min(weakest, dominant ? ratio : Type(0));
      }
      score = std::max(score, weakest);
    }
    // The score peaks where the segments line up with the burst's tones; the
    // burst is confirmed half a segment later, when it can no longer grow.
    if (score >= Threshold && score > BestScore) {
      BestScore = score;
      BestEnd = now;
      Pending = true;
    }
    if (Pending && now >= BestEnd + SegmentLen / 2) {
      BurstEnd = BestEnd;
      BurstScore = BestScore;
      Pending = false;
      BestScore = 0;
      return 1;
    }
    return 0;
  }

  r2FFT<Complex> Fft;
  typename TransformMemo<Type>::Cursor MemoCursor;
  Array<Type> Window;
  Array<Type> Input;  // the last SegmentLen samples once filled
  Array<Complex> Spectrum;   // two frames' FFT
  Array<Complex> Halves[2];  // their half spectra, each scaled by 2
  bool HeldFrame = false;    // a frame waits in Spectrum's real parts for its partner
  std::uint64_t HeldEnd = 0; // the waiting frame's newest sample
  // History rows, a ring by spectrum count: per trial offset the energy
  // around each tone, and per row the band's mean energy of two bins.
  Array<Type> LowEnergy;
  Array<Type> HighEnergy;
  Array<Type> NoisePair;     // per row: the noise energy of two bins
  Array<Type> SignalEnergy;  // per row: the band's energy above its noise
  Array<Type> Sorted;        // scratch for the median
  unsigned Filled = 0;
  unsigned Width = 0;
  unsigned History = 0;
  int LowBin = 0;
  int HighBin = 0;
  std::uint64_t Spectra = 0;
  std::uint64_t Consumed = 0;
  Type BestScore = 0;
  std::uint64_t BestEnd = 0;
  bool Pending = false;
};

}  // namespace quillon
