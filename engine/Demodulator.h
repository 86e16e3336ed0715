// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tone detector of the receiver. Each call takes one symbol period
// (SymbolStep samples) and computes two Hann-windowed spectra of SymbolLen
// (two symbol periods) samples, half a symbol apart: the two time slices of
// the symbol. Tones are two bins apart. Of each spectrum only the band that
// covers all tones plus BinMargin bins on either side is kept, as energies;
// SoftDecode turns the energies of one slice at one trial offset into one
// soft value per bit of the symbol (positive: bit 0, negative: bit 1).
//
// At trial offset o, tone t sits at bin FirstCarrier + o + 2t in normal
// order and at FirstCarrier - BinMargin - o - 2t in reverse order, so a
// signal sent in reverse order from the same FirstCarrier (tone s at
// FirstCarrier - 2 - 2s) shows up at offset 2 - BinMargin.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "engine/Containers.h"
#include "engine/Fft.h"
#include "engine/Hadamard.h"
#include "engine/LowPass3Filter.h"
#include "engine/SymbolShape.h"
#include "engine/TransformMemo.h"
#include "engine/kernels/SoftRows.h"

namespace quillon {

template <class Type>
class MFSK_Demodulator {

 public:
  using Complex = Cmpx<Type>;

  unsigned SymbolLen;      // FFT length, two symbol periods
  unsigned FirstCarrier;   // bin of tone 0; in reverse order the bin where the scan starts, walking down
  unsigned BitsPerSymbol;
  unsigned UseGrayCode;    // non-zero: tone numbers are Gray codes of the symbol values
  unsigned BinMargin;      // bins scanned beyond the tones for the frequency search
  unsigned HistoryDepth;   // optional spectral history; 0 in this system
  unsigned Reverse;        // 1: tones run downwards in frequency

  unsigned Symbols = 0;
  unsigned SymbolStep = 0;  // samples per call
  unsigned ScanLength = 0;  // bins kept per spectrum
  unsigned SliceStep = 0;   // samples between the two slices of one call
  unsigned InputMask = 0;
  Array<Type> InputTap;
  unsigned InputIndex = 0;  // next write position = oldest sample
  Array<Type> Window;
  r2FFT<Complex> Fft;
  Array<Complex> FftBuffer;  // real part: earlier slice, imaginary part: later slice
  unsigned HalfLength = 0;
  Array<Complex> Spectrum[2];
  Array<Type> BinEnergy[2];
  CircularBuffer<Type> History;
  Array<LowPass3_Filter<Type>> HistoryFilters;
  Type HistoryWeight = 0;
  // Optional, the caller's: spectra another receiver took of the same
  // input are copied from it (see TransformMemo.h).
  TransformMemo<Type>* Memo = nullptr;
  typename TransformMemo<Type>::Cursor MemoCursor;
  // On doubles the soft rows run in the fastest version this processor has
  // (kernels/SoftRows.h), all giving the same bits.
  SoftRowsFunction SoftRows = nullptr;

  MFSK_Demodulator() {
    Init();
    Default();
  }
  MFSK_Demodulator(const MFSK_Demodulator&) = delete;
  MFSK_Demodulator& operator=(const MFSK_Demodulator&) = delete;
  ~MFSK_Demodulator() { Free(); }

  void Init() {
    InputTap.reset();
    Window.reset();
    FftBuffer.reset();
    Spectrum[0].reset();
    Spectrum[1].reset();
    BinEnergy[0].reset();
    BinEnergy[1].reset();
    HistoryFilters.reset();
  }
  void Default() {
    SymbolLen = 512;
    FirstCarrier = 32;
    BitsPerSymbol = 5;
    UseGrayCode = 1;
    BinMargin = 32;
    HistoryDepth = 0;
    Reverse = 0;
  }
  void Free() {
    Init();
    Fft.Free();
    History.Free();
  }

