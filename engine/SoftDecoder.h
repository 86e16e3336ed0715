// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decodes one block of the Olivia block code from soft bit decisions: positive
// means bit 0, negative bit 1, the magnitude is the confidence at any scale.
// The decoder keeps the soft values of the last SymbolsPerBlock symbols in a
// ring and decodes that whole window on every Process(), so the receiver can
// run one decoder per trial time slice and pick the window that lines up.

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/CodeVariant.h"
#include "engine/Containers.h"
#include "engine/Hadamard.h"

namespace quillon {

template <class InpType, class CalcType = InpType>
class MFSK_SoftDecoder {
 public:
  unsigned BitsPerSymbol;     // soft values per symbol = characters per block, 1..8
  unsigned BitsPerCharacter;  // 7, or 6 in the reduced variant
  unsigned Symbols = 0;
  unsigned SymbolsPerBlock = 0;
  float Signal = 0;       // mean magnitude of the winning transform output
  float NoiseEnergy = 0;  // mean energy per losing transform output
  // How firmly the block's weakest character was decided: its winning
  // transform magnitude over the root-mean-square of its losing ones.
  float Weakest = 0;
  Array<uint8_t> DecodedBlock;
  bool ReducedCharset;
  uint64_t ScramblingCode;
  unsigned InputBufferLen = 0;
  Array<InpType> InputBuffer;
  unsigned InputPtr = 0;  // next symbol's slot = oldest symbol once a symbol is complete
  Array<CalcType> WalshBuffer;

  MFSK_SoftDecoder() {
    ReducedCharset = false;
    Init();
    Default();
  }
  MFSK_SoftDecoder(const MFSK_SoftDecoder&) = delete;
  MFSK_SoftDecoder& operator=(const MFSK_SoftDecoder&) = delete;
  ~MFSK_SoftDecoder() { Free(); }

  void Default() {
    ReducedCharset = false;
    BitsPerSymbol = 5;
    BitsPerCharacter = 7;
    ScramblingCode = 0xE257E6D0291574ECULL;
  }
  void Init() {
    DecodedBlock.reset();
    InputBuffer.reset();
    WalshBuffer.reset();
  }
  void Free() { Init(); }

  int Preset() {
    DeriveCodeVariant(*this);
    InputBufferLen = SymbolsPerBlock * BitsPerSymbol;
    if (ReallocArray(InputBuffer, InputBufferLen) < 0 || ReallocArray(WalshBuffer, SymbolsPerBlock) < 0 ||
        ReallocArray(DecodedBlock, BitsPerSymbol) < 0) {
      Free();
      return -1;
    }
    Reset();
    return 0;
  }
  // Takes the symbol size from the reference; the code variant stays this
  // decoder's own.
  int Preset(const MFSK_SoftDecoder& reference) {
    BitsPerSymbol = reference.BitsPerSymbol;
    return Preset();
  }
  void Reset() {
    ClearArray(InputBuffer, InputBufferLen);
    InputPtr = 0;
  }

  void Input(const InpType* soft) {
    for (unsigned bit = 0; bit < BitsPerSymbol; ++bit) InputBuffer[InputPtr + bit] = soft[bit];
    InputPtr += BitsPerSymbol;
    if (InputPtr >= InputBufferLen) InputPtr -= InputBufferLen;
  }

  void Process() {
    Signal = 0;
    NoiseEnergy = 0;
    Weakest = std::numeric_limits<float>::infinity();
    for (unsigned f = 0; f < BitsPerSymbol; ++f) DecodeCharacter(f);
    Signal /= BitsPerSymbol;
    NoiseEnergy /= BitsPerSymbol;
  }

  // Character f of the block: gather its bits, which rotate through the bit
  // positions from symbol to symbol, undo the scrambling and find the Walsh
  // row with the largest correlation.
  void DecodeCharacter(unsigned f) {
    const unsigned wrap = SymbolsPerBlock - 1;
    unsigned code_bit = (f * SelectCodeVariant(ReducedCharset).ScramblingShift) & wrap;
    unsigned bit = f;
    unsigned p = InputPtr;
    for (unsigned t = 0; t < SymbolsPerBlock; ++t) {
      CalcType v = InputBuffer[p + bit];
      if ((ScramblingCode >> code_bit) & 1) v = -v;
      WalshBuffer[t] = v;
      if (++bit >= BitsPerSymbol) bit -= BitsPerSymbol;
      p += BitsPerSymbol;
      if (p >= InputBufferLen) p -= InputBufferLen;
      code_bit = (code_bit + 1) & wrap;
    }
    FHT(WalshBuffer.get(), SymbolsPerBlock);

    CalcType peak = 0;
    CalcType energy = 0;
    unsigned position = 0;
    for (unsigned t = 0; t < SymbolsPerBlock; ++t) {
      const CalcType x = WalshBuffer[t];
      energy += x * x;
      if (std::abs(x) > std::abs(peak)) {  // strictly: ties keep the lower index
        peak = x;
        position = t;
      }
    }
    if (peak < 0) position += SymbolsPerBlock;  // negated row: upper half of the codes
    DecodedBlock[f] = ReducedCharset ? ReducedCharsetCharacter(position) : static_cast<uint8_t>(position);
    const float noise = static_cast<float>(energy - peak * peak) / (SymbolsPerBlock - 1);
    NoiseEnergy += noise;
    Signal += std::abs(static_cast<float>(peak));
    Weakest = std::min(Weakest, CharacterStrength(static_cast<float>(peak), noise));
  }

  // A character's winning magnitude over the rms of the losing outputs; 0
  // with no noise to measure against (silence).
  static float CharacterStrength(float peak, float noise_energy) {
    return noise_energy > 0 ? std::abs(peak) / std::sqrt(noise_energy) : 0.0f;
  }

  // DecodedBlock[0] lands in the least significant byte.
  unsigned Output(uint64_t& packed) const {
    packed = 0;
    for (unsigned f = 0; f < BitsPerSymbol; ++f) packed |= static_cast<uint64_t>(DecodedBlock[f]) << (8 * f);
    return BitsPerSymbol;
  }
  unsigned Output(uint64_t* packed) const { return Output(*packed); }
};

}  // namespace quillon
