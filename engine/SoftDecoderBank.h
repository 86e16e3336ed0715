// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs MFSK_SoftDecoder::Process for a whole row of the receiver's decoder
// bank at once. The decoders of one slice phase take their symbols at the
// same moments, so every index and every scrambling sign of their decodes
// is the same; only the soft values differ. The bank keeps those soft
// values side by side (one lane per decoder), so that a kernel
// (engine/kernels) runs each Walsh-Hadamard butterfly, each energy sum and
// each peak search as one vector operation across the decoders, with exactly
// the arithmetic, and the order of the sums, of each decoder on its own.
// Results land in the decoders' own DecodedBlock, Signal and NoiseEnergy.
//
// The fastest kernel this processor runs is chosen at Preset, unless the
// owner asks for one; every kernel gives bit-identical results.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/CodeVariant.h"
#include "engine/Containers.h"
#include "engine/SoftDecoder.h"
#include "engine/kernels/DecoderKernel.h"

namespace quillon {

class SoftDecoderBank {
 public:
  using Decoder = MFSK_SoftDecoder<double, double>;
  static constexpr unsigned kBlock = 8;  // doubles per stored block: the widest kernel's vector
  struct alignas(64) Block {
    double Lane[kBlock];
  };

  unsigned Count = 0;  // decoders in the row
  unsigned BitsPerSymbol = 0;
  unsigned SymbolsPerBlock = 0;
  bool ReducedCharset = false;
  uint64_t ScramblingCode = 0;
  unsigned RowBlocks = 0;  // blocks per row of lanes
  Array<Block> Soft;       // SymbolsPerBlock slots x BitsPerSymbol rows: the soft values, by lane
  unsigned SoftSlot = 0;   // slot of the next symbol = the oldest once it is complete
  Array<Block> Walsh;      // SymbolsPerBlock rows: one character's transform, by lane
  Array<Block> Peak, Energy, Position;  // per lane: the outcome of the search

  SoftDecoderBank() = default;
  SoftDecoderBank(const SoftDecoderBank&) = delete;
  SoftDecoderBank& operator=(const SoftDecoderBank&) = delete;

  void Free() {
    Soft.reset();
    Walsh.reset();
    Peak.reset();
    Energy.reset();
    Position.reset();
    Count = 0;
  }

  // The row's decoders must be preset like `reference`. A kernel this build
  // or this processor lacks fails (-1).
  int Preset(unsigned count, const Decoder& reference, DecoderKernel kernel = DecoderKernel::Auto) {
    if (UseKernel(kernel) < 0) {
      Free();
      return -1;
    }
    Count = count;
    BitsPerSymbol = reference.BitsPerSymbol;
    SymbolsPerBlock = reference.SymbolsPerBlock;
    ReducedCharset = reference.ReducedCharset;
    ScramblingCode = reference.ScramblingCode;
    RowBlocks = (count + kBlock - 1) / kBlock;
    const size_t row = RowBlocks;
    if (ReallocArray(Soft, row * SymbolsPerBlock * BitsPerSymbol) < 0 ||
        ReallocArray(Walsh, row * SymbolsPerBlock) < 0 || ReallocArray(Peak, row) < 0 ||
        ReallocArray(Energy, row) < 0 || ReallocArray(Position, row) < 0) {
      Free();
      return -1;
    }
    Reset();
    return 0;
  }

  // Another kernel from the next Process on, the symbols kept; -1 (and the
  // kernel unchanged) where this build or this processor lacks it.
  int UseKernel(DecoderKernel kernel) {
    if (kernel == DecoderKernel::Auto) kernel = FastestDecoderKernel();
    const DecodeCharacterFunction function = FindDecoderKernel(kernel);
    if (function == nullptr) return -1;
    Kernel = function;
    KernelName = kernel;
    return 0;
  }
  // The kernel in use (never Auto).
  DecoderKernel KernelInUse() const { return KernelName; }
  // Whether this build and this processor run `kernel`.
  static bool Supports(DecoderKernel kernel) { return FindDecoderKernel(kernel) != nullptr; }

  // All soft values zero, as after the decoders' own Reset.
  void Reset() {
    ClearArray(Soft, static_cast<size_t>(RowBlocks) * SymbolsPerBlock * BitsPerSymbol);
    ClearArray(Walsh, static_cast<size_t>(RowBlocks) * SymbolsPerBlock);
    SoftSlot = 0;
  }

  // The soft values of decoder `lane` for the current symbol; after every
  // lane has its values, Advance.
  void Input(unsigned lane, const double* soft) {
    Block* slot = Soft.get() + static_cast<size_t>(SoftSlot) * BitsPerSymbol * RowBlocks;
    for (unsigned b = 0; b < BitsPerSymbol; ++b) slot[b * RowBlocks + lane / kBlock].Lane[lane % kBlock] = soft[b];
  }
  // The current symbol's soft values written in place: bit b of lane j at
  // CurrentSlot()[b * BitStride() + j].
  double* CurrentSlot() { return Soft[static_cast<size_t>(SoftSlot) * BitsPerSymbol * RowBlocks].Lane; }
  unsigned BitStride() const { return RowBlocks * kBlock; }
  void Advance() {
    if (++SoftSlot >= SymbolsPerBlock) SoftSlot = 0;
  }

  // What decoders[d].Process() gives for the soft values fed to lane d.
  void Process(Decoder* decoders) {
    if (Soft == nullptr) return;  // not preset
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal = 0;
      decoders[d].NoiseEnergy = 0;
      decoders[d].Weakest = std::numeric_limits<float>::infinity();
    }
    const DecoderBankView view{Soft[0].Lane,
                               Walsh[0].Lane,
                               Peak[0].Lane,
                               Energy[0].Lane,
                               Position[0].Lane,
                               BitStride(),
                               SymbolsPerBlock,
                               BitsPerSymbol,
                               SoftSlot,
                               ScramblingCode,
                               SelectCodeVariant(ReducedCharset).ScramblingShift};
    for (unsigned f = 0; f < BitsPerSymbol; ++f) {
      Kernel(view, f);
      Finish(decoders, f);
    }
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal /= BitsPerSymbol;
      decoders[d].NoiseEnergy /= BitsPerSymbol;
    }
  }

 private:
  DecodeCharacterFunction Kernel = FindDecoderKernel(DecoderKernel::Plain);
  DecoderKernel KernelName = DecoderKernel::Plain;

  // The scalar tail of the decoder's DecodeCharacter.
  void Finish(Decoder* decoders, unsigned f) const {
    const unsigned n = SymbolsPerBlock;
    for (unsigned d = 0; d < Count; ++d) {
      const double peak = Peak[d / kBlock].Lane[d % kBlock];
      const double energy = Energy[d / kBlock].Lane[d % kBlock];
      unsigned code = static_cast<unsigned>(Position[d / kBlock].Lane[d % kBlock]);
      if (peak < 0) code += n;  // negated row: upper half of the codes
      Decoder& decoder = decoders[d];
      decoder.DecodedBlock[f] = ReducedCharset ? ReducedCharsetCharacter(code) : static_cast<uint8_t>(code);
      const float noise = static_cast<float>(energy - peak * peak) / (n - 1);
      decoder.NoiseEnergy += noise;
      decoder.Signal += std::abs(static_cast<float>(peak));
      decoder.Weakest = std::min(decoder.Weakest, Decoder::CharacterStrength(static_cast<float>(peak), noise));
    }
  }
};

}  // namespace quillon