  int Preset() {
    Symbols = 1u << BitsPerSymbol;
    InputMask = SymbolLen - 1;
    if (ReallocArray(InputTap, SymbolLen) < 0) return Fail();
    InputIndex = 0;
    if (Fft.Preset(static_cast<int>(SymbolLen)) < 0 || ReallocArray(FftBuffer, SymbolLen) < 0) return Fail();
    SymbolStep = SymbolLen / 2;
    SliceStep = SymbolStep / 2;
    if (ReallocArray(Window, SymbolLen) < 0) return Fail();
    BuildWindow();
    HalfLength = SymbolLen / 2;
    if (ReallocArray(Spectrum[0], HalfLength) < 0 || ReallocArray(Spectrum[1], HalfLength) < 0) return Fail();
    if (BinMargin > FirstCarrier) BinMargin = FirstCarrier;  // the scan must not start below bin 0
    if (!FitBandIntoSpectrum()) return Fail();
    ScanLength = 2 * (BinMargin + Symbols) - 1;
    if (ReallocArray(BinEnergy[0], ScanLength) < 0 || ReallocArray(BinEnergy[1], ScanLength) < 0) return Fail();
    if (HistoryDepth > 0) {
      History.Width = ScanLength;
      History.Len = HistoryDepth;
      if (History.Preset() < 0 || ReallocArray(HistoryFilters, ScanLength) < 0) return Fail();
      History.Clear();
      for (unsigned k = 0; k < ScanLength; ++k) HistoryFilters[k] = 0;
      HistoryWeight = static_cast<Type>(1.0 / HistoryDepth);
    } else {
      History.Free();
      HistoryFilters.reset();
    }
    ShareTransforms(Memo);
    if constexpr (std::is_same<Type, double>::value) SoftRows = FindSoftRows(DecoderKernel::Auto);
    return 0;
  }

  void ShareTransforms(TransformMemo<Type>* memo) {
    Memo = memo;
    // The receiver hands over the symbols of a limiter window (16 symbol
    // lengths, 32 steps) at once.
    if (Memo != nullptr && FftBuffer) Memo->Join(TransformMemo<Type>::Kind::kTwoSpectra, SymbolLen, &MemoCursor, 32);
  }

  // Consumes SymbolStep samples and refreshes both BinEnergy arrays.
  void Process(const Type* input) {
    WriteInput(input, SliceStep);
    WindowInto(&Complex::Re);
    WriteInput(input + SliceStep, SymbolStep - SliceStep);
    WindowInto(&Complex::Im);
    auto transform = [this] {
      Fft.Process(FftBuffer.get());
      Fft.SeparTwoReals(FftBuffer.get(), Spectrum[0].get(), Spectrum[1].get());
    };
    if (Memo != nullptr)
      Memo->Apply(TransformMemo<Type>::Kind::kTwoSpectra, FftBuffer.get(), SymbolLen, {Spectrum[0].get(), HalfLength},
                  {Spectrum[1].get(), HalfLength}, MemoCursor, transform);
    else
      transform();
    for (unsigned slice = 0; slice < 2; ++slice) BandEnergies(Spectrum[slice].get(), BinEnergy[slice].get());
    if (HistoryDepth > 0) DelayThroughHistory();
  }

  // BitsPerSymbol soft values in [-1, +1] for slice 0 or 1 at a trial
  // offset of -BinMargin..+BinMargin bins. Energies enter squared (the
  // fourth power of the amplitude), which sharpens the choice of tone.
  void SoftDecode(Type* bits, unsigned slice, int offset) const {
    for (unsigned b = 0; b < BitsPerSymbol; ++b) bits[b] = 0;
    Type total = 0;
    const Type* energy = BinEnergy[slice].get() + static_cast<int>(BinMargin) + offset;
    for (unsigned t = 0; t < Symbols; ++t) {
      uint8_t code = static_cast<uint8_t>(t);
      if (UseGrayCode) code = BinaryCode(code);
      const Type e = energy[2 * t] * energy[2 * t];
      total += e;
      uint8_t mask = 1;
      for (unsigned b = 0; b < BitsPerSymbol; ++b, mask = static_cast<uint8_t>(mask << 1)) {
        if (code & mask)
          bits[b] -= e;
        else
          bits[b] += e;
      }
    }
    if (total > 0)
      for (unsigned b = 0; b < BitsPerSymbol; ++b) bits[b] /= total;
  }

