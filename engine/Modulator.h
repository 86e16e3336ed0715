// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns symbol values into audio at the modem's internal rate: one tone per
// symbol under a raised-cosine window twice as long as the symbol period, so
// consecutive symbols overlap by half. Frequencies are in table units: a
// phase step of f units per sample is f * (sample rate) / SymbolLen hertz,
// and neighbouring tones are two units apart. The modulator knows no sample
// rate of its own.

#include <cmath>
#include <cstdint>
#include <random>

#include "engine/Containers.h"
#include "engine/Hadamard.h"
#include "engine/PowerOfTwo.h"

namespace quillon {

template <class Type>
class MFSK_Modulator {
 public:
  unsigned SymbolLen;  // window length in samples, a power of two
  int FirstCarrier;    // phase step of tone 0 (normal order) or the reference of the reversed order
  unsigned BitsPerSymbol;
  unsigned UseGrayCode;
  unsigned Carriers = 0;
  unsigned SymbolStep = 0;  // samples from one symbol's start to the next
  int SymbolPhase = 0;      // 0 .. SymbolLen - 1 table units
  unsigned Reverse;         // exactly 1: tones run downwards from FirstCarrier
  Array<Type> CosineTable;
  Array<Type> OutTap;  // ring in which the overlapping windows are summed
  int OutTapPtr = 0;
  int WrapMask = 0;
  // Seeds the quarter-turn decisions at every Preset, so a run can be
  // repeated; not touched by Default(). Any fair bit serves the receiver.
  unsigned Seed = 1;
  std::minstd_rand Random;

  MFSK_Modulator() {
    Init();
    Default();
  }
  MFSK_Modulator(const MFSK_Modulator&) = delete;
  MFSK_Modulator& operator=(const MFSK_Modulator&) = delete;
  ~MFSK_Modulator() { Free(); }

  void Default() {
    SymbolLen = 512;
    FirstCarrier = 32;
    BitsPerSymbol = 5;
    Reverse = 0;
    UseGrayCode = 1;
  }
  void Init() {
    CosineTable.reset();
    OutTap.reset();
  }
  void Free() { Init(); }

  int Preset() {
    SymbolLen = Exp2(Log2(SymbolLen));  // the ring and the phase wrap with a mask
    Carriers = Exp2(BitsPerSymbol);
    SymbolStep = SymbolLen / 2;
    if (ReallocArray(CosineTable, SymbolLen) < 0 || ReallocArray(OutTap, SymbolLen) < 0) {
      Free();
      return -1;
    }
    const double pi = 3.14159265358979323846;
    for (unsigned i = 0; i < SymbolLen; ++i) CosineTable[i] = static_cast<Type>(std::cos(2 * pi * i / SymbolLen));
    OutTapPtr = 0;
    WrapMask = static_cast<int>(SymbolLen) - 1;
    SymbolPhase = 0;
    Random.seed(Seed);
    return 0;
  }

  // The phase runs on from the previous tone to the point where the two
  // windows cross (a quarter window before this symbol's centre), then
  // jumps by a quarter turn up or down.
  void Send(uint8_t symbol) {
    if (UseGrayCode) symbol = GrayCode(symbol);
    const int step = (Reverse == 1) ? FirstCarrier - 2 - 2 * symbol : FirstCarrier + 2 * symbol;
    const int back = static_cast<int>(SymbolStep / 2) - static_cast<int>(SymbolLen / 2);
    const int ahead = static_cast<int>(SymbolStep / 2) + static_cast<int>(SymbolLen / 2);
    SymbolPhase = WrapAdd(SymbolPhase, step, back);
    AddSymbol(step, SymbolPhase);
    SymbolPhase = WrapAdd(SymbolPhase, step, ahead);
    int jump = static_cast<int>(SymbolLen / 4);
    if (Random() & 1) jump = -jump;
    SymbolPhase = (SymbolPhase + jump) & WrapMask;
  }

  // Adds one windowed tone to the ring, starting at the next output sample.
  void AddSymbol(int step, int phase) {
    phase &= WrapMask;
    for (unsigned t = 0; t < SymbolLen; ++t) {
      // the window 1 - cos is the symbol shape series {1, 1}
      OutTap[OutTapPtr] += CosineTable[phase] * (1 - CosineTable[t]);
      phase = (phase + step) & WrapMask;
      OutTapPtr = (OutTapPtr + 1) & WrapMask;
    }
  }

  unsigned Output(Type* buffer) {
    for (unsigned i = 0; i < SymbolStep; ++i) {
      buffer[i] = OutTap[OutTapPtr];
      OutTap[OutTapPtr] = 0;
      OutTapPtr = (OutTapPtr + 1) & WrapMask;
    }
    return SymbolStep;
  }

 private:
  // (phase + step * count) AND WrapMask in 32-bit wrapping arithmetic, also
  // for negative steps and counts.
  int WrapAdd(int phase, int step, int count) const {
    const uint32_t sum = static_cast<uint32_t>(phase) + static_cast<uint32_t>(step) * static_cast<uint32_t>(count);
    return static_cast<int>(sum & static_cast<uint32_t>(WrapMask));
  }
};

}  // namespace quillon
