// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The demodulator's soft values for a row of trial offsets side by side
// (MFSK_Demodulator::SoftDecodeRow), in a version for each instruction set
// the decoder bank's kernels have: the same loop built for each, every lane
// summing its tones in the same order, so all give the same bits.

#include "engine/Hadamard.h"
#include "engine/kernels/DecoderKernel.h"

namespace quillon {

// Lane j (j < lanes, at most kSoftRowLanes) reads the tone energies
// energy[j + 2 t] of tones t < symbols and writes bit b's soft value, in
// [-1, +1], to rows[b * stride + j]: the squared energies with a bit of 0
// added, with a bit of 1 taken away, over their total. `gray`: tone numbers
// are Gray codes of the symbol values.
using SoftRowsFunction = void (*)(const double* energy, double* rows, unsigned stride, unsigned lanes,
                                  unsigned symbols, unsigned bits, bool gray);
constexpr unsigned kSoftRowLanes = 32;

// The version for `kernel` (Auto: the fastest this processor runs), or
// nullptr where this build or this processor lacks it.
SoftRowsFunction FindSoftRows(DecoderKernel kernel);

namespace kernels {

// The loop itself, for any sample type (the demodulator of floats runs it
// unvectorised; the versions above are this for doubles).
template <class Type>
inline void SoftRows(const Type* energy, Type* rows, unsigned stride, unsigned lanes, unsigned symbols,
                     unsigned bits, bool gray) {
  Type total[kSoftRowLanes];
  Type square[kSoftRowLanes];
  for (unsigned j = 0; j < lanes; ++j) total[j] = 0;
  for (unsigned b = 0; b < bits; ++b)
    for (unsigned j = 0; j < lanes; ++j) rows[b * stride + j] = 0;
  for (unsigned t = 0; t < symbols; ++t) {
    const uint8_t code = gray ? BinaryCode(static_cast<uint8_t>(t)) : static_cast<uint8_t>(t);
    const Type* e = energy + 2 * t;
    for (unsigned j = 0; j < lanes; ++j) {
      square[j] = e[j] * e[j];
      total[j] += square[j];
    }
    // A bit of 1 takes the energy away: a - e is a + (-e) exactly.
    for (unsigned b = 0; b < bits; ++b) {
      Type* row = rows + b * stride;
      if ((code >> b) & 1)
        for (unsigned j = 0; j < lanes; ++j) row[j] -= square[j];
      else
        for (unsigned j = 0; j < lanes; ++j) row[j] += square[j];
    }
  }
  for (unsigned j = 0; j < lanes; ++j)
    if (total[j] > 0)
      for (unsigned b = 0; b < bits; ++b) rows[b * stride + j] /= total[j];
}

}  // namespace kernels
}  // namespace quillon
