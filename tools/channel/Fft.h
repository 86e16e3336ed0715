// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small complex FFT for the channel simulator and its tests, and the
// analytic signal built with it.

#include <complex>
#include <vector>

namespace quillon {

using ComplexSignal = std::vector<std::complex<double>>;

// The smallest power of two >= n (1 for n = 0).
std::size_t FftSize(std::size_t n);

// In-place radix-2 transform of a power-of-two length. Forward:
// X[k] = sum x[n] e^(-j 2 pi n k / N), unscaled; inverse: the positive
// exponent with the 1/N scale, so Inverse(Forward(x)) = x.
void FftForward(ComplexSignal& data);
void FftInverse(ComplexSignal& data);

// x + j H{x}, of the same length as x: the spectrum of x with negative
// frequencies removed and positive ones doubled, computed over a
// zero-padded power-of-two length. Its real part is x again.
ComplexSignal AnalyticSignal(const std::vector<double>& x);

}  // namespace quillon
