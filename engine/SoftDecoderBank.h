// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs MFSK_SoftDecoder::Process for a whole row of the receiver's decoder
// bank at once. The decoders of one slice phase take their symbols at the
// same moments, so every index and every scrambling sign of their decodes
// is the same; only the soft values differ. The bank keeps those soft
// values side by side (one SIMD lane per decoder), so each Walsh-Hadamard
// butterfly, each energy sum and each peak search becomes one vector
// operation across the decoders, with exactly the arithmetic, and the order
// of the sums, of each decoder on its own. Results land in the decoders'
// own DecodedBlock, Signal and NoiseEnergy.
//
// The widest vectors the processor offers are chosen at run time (8 or 4
// doubles where available, else the 2 of baseline x86-64), unless the owner
// asks for a width; every width gives bit-identical results.

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/CodeVariant.h"
#include "engine/Containers.h"
#include "engine/SoftDecoder.h"

namespace quillon {

class SoftDecoderBank {
 public:
  using Decoder = MFSK_SoftDecoder<double, double>;
  static constexpr unsigned kBlock = 8;  // doubles per stored block: the widest vector
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

  // The row's decoders must be preset like `reference`. `width` is the
  // kernel's vector width in doubles: 0 for the widest the processor
  // offers, or 2, 4 or 8, which fails (-1) where the processor lacks it.
  int Preset(unsigned count, const Decoder& reference, unsigned width = 0) {
    const KernelFunction kernel = KernelOfWidth(width == 0 ? WidestSupported() : width);
    if (kernel == nullptr) {
      Free();
      return -1;
    }
    Kernel = kernel;
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
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal = 0;
      decoders[d].NoiseEnergy = 0;
      decoders[d].Weakest = std::numeric_limits<float>::infinity();
    }
    for (unsigned f = 0; f < BitsPerSymbol; ++f) {
      Kernel(*this, f);
      Finish(decoders, f);
    }
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal /= BitsPerSymbol;
      decoders[d].NoiseEnergy /= BitsPerSymbol;
    }
  }

  // Vector width (doubles) of the kernel in use.
  unsigned Width() const {
    return Kernel == &Decode8 ? 8 : Kernel == &Decode4 ? 4 : 2;
  }
  // Whether this processor runs the kernel of `width` doubles.
  static bool Supports(unsigned width) { return KernelOfWidth(width) != nullptr; }
  static unsigned WidestSupported() { return Supports(8) ? 8 : Supports(4) ? 4 : 2; }

 private:
  using KernelFunction = void (*)(SoftDecoderBank&, unsigned);
  KernelFunction Kernel = &Decode2;

  // nullptr for a width without a kernel or where the processor lacks the
  // instructions.
  static KernelFunction KernelOfWidth(unsigned width) {
    if (width == 8 && __builtin_cpu_supports("avx512f")) return &Decode8;
    if (width == 4 && __builtin_cpu_supports("avx2")) return &Decode4;
    if (width == 2) return &Decode2;
    return nullptr;
  }

  // The scalar tail of the decoder's DecodeCharacter, in the baseline
  // instruction set: kept out of the wide kernels so that no multiply-add
  // is fused there either.
  __attribute__((noinline)) void Finish(Decoder* decoders, unsigned f) const {
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

  // One character of every lane: gather and descramble, transform, search.
  // L doubles per vector.
  template <unsigned L>
  __attribute__((always_inline)) static inline void DecodeCharacter(SoftDecoderBank& bank, unsigned f) {
    typedef double Vec __attribute__((vector_size(8 * L)));
    constexpr unsigned kPerBlock = kBlock / L;
    const unsigned n = bank.SymbolsPerBlock;
    const unsigned bits = bank.BitsPerSymbol;
    const unsigned vectors = bank.RowBlocks * kPerBlock;  // Vec per row
    Vec* walsh = reinterpret_cast<Vec*>(bank.Walsh.get());
    const Vec* soft = reinterpret_cast<const Vec*>(bank.Soft.get());

    // Character f takes bit (f + t) mod bits of the t-th oldest symbol,
    // negated where the scrambling sequence (rotated by f x shift) has a 1.
    // The first three butterfly steps run on the way in, eight rows at a
    // time: steps 1, 2 and 4 mix rows only within aligned groups of eight.
    const unsigned wrap = n - 1;
    const unsigned shift = SelectCodeVariant(bank.ReducedCharset).ScramblingShift;
    const unsigned start_bit = (f * shift) & wrap;
    unsigned slot = bank.SoftSlot;  // the oldest symbol
    unsigned bit = f % bits;
    for (unsigned base = 0; base < n; base += 8) {
      const Vec* source[8];
      double sign[8];
      for (unsigned k = 0; k < 8; ++k) {
        const unsigned t = base + k;
        source[k] = soft + (static_cast<size_t>(slot) * bits + bit) * vectors;
        sign[k] = ((bank.ScramblingCode >> ((start_bit + t) & wrap)) & 1) ? -1.0 : 1.0;
        if (++slot >= n) slot = 0;
        if (++bit >= bits) bit = 0;
      }
      for (unsigned v = 0; v < vectors; ++v) {
        Vec r[8];
        for (unsigned k = 0; k < 8; ++k) r[k] = source[k][v] * sign[k];  // exact: times +1 or -1
        for (unsigned half = 1; half < 8; half *= 2)
          for (unsigned k = 0; k < 8; ++k)
            if (!(k & half)) {
              const Vec a = r[k], b = r[k + half];
              r[k] = b + a;
              r[k + half] = b - a;
            }
        for (unsigned k = 0; k < 8; ++k) walsh[(base + k) * vectors + v] = r[k];
      }
    }
    // Steps 8, 16 and 32 mix rows eight apart, again eight rows at a time
    // in registers; with 32 symbols only steps 8 and 16 remain.
    if (n == 64) {
      for (unsigned first = 0; first < 8; ++first)
        for (unsigned v = 0; v < vectors; ++v) {
          Vec* p = walsh + first * vectors + v;
          Vec r[8];
          for (unsigned k = 0; k < 8; ++k) r[k] = p[k * 8 * vectors];
          for (unsigned half = 1; half < 8; half *= 2)
            for (unsigned k = 0; k < 8; ++k)
              if (!(k & half)) {
                const Vec a = r[k], b = r[k + half];
                r[k] = b + a;
                r[k + half] = b - a;
              }
          for (unsigned k = 0; k < 8; ++k) p[k * 8 * vectors] = r[k];
        }
    } else {
      for (unsigned step = 8; step < n; step *= 2)
        for (unsigned group = 0; group < n; group += 2 * step)
          for (unsigned i = group; i < group + step; ++i) {
            Vec* x = walsh + i * vectors;
            Vec* y = walsh + (i + step) * vectors;
            for (unsigned v = 0; v < vectors; ++v) {
              const Vec a = x[v], b = y[v];
              x[v] = b + a;
              y[v] = b - a;
            }
          }
    }

    // The search, a few vectors at a time so that their sums overlap.
    unsigned v = 0;
    for (; v + 4 <= vectors; v += 4) Search<L, 4>(bank, v);
    switch (vectors - v) {
      case 3: Search<L, 3>(bank, v); break;
      case 2: Search<L, 2>(bank, v); break;
      case 1: Search<L, 1>(bank, v); break;
      default: break;
    }
  }

  // Strongest output of C vectors of lanes from vector `first` on, ties to
  // the lower index, and the energy summed in index order: each lane's sum
  // runs in its own order, the lanes only side by side.
  template <unsigned L, unsigned C>
  __attribute__((always_inline)) static inline void Search(SoftDecoderBank& bank, unsigned first) {
    typedef double Vec __attribute__((vector_size(8 * L)));
    typedef int64_t Mask __attribute__((vector_size(8 * L)));
    const unsigned n = bank.SymbolsPerBlock;
    const unsigned vectors = bank.RowBlocks * (kBlock / L);
    const Vec* walsh = reinterpret_cast<const Vec*>(bank.Walsh.get()) + first;
    Vec peak[C], size[C], energy[C], position[C];
    for (unsigned c = 0; c < C; ++c) peak[c] = size[c] = energy[c] = position[c] = Vec{};
    Mask magnitude_bits;  // every bit but the sign
    std::memcpy(&magnitude_bits, kMagnitudeBits, sizeof magnitude_bits);
    Vec index = Vec{};
    for (unsigned t = 0; t < n; ++t, index += 1.0, walsh += vectors) {
      for (unsigned c = 0; c < C; ++c) {
        const Vec x = walsh[c];
        Vec square = x * x;
        asm("" : "+x"(square));  // the product rounded on its own, as in the decoder: no fused multiply-add
        energy[c] += square;
        Mask bits_of_x;
        std::memcpy(&bits_of_x, &x, sizeof x);
        bits_of_x &= magnitude_bits;
        Vec magnitude;  // |x|: the sign bit cleared
        std::memcpy(&magnitude, &bits_of_x, sizeof magnitude);
        const Mask larger = magnitude > size[c];
        peak[c] = larger ? x : peak[c];
        size[c] = larger ? magnitude : size[c];
        position[c] = larger ? index : position[c];
      }
    }
    for (unsigned c = 0; c < C; ++c) {
      reinterpret_cast<Vec*>(bank.Peak.get())[first + c] = peak[c];
      reinterpret_cast<Vec*>(bank.Energy.get())[first + c] = energy[c];
      reinterpret_cast<Vec*>(bank.Position.get())[first + c] = position[c];
    }
  }

  static constexpr int64_t kMagnitudeBits[kBlock] = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX,
                                                     INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};

  static void Decode2(SoftDecoderBank& bank, unsigned f) { DecodeCharacter<2>(bank, f); }
  __attribute__((target("avx2"))) static void Decode4(SoftDecoderBank& bank, unsigned f) {
    DecodeCharacter<4>(bank, f);
  }
  __attribute__((target("avx512f"))) static void Decode8(SoftDecoderBank& bank, unsigned f) {
    DecodeCharacter<8>(bank, f);
  }
};

}  // namespace quillon
