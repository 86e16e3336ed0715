// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The input limiter in front of the demodulator. It works on windows of
// WindowSize samples with a hop of half a window: every bin whose energy
// stands out from its neighbourhood is cut down (narrow-band interference),
// each bin is then divided by the square root of the smoothed energy around
// it (a flat spectrum, so impulses and strong carriers lose their weight),
// the windows are overlap-added back into a time signal and that signal is
// clipped at 2.5 times its RMS, twice. The output lags the input by half a
// window.

#include <algorithm>
#include <cmath>

#include "engine/BoxFilter.h"
#include "engine/Containers.h"
#include "engine/Fft.h"
#include "engine/TransformMemo.h"

namespace quillon {

template <class Type>
class MFSK_InputProcessor {
 public:
  using Complex = Cmpx<Type>;

  unsigned WindowSize;
  // 0: the output is clipped at 2.5 times its RMS, twice. Above 0, once,
  // at that many times the standard deviation the window's median
  // magnitude implies: Gaussian noise passes untouched (4 sigma is reached
  // once in 16 000 samples) while impulses, which the RMS would follow,
  // are still cut.
  double ImpulseClip = 0;
  static constexpr unsigned kMedianStride = 4;
  unsigned WindowMask = 0;
  Array<Type> InputTap;
  unsigned InputIndex = 0;  // next write position = oldest sample
  Array<Type> OutputTap;
  unsigned OutputIndex = 0;  // next read position of the overlap-add ring
  Array<Type> Window;
  unsigned HalfWindow = 0;
  r2FFT<Complex> Fft;
  Array<Complex> FftBuffer;  // real part: first window, imaginary part: second window
  unsigned SpectrumLen = 0;
  Array<Complex> Spectrum[2];
  Array<Type> Output;
  Array<Type> BinEnergy;
  Array<Type> Magnitudes;  // scratch of the impulse clip
  BoxFilter<Type, Type> Smoother;
  // Optional, the caller's: the spectral work another receiver did on the
  // same windows is copied from it (see TransformMemo.h).
  TransformMemo<Type>* Memo = nullptr;
  typename TransformMemo<Type>::Cursor MemoCursor;

  MFSK_InputProcessor() {
    Init();
    Default();
  }
  MFSK_InputProcessor(const MFSK_InputProcessor&) = delete;
  MFSK_InputProcessor& operator=(const MFSK_InputProcessor&) = delete;
  ~MFSK_InputProcessor() { Free(); }

  void Init() {
    InputTap.reset();
    OutputTap.reset();
    Window.reset();
    FftBuffer.reset();
    Spectrum[0].reset();
    Spectrum[1].reset();
    Output.reset();
    BinEnergy.reset();
    Magnitudes.reset();
  }
  void Default() { WindowSize = 8192; }
  void Free() {
    Init();
    Fft.Free();
    Smoother.Free();
  }

  int Preset() {
    const unsigned n = WindowSize;
    WindowMask = n - 1;
    if (ReallocArray(InputTap, n) < 0 || ReallocArray(OutputTap, n) < 0) return Fail();
    InputIndex = 0;
    OutputIndex = 0;
    if (Fft.Preset(static_cast<int>(n)) < 0 || ReallocArray(FftBuffer, n) < 0) return Fail();
    HalfWindow = n / 2;
    if (ReallocArray(Window, n) < 0) return Fail();
    // sqrt(2) sin(pi i / N) scaled by 2/N: applied on the way in and out, the
    // product (1 - cos) 4/N^2 overlap-adds to a constant at a hop of N/2.
    for (unsigned i = 0; i < n; ++i) Window[i] = std::sqrt(1.0 - Fft.Twiddle[i].Re) * (2.0 / n);
    SpectrumLen = n / 2;
    if (ReallocArray(Spectrum[0], SpectrumLen) < 0 || ReallocArray(Spectrum[1], SpectrumLen) < 0 ||
        ReallocArray(Output, n) < 0 || ReallocArray(BinEnergy, SpectrumLen) < 0 ||
        (ImpulseClip > 0 && ReallocArray(Magnitudes, n) < 0))
      return Fail();
    Smoother.Length = n / 16;
    if (Smoother.Preset() < 0) return Fail();
    ShareTransforms(Memo);
    return 0;
  }

