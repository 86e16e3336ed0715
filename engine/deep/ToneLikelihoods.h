// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bit log-likelihood ratios of one MFSK symbol from its tone energies.
//
// A tone received without knowing its phase, at signal energy S over noise
// of energy N0 per bin, leaves energy E in its filter with likelihood
// proportional to exp(-E/N0) I0(2 sqrt(E S) / N0); the other tones hold
// noise alone. The likelihood that tone t was sent is therefore, up to a
// factor common to all tones, I0(2 sqrt(gamma e_t)) with e_t = E_t / N0 and
// gamma = S / N0. A bit's log-likelihood ratio sums these over the tones
// whose code has the bit 0 against those with the bit 1, in the log domain.
// Positive means bit 0, the sign convention of the soft decoder; the values
// are true log-likelihood ratios, so the block decoder's correlation sums
// are log-likelihoods of the code words.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Hadamard.h"

namespace quillon {

// ln I0(x) for x >= 0, from the polynomial approximations of I0 (relative
// error below 2e-7 on either side of 3.75), written so that large arguments
// never overflow: I0(x) = e^x / sqrt(x) P(3.75 / x) there.
inline double LogBesselI0(double x) {
  if (x < 3.75) {
    const double t = (x / 3.75) * (x / 3.75);
    return std::log1p(
        t * (3.5156229 + t * (3.0899424 + t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
  }
  const double u = 3.75 / x;
  const double p =
      0.39894228 +
      u * (0.01328592 +
           u * (0.00225319 +
                u * (-0.00157565 +
                     u * (0.00916281 + u * (-0.02057706 + u * (0.02635537 + u * (-0.01647633 + u * 0.00392377)))))));
  return x - 0.5 * std::log(x) + std::log(p);
}

// Soft values of the `bits` bits of one symbol into soft[0..bits): the
// log-likelihood ratios from the energies of its `tones` tones (energy[t]
// for tone t, in units of the noise energy per bin) at signal-to-noise
// ratio gamma. `gray`: tone numbers are Gray codes of the symbol values.
// `scratch` holds at least `tones` values.
inline void ToneBitLikelihoods(const double* energy, unsigned tones, unsigned bits, bool gray, double gamma,
                               double* soft, double* scratch) {
  double top = -INFINITY;
  for (unsigned t = 0; t < tones; ++t) {
    scratch[t] = LogBesselI0(2.0 * std::sqrt(gamma * std::max(0.0, energy[t])));
    top = std::max(top, scratch[t]);
  }
  // Sums of exp(metric - top): the largest term is 1, so neither side
  // underflows to nothing nor overflows.
  double zero[8] = {}, one[8] = {};
  for (unsigned t = 0; t < tones; ++t) {
    const unsigned code = gray ? BinaryCode(static_cast<uint8_t>(t)) : t;
    const double weight = std::exp(scratch[t] - top);
    for (unsigned b = 0; b < bits; ++b) ((code >> b) & 1 ? one : zero)[b] += weight;
  }
  // Each side holds at least one tone, whose weight exp(-metric span) can
  // underflow only for spans beyond 700, far past any decision in doubt.
  constexpr double kTiny = 1e-300;
  for (unsigned b = 0; b < bits; ++b) soft[b] = std::log(std::max(zero[b], kTiny)) - std::log(std::max(one[b], kTiny));
}

}  // namespace quillon
