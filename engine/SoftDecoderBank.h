#pragma once
// Runs MFSK_SoftDecoder::Process for a whole row of the receiver's decoder
// bank at once. The decoders of one slice phase take their symbols at the
// same moments, so they share InputPtr and with it every index and every
// scrambling sign of the decode; only the soft values differ. Laying the
// decoders side by side in SIMD lanes turns each Walsh-Hadamard butterfly,
// each energy sum and each peak search into one vector operation across the
// decoders, with exactly the arithmetic (and the order of the sums) that
// each decoder would do on its own. Results land in the decoders' own
// DecodedBlock, Signal and NoiseEnergy.

#include <cmath>
#include <cstdint>

#include "engine/CodeVariant.h"
#include "engine/Containers.h"
#include "engine/SoftDecoder.h"

namespace quillon {

class SoftDecoderBank {
 public:
  using Decoder = MFSK_SoftDecoder<double, double>;
  // Two doubles: one SSE2 register, the baseline of x86-64.
  typedef double Vec __attribute__((vector_size(16)));
  typedef int64_t Mask __attribute__((vector_size(16)));
  static constexpr unsigned kLanes = 2;

  unsigned Count = 0;    // decoders in the row
  unsigned Vectors = 0;  // Vec per Walsh row: Count rounded up to kLanes
  unsigned SymbolsPerBlock = 0;
  Array<Vec> Walsh;  // SymbolsPerBlock rows of Vectors

  void Free() {
    Walsh.reset();
    Peak.reset();
    PeakSize.reset();
    Energy.reset();
    Position.reset();
    Count = Vectors = 0;
  }

  int Preset(unsigned count, unsigned symbols_per_block) {
    Count = count;
    Vectors = (count + kLanes - 1) / kLanes;
    SymbolsPerBlock = symbols_per_block;
    if (ReallocArray(Walsh, static_cast<size_t>(Vectors) * SymbolsPerBlock) < 0 || ReallocArray(Peak, Vectors) < 0 ||
        ReallocArray(PeakSize, Vectors) < 0 || ReallocArray(Energy, Vectors) < 0 ||
        ReallocArray(Position, Vectors) < 0) {
      Free();
      return -1;
    }
    return 0;
  }

  // Decodes decoders[0 .. Count - 1], which must share BitsPerSymbol, the
  // code variant and InputPtr; a row that does not is decoded one by one.
  void Process(Decoder* decoders) {
    if (!Uniform(decoders)) {
      for (unsigned d = 0; d < Count; ++d) decoders[d].Process();
      return;
    }
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal = 0;
      decoders[d].NoiseEnergy = 0;
    }
    const unsigned bits = decoders[0].BitsPerSymbol;
    for (unsigned f = 0; f < bits; ++f) {
      Gather(decoders, f);
      Transform();
      Pick(decoders, f);
    }
    for (unsigned d = 0; d < Count; ++d) {
      decoders[d].Signal /= bits;
      decoders[d].NoiseEnergy /= bits;
    }
  }

 private:
  bool Uniform(const Decoder* decoders) const {
    const Decoder& first = decoders[0];
    if (first.SymbolsPerBlock != SymbolsPerBlock) return false;
    for (unsigned d = 1; d < Count; ++d) {
      const Decoder& other = decoders[d];
      if (other.InputPtr != first.InputPtr || other.BitsPerSymbol != first.BitsPerSymbol ||
          other.ReducedCharset != first.ReducedCharset || other.ScramblingCode != first.ScramblingCode ||
          other.SymbolsPerBlock != SymbolsPerBlock)
        return false;
    }
    return true;
  }

  // Character f's soft values, oldest symbol first, descrambled: its bit
  // rotates through the symbol's bit positions from symbol to symbol.
  void Gather(const Decoder* decoders, unsigned f) {
    const Decoder& first = decoders[0];
    const unsigned bits = first.BitsPerSymbol;
    const unsigned wrap = SymbolsPerBlock - 1;
    unsigned code_bit = (f * SelectCodeVariant(first.ReducedCharset).ScramblingShift) & wrap;
    unsigned bit = f;
    unsigned p = first.InputPtr;
    for (unsigned t = 0; t < SymbolsPerBlock; ++t) {
      const bool negate = (first.ScramblingCode >> code_bit) & 1;
      double* row = reinterpret_cast<double*>(Walsh.get() + t * Vectors);
      for (unsigned d = 0; d < Count; ++d) {
        const double v = decoders[d].InputBuffer[p + bit];
        row[d] = negate ? -v : v;
      }
      for (unsigned d = Count; d < Vectors * kLanes; ++d) row[d] = 0;
      if (++bit >= bits) bit -= bits;
      p += bits;
      if (p >= first.InputBufferLen) p -= first.InputBufferLen;
      code_bit = (code_bit + 1) & wrap;
    }
  }