  // SoftDecode for `count` neighbouring offsets at once, offset
  // first_offset + j in lane j: bit b of lane j goes to rows[b * stride + j].
  // Each lane sums its tones in the same order as SoftDecode, so the values
  // are identical; the lanes only run side by side.
  void SoftDecodeRow(Type* rows, unsigned stride, unsigned slice, int first_offset, unsigned count) const {
    // Doubles go through the version chosen for this processor; another
    // sample type, or none chosen, through the plain loop.
    const Type* energy = BinEnergy[slice].get() + static_cast<int>(BinMargin) + first_offset;
    for (unsigned begin = 0; begin < count; begin += kSoftRowLanes) {
      const unsigned lanes = std::min(kSoftRowLanes, count - begin);
      if constexpr (std::is_same<Type, double>::value) {
        if (SoftRows != nullptr) {
          SoftRows(energy + begin, rows + begin, stride, lanes, Symbols, BitsPerSymbol, UseGrayCode != 0);
          continue;
        }
      }
      kernels::SoftRows(energy + begin, rows + begin, stride, lanes, Symbols, BitsPerSymbol, UseGrayCode != 0);
    }
  }

 private:
  int Fail() {
    Free();
    return -1;
  }

  // Hann window scaled by 1/SymbolLen, built from the symbol shape so that
  // the tone filters match the transmitted envelope.
  void BuildWindow() {
    for (unsigned i = 0; i < SymbolLen; ++i) Window[i] = 1.0;
    for (int h = 1; h < MFSK_SymbolFreqShapeLen; ++h) {
      const Type amplitude = (h % 2 == 1) ? -MFSK_SymbolFreqShape[h] : MFSK_SymbolFreqShape[h];
      for (unsigned i = 0; i < SymbolLen; ++i) Window[i] += amplitude * Fft.Twiddle[(h * i) & InputMask].Re;
    }
    const Type scale = static_cast<Type>(1.0 / SymbolLen);
    for (unsigned i = 0; i < SymbolLen; ++i) Window[i] *= scale;
  }

  // The scanned band must lie inside the half spectrum. In reverse order the
  // widest modes exceed it with the requested margin (4 tones in 2000 Hz
  // have 16 bins), so the margin is narrowed until the band fits; a band
  // that does not fit even without a margin fails the Preset.
  bool FitBandIntoSpectrum() {
    const long first = FirstCarrier;
    const long tone_span = 2 * static_cast<long>(Symbols) - 2;  // bins from the first to the last tone
    long room;
    if (Reverse == 1) {
      if (first >= static_cast<long>(HalfLength)) return false;
      room = (first - tone_span) / 2;  // first - (2 margin + tone_span) >= 0
      if (first - tone_span < 0) return false;
    } else {
      room = static_cast<long>(HalfLength) - 1 - first - tone_span;  // first + margin + tone_span < half
      if (room < 0) return false;
    }
    if (static_cast<long>(BinMargin) > room) BinMargin = static_cast<unsigned>(room);
    return true;
  }

  void WriteInput(const Type* input, unsigned count) {
    // Up to the ring's end, then from its start.
    const unsigned first = std::min(count, SymbolLen - InputIndex);
    std::copy(input, input + first, InputTap.get() + InputIndex);
    std::copy(input + first, input + count, InputTap.get());
    InputIndex = (InputIndex + count) & InputMask;
  }

  // The last SymbolLen samples, oldest first, into one part of FftBuffer:
  // the ring after the oldest sample, then before it.
  void WindowInto(Type Complex::*part) {
    const unsigned first = SymbolLen - InputIndex;
    const Type* tap = InputTap.get();
    for (unsigned i = 0; i < first; ++i) FftBuffer[i].*part = tap[InputIndex + i] * Window[i];
    for (unsigned i = first; i < SymbolLen; ++i) FftBuffer[i].*part = tap[i - first] * Window[i];
  }

  void BandEnergies(const Complex* spectrum, Type* energy) const {
    if (Reverse == 1) {
      for (unsigned k = 0; k < ScanLength; ++k) energy[k] = spectrum[FirstCarrier - k].Energy();
    } else {
      const Complex* band = spectrum + (FirstCarrier - BinMargin);
      for (unsigned k = 0; k < ScanLength; ++k) energy[k] = band[k].Energy();
    }
  }

  // The energies handed on are those of HistoryDepth/2 calls earlier; the
  // fresh ones take their rows and feed the history filters.
  void DelayThroughHistory() {
    for (int row = 0; row < 2; ++row) {
      Type* stored = History.OffsetPtr(row);
      Type* energy = BinEnergy[row].get();
      for (unsigned k = 0; k < ScanLength; ++k) {
        const Type fresh = energy[k];
        energy[k] = stored[k];
        stored[k] = fresh;
        HistoryFilters[k].Process(fresh, HistoryWeight, 0.1);
      }
    }
    History += 1;
    History += 1;
  }
};

}  // namespace quillon
