// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// In-place radix-2 complex FFT with the negative exponent convention,
// X[k] = sum over n of x[n] e^(-j 2 pi n k / N), unscaled. Two real signals
// travel in one transform: packed as x + j y, the result is split into both
// half spectra (SeparTwoReals) and, after processing, joined again so that
// the same forward routine brings both signals back (JoinTwoReals).

#include <type_traits>
#include <utility>

#include "engine/Containers.h"
#include "engine/kernels/FftStages.h"

namespace quillon {

template <class Type>
class r2FFT;

template <class Value>
class r2FFT<Cmpx<Value>> {
 public:
  using Complex = Cmpx<Value>;

  unsigned Size = 0;
  Array<int> BitReverse;
  Array<Complex> Twiddle;  // cos(2 pi k / N) + j sin(2 pi k / N): the windows read the real parts
  // The same values in the order the butterflies use them: the stage of
  // span s (2, 4 .. N/2) finds the twiddle of its j-th pair at s + j, one
  // after another instead of N / 2s apart.
  Array<Complex> StageTwiddle;
  // On doubles the stages run in the fastest version this processor has
  // (kernels/FftStages.h), all giving the same bits.
  FftStagesFunction Stages = nullptr;

  r2FFT() { Init(); }
  r2FFT(const r2FFT&) = delete;
  r2FFT& operator=(const r2FFT&) = delete;
  ~r2FFT() { Free(); }

  void Init() {
    BitReverse.reset();
    Twiddle.reset();
    StageTwiddle.reset();
  }
  void Free() { Init(); }

  int Preset(int size) {
    if (size < 4 || !IsPowerOfTwo(static_cast<unsigned>(size))) {
      Free();
      return -1;
    }
    Size = static_cast<unsigned>(size);
    if (ReallocArray(BitReverse, Size) < 0 || ReallocArray(Twiddle, Size) < 0 || ReallocArray(StageTwiddle, Size) < 0) {
      Free();
      return -1;
    }
    const unsigned quarter = Size / 4;
    for (unsigned k = 0; k < quarter; ++k) Twiddle[k].SetPhase(k * 6.283185307179586 / Size, 1.0);
    // Each later entry is the one a quarter turn earlier times j, so only
    // the first quarter calls the sine and cosine.
    for (unsigned k = quarter; k < Size; ++k) {
      Twiddle[k].Re = -Twiddle[k - quarter].Im;
      Twiddle[k].Im = Twiddle[k - quarter].Re;
    }
    for (unsigned span = 2; span < Size; span *= 2)
      for (unsigned j = 0; j < span; ++j) StageTwiddle[span + j] = Twiddle[j * (Size / (2 * span))];
    for (unsigned j = 0; j < Size; ++j) {
      unsigned reversed = 0;
      unsigned result_bit = 1;
      for (unsigned mask = Size / 2; mask > 0; mask >>= 1, result_bit <<= 1)
        if (j & mask) reversed |= result_bit;
      BitReverse[j] = static_cast<int>(reversed);
    }
    if constexpr (std::is_same<Value, double>::value) Stages = FindFftStages(DecoderKernel::Auto);
    return 0;
  }

  int Process(Complex* data) const {
    Scramble(data);
    CoreProc(data);
    return 0;
  }

  void Scramble(Complex* data) const {
    for (unsigned i = 0; i < Size; ++i) {
      const unsigned r = static_cast<unsigned>(BitReverse[i]);
      if (i < r) std::swap(data[i], data[r]);
    }
  }

  // Decimation in time on bit-reversed input.
  void CoreProc(Complex* data) const {
    for (unsigned i = 0; i < Size; i += 2) FFT2(data[i], data[i + 1]);
    if constexpr (std::is_same<Value, double>::value) {
      if (Stages != nullptr) {
        Stages(data, StageTwiddle.get(), Size, 2);
        return;
      }
    }
    for (unsigned span = 2; span < Size; span *= 2) {
      const Complex* twiddle = StageTwiddle.get() + span;
      for (unsigned start = 0; start < Size; start += 2 * span) {
        Complex* upper = data + start;
        Complex* lower = upper + span;
        for (unsigned j = 0; j < span; ++j) FFTbf(upper[j], lower[j], twiddle[j]);
      }
    }
  }

  static void FFT2(Complex& a, Complex& b) {
    const Complex sum{a.Re + b.Re, a.Im + b.Im};
    const Complex diff{a.Re - b.Re, a.Im - b.Im};
    a = sum;
    b = diff;
  }

  // x1 meets the conjugate twiddle, which makes the exponent negative.
  static void FFTbf(Complex& x0, Complex& x1, const Complex& w) {
    const Value re = x1.Re * w.Re + x1.Im * w.Im;
    const Value im = x1.Im * w.Re - x1.Re * w.Im;
    x1.Re = x0.Re - re;
    x1.Im = x0.Im - im;
    x0.Re = x0.Re + re;
    x0.Im = x0.Im + im;
  }

  // buff holds the transform of x + j y (x, y real). out0 and out1 get
  // 2 X[k] and 2 Y[k] for 1 <= k < N/2; bin 0 packs DC in its real part and
  // the Nyquist value in its imaginary part, both at single scale.
  void SeparTwoReals(const Complex* buff, Complex* out0, Complex* out1) const {
    const unsigned half = Size / 2;
    out0[0] = Complex{buff[0].Re, buff[half].Re};
    out1[0] = Complex{buff[0].Im, buff[half].Im};
    for (unsigned k = 1; k < half; ++k) {
      const Complex& a = buff[k];
      const Complex& b = buff[Size - k];
      out0[k] = Complex{a.Re + b.Re, a.Im - b.Im};
      out1[k] = Complex{a.Im + b.Im, b.Re - a.Re};
    }
  }

  // The counterpart of SeparTwoReals. It builds X + j Y with the frequency
  // axis reversed, so a forward Process returns N (x + j y) in time order;
  // after an unchanged separation the round trip gives 2N (x + j y).
  void JoinTwoReals(const Complex* in0, const Complex* in1, Complex* buff) const {
    const unsigned half = Size / 2;
    buff[0] = Complex{2 * in0[0].Re, 2 * in1[0].Re};
    buff[half] = Complex{2 * in0[0].Im, 2 * in1[0].Im};
    for (unsigned k = 1; k < half; ++k) {
      const Complex& a = in0[k];
      const Complex& b = in1[k];
      buff[k] = Complex{a.Re + b.Im, b.Re - a.Im};
      buff[Size - k] = Complex{a.Re - b.Im, a.Im + b.Re};
    }
  }

 private:
  static bool IsPowerOfTwo(unsigned size) {
    while ((size & 1u) == 0) size >>= 1;
    return size == 1;
  }
};

}  // namespace quillon