  // The decoder's FHT, steps growing from 1, on every lane at once. Three
  // steps at a time run in registers on groups of eight rows (steps 1, 2, 4
  // mix rows within aligned groups of eight, steps 8, 16, 32 within rows
  // eight apart); every butterfly is the same b + a, b - a as the decoder's.
  void Transform() {
    const unsigned n = SymbolsPerBlock;
    unsigned step = 1;
    while (step * 8 <= n) {
      for (unsigned base = 0; base < n; base += 8 * step)
        for (unsigned i = base; i < base + step; ++i) Radix8(i, step);
      step *= 8;
    }
    for (; step < n; step *= 2)
      for (unsigned group = 0; group < n; group += 2 * step)
        for (unsigned i = group; i < group + step; ++i) Butterflies(i, i + step);
  }

  void Butterflies(unsigned row_a, unsigned row_b) {
    Vec* x = Walsh.get() + row_a * Vectors;
    Vec* y = Walsh.get() + row_b * Vectors;
    for (unsigned v = 0; v < Vectors; ++v) {
      const Vec a = x[v];
      const Vec b = y[v];
      x[v] = b + a;
      y[v] = b - a;
    }
  }

  // Steps s, 2s and 4s on rows first, first + s, .., first + 7s.
  void Radix8(unsigned first, unsigned s) {
    Vec* w = Walsh.get();
    const unsigned stride = s * Vectors;
    for (unsigned v = 0; v < Vectors; ++v) {
      Vec* p = w + first * Vectors + v;
      Vec r[8];
      for (unsigned k = 0; k < 8; ++k) r[k] = p[k * stride];
      for (unsigned half = 1; half < 8; half *= 2) {
        for (unsigned k = 0; k < 8; ++k) {
          if (k & half) continue;
          const Vec a = r[k];
          const Vec b = r[k + half];
          r[k] = b + a;
          r[k + half] = b - a;
        }
      }
      for (unsigned k = 0; k < 8; ++k) p[k * stride] = r[k];
    }
  }

  // The strongest output (ties keep the lower index), the energy summed in
  // index order, and the decoder's character and figures from them. The
  // lanes' sums run side by side, each in its own index order.
  void Pick(Decoder* decoders, unsigned f) {
    const unsigned n = SymbolsPerBlock;
    const Vec zero = {0, 0};
    const Mask none = {0, 0};
    Vec* peak = Peak.get();
    Vec* peak_size = PeakSize.get();
    Vec* energy = Energy.get();
    Mask* position = Position.get();
    for (unsigned v = 0; v < Vectors; ++v) {
      peak[v] = peak_size[v] = energy[v] = zero;
      position[v] = none;
    }
    for (unsigned t = 0; t < n; ++t) {
      const Vec* row = Walsh.get() + t * Vectors;
      const Mask index = {t, t};
      for (unsigned v = 0; v < Vectors; ++v) {
        const Vec x = row[v];
        energy[v] += x * x;
        const Vec size = x < 0 ? -x : x;
        const Mask larger = size > peak_size[v];
        peak[v] = larger ? x : peak[v];
        peak_size[v] = larger ? size : peak_size[v];
        position[v] = larger ? index : position[v];
      }
    }
    for (unsigned d = 0; d < Count; ++d) {
      const unsigned v = d / kLanes, lane = d % kLanes;
      Decoder& decoder = decoders[d];
      const double top = peak[v][lane];
      unsigned code = static_cast<unsigned>(position[v][lane]);
      if (top < 0) code += n;  // negated row: upper half of the codes
      decoder.DecodedBlock[f] = decoder.ReducedCharset ? ReducedCharsetCharacter(code) : static_cast<uint8_t>(code);
      decoder.NoiseEnergy += static_cast<float>(energy[v][lane] - top * top) / (n - 1);
      decoder.Signal += std::abs(static_cast<float>(top));
    }
  }

  Array<Vec> Peak, PeakSize, Energy;  // per lane group: the running search of Pick
  Array<Mask> Position;
};

}  // namespace quillon
