// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scalar stage loop of the FFT, which every version runs where its
// vectors are wider than the span.

#include "engine/Containers.h"

namespace quillon {
namespace kernels {

// One stage of span `span`: x1 meets the conjugate twiddle (the negative
// exponent), x0 + x1 w* and x0 - x1 w* replace the pair.
inline void FftStagePlain(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned span) {
  const Cmpx<double>* twiddle = stage_twiddle + span;
  for (unsigned start = 0; start < size; start += 2 * span) {
    Cmpx<double>* upper = data + start;
    Cmpx<double>* lower = upper + span;
    for (unsigned j = 0; j < span; ++j) {
      const Cmpx<double>& w = twiddle[j];
      const double re = lower[j].Re * w.Re + lower[j].Im * w.Im;
      const double im = lower[j].Im * w.Re - lower[j].Re * w.Im;
      lower[j].Re = upper[j].Re - re;
      lower[j].Im = upper[j].Im - im;
      upper[j].Re = upper[j].Re + re;
      upper[j].Im = upper[j].Im + im;
    }
  }
}

}  // namespace kernels
}  // namespace quillon
