// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stream resampler: a windowed-sinc low-pass sampled at OverSampling phases
// per input interval, with linear interpolation between neighbouring phases.
// OutputRate is output samples per input sample. The filter is not
// normalised: its gain at low frequencies is about 1 / (2 * UpperFreq),
// 1.333 with the defaults, and it delays the signal by about TapLen / 2
// input samples.

#include <algorithm>
#include <cmath>

#include "engine/Containers.h"
#include "engine/PowerOfTwo.h"

namespace quillon {

template <class Type>
class RateConverter {
 public:
  unsigned TapLen;        // input samples spanned by the filter; forced to a power of two
  unsigned OverSampling;  // filter phases per input interval
  double UpperFreq;       // cut-off as a fraction of the input rate (0.375: 3000 Hz at 8000 Hz)
  double OutputRate;      // output samples per input sample; takes effect at Reset()
  unsigned FilterLen = 0;
  Array<Type> FilterShape;
  Array<Type> InputTap;  // ring of the last TapLen inputs
  int InpTapPtr = 0;     // oldest input, where the next one goes
  int TapMask = 0;
  double OutTapPtr = 0;  // next output position in filter phases past the newest input
  double OutStep = 0;    // phases per output sample
  Type PrevSample = 0;
  Type NextSample = 0;
  int OutWait = 0;  // 1 while PrevSample is made and its output is still due

  RateConverter() {
    Init();
    Default();
  }
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;
  ~RateConverter() { Free(); }

  void Default() {
    TapLen = 16;
    OverSampling = 16;
    UpperFreq = 0.375;
    OutputRate = 1.0;
  }
  void Init() {
    FilterShape.reset();
    InputTap.reset();
  }
  void Free() { Init(); }

  int Preset() {
    TapLen = Exp2(Log2(TapLen));  // the ring index wraps with a mask
    FilterLen = TapLen * OverSampling;
    if (ReallocArray(FilterShape, FilterLen) < 0 || ReallocArray(InputTap, TapLen) < 0) {
      Free();
      return -1;
    }
    const double pi = 3.14159265358979323846;
    for (unsigned i = 0; i < FilterLen; ++i) {
      // phi runs from -pi to just below +pi, 0 at the centre tap
      const double phi = (2 * static_cast<int>(i) - static_cast<int>(FilterLen)) * pi / FilterLen;
      // four-term Blackman-Harris, centred
      const double window = 0.35875 + 0.48829 * std::cos(phi) + 0.14128 * std::cos(2 * phi) +
                            0.01168 * std::cos(3 * phi);
      const double x = phi * UpperFreq * TapLen;  // 2 pi UpperFreq times the distance in inputs
      const double sinc = (phi == 0) ? 1.0 : std::sin(x) / x;
      FilterShape[i] = static_cast<Type>(window * sinc);
    }
    Reset();
    return 0;
  }

  void Reset() {
    TapMask = static_cast<int>(TapLen) - 1;
    ClearArray(InputTap, TapLen);
    InpTapPtr = 0;
    OutTapPtr = 0;
    OutStep = OverSampling / OutputRate;
    PrevSample = NextSample = 0;
    OutWait = 0;
  }

  int Proverka() const { return InputTap ? 1 : 0; }

  void NewInput(Type x) {
    InputTap[InpTapPtr] = x;
    InpTapPtr = (InpTapPtr + 1) & TapMask;
  }

  // The oldest input meets the lowest coefficient index.
  Type Convolute(int phase) const {
    Type sum = 0;
    int k = InpTapPtr;
    for (unsigned j = OverSampling - phase - 1; j < FilterLen; j += OverSampling) {
      sum += InputTap[k] * FilterShape[j];
      k = (k + 1) & TapMask;
    }
    return sum;
  }

  // Most outputs one Process call of `count` inputs can give, at the rate in
  // effect since the last Reset (0 when no finite positive rate is, as
  // Process then gives nothing). With r = OverSampling / OutStep: output k
  // (from 1) lies k x OutStep phases after the Reset and needs phase
  // floor(k x OutStep) + 1 inside the newest input interval, so after m
  // inputs there are T(m) = ceil((m + 1 - 1/OverSampling) x r) - 1 outputs,
  // fewer than (m + 1) x r. The first call thus gives fewer than
  // (count + 1) x r (the first interval needs no input), a later call
  // T(m + count) - T(m) < count x r + 1. Two more cover an output that the
  // rounding of the running position moves across a call boundary.
  unsigned OutputRoom(unsigned count) const {
    if (!(OutStep > 0) || !std::isfinite(OutStep)) return 0;
    return static_cast<unsigned>(std::ceil((count + 1.0) * OverSampling / OutStep)) + 2;
  }