  void ShareTransforms(TransformMemo<Type>* memo) {
    Memo = memo;
    if (Memo != nullptr && FftBuffer) Memo->Join(TransformMemo<Type>::Kind::kLimiter, WindowSize, &MemoCursor);
  }

  void Reset() {
    ClearArray(InputTap, WindowSize);
    ClearArray(OutputTap, WindowSize);
    InputIndex = 0;
    OutputIndex = 0;
  }

  // Consumes WindowSize samples (null: zeros) and leaves as many in Output.
  int Process(const Type* input) {
    const unsigned half = HalfWindow;
    ProcessInpTap(input);
    ProcessInpWindow_Re();
    ProcessInpTap(input != nullptr ? input + half : nullptr);
    ProcessInpWindow_Im();
    // From the windowed input to the limited time signal, a function of
    // FftBuffer alone (the rest is scratch).
    auto transform = [this] {
      Fft.Process(FftBuffer.get());
      Fft.SeparTwoReals(FftBuffer.get(), Spectrum[0].get(), Spectrum[1].get());
      ProcessSpectra(Spectrum[0].get());
      ProcessSpectra(Spectrum[1].get());
      Fft.JoinTwoReals(Spectrum[0].get(), Spectrum[1].get(), FftBuffer.get());
      Fft.Process(FftBuffer.get());
    };
    if (Memo != nullptr)
      Memo->Apply(TransformMemo<Type>::Kind::kLimiter, FftBuffer.get(), WindowSize, {FftBuffer.get(), WindowSize},
                  {nullptr, 0}, MemoCursor, transform);
    else
      transform();
    ProcessOutWindow_Re();
    ProcessOutTap(Output.get());
    ProcessOutWindow_Im();
    ProcessOutTap(Output.get() + half);
    if (ImpulseClip > 0) {
      ClipImpulses();
    } else {
      LimitOutputPeaks(2.5);
      LimitOutputPeaks(2.5);
    }
    return static_cast<int>(WindowSize);
  }

  // Half a window into the ring. The ring's index moves by half windows
  // only, so a half window never wraps within itself.
  void ProcessInpTap(const Type* input) {
    Type* tap = InputTap.get() + InputIndex;
    if (input != nullptr)
      std::copy(input, input + HalfWindow, tap);
    else
      std::fill(tap, tap + HalfWindow, Type(0));
    InputIndex = (InputIndex + HalfWindow) & WindowMask;
  }
  // The whole ring from the oldest sample on: the last N inputs in time
  // order, the part after the oldest and then the part before it.
  void ProcessInpWindow_Re() { WindowInput(&Complex::Re); }
  void ProcessInpWindow_Im() { WindowInput(&Complex::Im); }
  void WindowInput(Type Complex::*part) {
    const unsigned first = WindowSize - InputIndex;
    const Type* tap = InputTap.get();
    for (unsigned i = 0; i < first; ++i) FftBuffer[i].*part = tap[InputIndex + i] * Window[i];
    for (unsigned i = first; i < WindowSize; ++i) FftBuffer[i].*part = tap[i - first] * Window[i];
  }

  void ProcessSpectra(Complex* spectrum) {
    for (unsigned i = 0; i < SpectrumLen; ++i) BinEnergy[i] = spectrum[i].Energy();
    const unsigned n = WindowSize;
    for (int pass = 0; pass < 3; ++pass) LimitSpectraPeaks(spectrum, n / 64, 4.0);
    AverageEnergy(n / 96);
    AverageEnergy(n / 64);
    // A smoothed energy of 0 (or NaN) leaves its bin as it is.
    for (unsigned i = 0; i < SpectrumLen; ++i)
      if (BinEnergy[i] > 0) spectrum[i] *= 1.0 / std::sqrt(BinEnergy[i]);
  }