  // The output needs room for OutputRoom(count) samples.
  int Process(const Type* input, unsigned count, Type* output) {
    // A rate that is not a finite positive number would run the loop below
    // forever without consuming input.
    if (!(OutStep > 0) || !std::isfinite(OutStep)) return 0;
    if (OutStep == OverSampling && OutWait == 0 && OutTapPtr == 0 && TapLen <= kMaxEqualRateTaps)
      return ProcessAtEqualRates(input, count, output);
    int produced = 0;
    for (;;) {
      if (OutWait == 0) {
        double p = std::floor(OutTapPtr + OutStep);
        if (!TakeInputsUpTo(p, input, count)) return produced;
        PrevSample = Convolute(static_cast<int>(p));
        OutTapPtr += OutStep;
        OutWait = 1;
      } else {
        double p = std::floor(OutTapPtr) + 1;
        if (!TakeInputsUpTo(p, input, count)) return produced;
        const Type d = static_cast<Type>(p - OutTapPtr);  // 0 < d <= 1
        // At d = 1 (always so at equal rates, where both converters of the
        // modem run) the next phase has weight 0: the output is PrevSample
        // and the second convolution would be thrown away.
        if (d == 1) {
          output[produced++] = PrevSample;
        } else {
          NextSample = Convolute(static_cast<int>(p));
          output[produced++] = PrevSample * d + (1 - d) * NextSample;
        }
        OutWait = 0;
      }
    }
  }

  // Appends behind the elements already in the sequence; -1 when it cannot
  // make room.
  int Process(const Type* input, unsigned count, Seq<Type>& output) {
    if (output.EnsureSpace(output.Len + OutputRoom(count)) < 0) return -1;
    const int produced = Process(input, count, output.Elem.get() + output.Len);
    output.Len += static_cast<unsigned>(produced);
    return produced;
  }

 private:
  static constexpr unsigned kMaxEqualRateTaps = 32;

  // At equal rates (both of the modem's converters) every input gives one
  // output, PrevSample of the loop above: Convolute(0) once the input is in.
  // Here the convolutions run four at a time on a straight copy of the
  // inputs, which leaves each sum's order, and so its bits, as they are.
  int ProcessAtEqualRates(const Type* input, unsigned count, Type* output) {
    constexpr unsigned kChunk = 64;
    const unsigned taps = TapLen;
    Type line[kMaxEqualRateTaps - 1 + kChunk];
    Type shape[kMaxEqualRateTaps];
    for (unsigned m = 0; m < taps; ++m) shape[m] = FilterShape[OverSampling - 1 + m * OverSampling];
    for (unsigned done = 0; done < count;) {
      const unsigned n = std::min(kChunk, count - done);
      // The ring's newest TapLen - 1 inputs, oldest first, then the chunk.
      for (unsigned m = 0; m + 1 < taps; ++m) line[m] = InputTap[(InpTapPtr + 1 + m) & TapMask];
      for (unsigned i = 0; i < n; ++i) {
        line[taps - 1 + i] = input[done + i];
        NewInput(input[done + i]);
      }
      unsigned i = 0;
      for (; i + 4 <= n; i += 4) {
        Type sum0 = 0, sum1 = 0, sum2 = 0, sum3 = 0;
        for (unsigned m = 0; m < taps; ++m) {
          sum0 += line[i + m] * shape[m];
          sum1 += line[i + 1 + m] * shape[m];
          sum2 += line[i + 2 + m] * shape[m];
          sum3 += line[i + 3 + m] * shape[m];
        }
        output[done + i] = sum0;
        output[done + i + 1] = sum1;
        output[done + i + 2] = sum2;
        output[done + i + 3] = sum3;
      }
      for (; i < n; ++i) {
        Type sum = 0;
        for (unsigned m = 0; m < taps; ++m) sum += line[i + m] * shape[m];
        output[done + i] = sum;
      }
      done += n;
    }
    if (count > 0) PrevSample = output[count - 1];
    return static_cast<int>(count);
  }

  // Moves the newest input forward until phase p lies within the current
  // input interval. At rates of 1 or more this takes at most one sample; a
  // rate below 1 steps over several. Returns false when the input runs out
  // first; the half-step is then redone at the next call.
  bool TakeInputsUpTo(double& p, const Type*& input, unsigned& count) {
    while (p >= OverSampling) {
      if (count == 0) return false;
      NewInput(*input++);
      --count;
      p -= OverSampling;
      OutTapPtr -= OverSampling;
    }
    return true;
  }
};

}  // namespace quillon