  // Cuts every bin above `limit` times the mean of the box centred on it.
  // The box holds the values as fed, so a cut does not lower the threshold
  // of the bins after it within one pass.
  void LimitSpectraPeaks(Complex* spectrum, unsigned box, Type limit) {
    Smoother.Length = box;
    Smoother.Preset();
    for (unsigned i = 0; i < box; ++i) Smoother.Process(BinEnergy[i]);
    const unsigned top = (SpectrumLen / 4) * 3;  // 3/8 of the sample rate
    // The box is a power of two in this system, whose reciprocal is exact:
    // multiplying by it gives the quotient to the bit, without a division.
    const bool exact_inverse = (box & (box - 1)) == 0;
    const Type inverse = static_cast<Type>(1.0 / box);
    unsigned j = box / 2;
    for (unsigned i = box; i < top; ++i, ++j) {
      Smoother.Process(BinEnergy[i]);
      const Type mean = exact_inverse ? Smoother.Sum * inverse : Smoother.Sum / box;
      const Type threshold = mean * limit;
      if (BinEnergy[j] > threshold) {
        spectrum[j] *= std::sqrt(threshold / BinEnergy[j]);
        BinEnergy[j] = threshold;
      }
    }
  }

  // Smooths BinEnergy in place; reads run ahead of the writes, so every
  // value fed is still unsmoothed. Above 3/8 of the sample rate the last
  // mean is held.
  void AverageEnergy(unsigned box) {
    Smoother.Length = box;
    Smoother.Preset();
    const Type weight = 1.0 / box;
    for (unsigned i = 0; i < box; ++i) Smoother.Process(BinEnergy[i]);
    unsigned j = 0;
    for (; j < box / 2; ++j) BinEnergy[j] = weight * Smoother.Sum;
    const unsigned top = (SpectrumLen / 4) * 3;
    for (unsigned i = box; i < top; ++i, ++j) {
      Smoother.Process(BinEnergy[i]);
      BinEnergy[j] = weight * Smoother.Sum;
    }
    for (; j < SpectrumLen; ++j) BinEnergy[j] = weight * Smoother.Sum;
  }

  void ProcessOutWindow_Re() { OverlapAdd(&Complex::Re); }
  void ProcessOutWindow_Im() { OverlapAdd(&Complex::Im); }
  void OverlapAdd(Type Complex::*part) {
    const unsigned first = WindowSize - OutputIndex;
    Type* tap = OutputTap.get();
    for (unsigned i = 0; i < first; ++i) tap[OutputIndex + i] += FftBuffer[i].*part * Window[i];
    for (unsigned i = first; i < WindowSize; ++i) tap[i - first] += FftBuffer[i].*part * Window[i];
  }
  // Half a window out of the ring, which moves by half windows only.
  void ProcessOutTap(Type* output) {
    Type* tap = OutputTap.get() + OutputIndex;
    std::copy(tap, tap + HalfWindow, output);
    std::fill(tap, tap + HalfWindow, Type(0));
    OutputIndex = (OutputIndex + HalfWindow) & WindowMask;
  }

  void LimitOutputPeaks(Type limit) {
    Type energy = 0;
    for (unsigned i = 0; i < WindowSize; ++i) energy += Output[i] * Output[i];
    ClipOutput(limit * std::sqrt(energy / WindowSize));
  }

  // The median magnitude of Gaussian noise is 0.6745 of its standard
  // deviation, and a few impulses hardly move it. Every fourth sample is
  // enough to find it (to within 2 % for a window of 1024 samples or more)
  // at a quarter of the cost.
  void ClipImpulses() {
    const unsigned count = WindowSize / kMedianStride;
    for (unsigned i = 0; i < count; ++i) Magnitudes[i] = std::abs(Output[i * kMedianStride]);
    Type* middle = Magnitudes.get() + count / 2;
    std::nth_element(Magnitudes.get(), middle, Magnitudes.get() + count);
    // A window mostly of digital silence has no noise to measure by: the
    // RMS clip takes it.
    if (*middle > 0)
      ClipOutput(static_cast<Type>(ImpulseClip / 0.6745) * *middle);
    else
      LimitOutputPeaks(2.5);
  }

  void ClipOutput(Type bound) {
    // Clipped to -bound..bound without branches; a NaN (sample or bound)
    // passes as the comparisons leave it.
    const Type lower = -bound;
    for (unsigned i = 0; i < WindowSize; ++i) {
      const Type x = Output[i];
      const Type raised = x < lower ? lower : x;
      Output[i] = bound < raised ? bound : raised;
    }
  }

 private:
  int Fail() {
    Free();
    return -1;
  }
};

}  // namespace quillon
