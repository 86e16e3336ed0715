// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Measures the frequency of a tone in a stretch of audio: the magnitude of
// its discrete-time Fourier transform, searched on a grid and then refined
// by golden-section search around the best grid point.

#include <cmath>
#include <complex>
#include <cstddef>

namespace quillon {
namespace test {

inline double DtftMagnitude(const double* x, std::size_t n, double hz, double rate) {
  const double w = 2 * 3.14159265358979323846 * hz / rate;
  // Goertzel recurrence
  const double c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double s0 = x[i] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2));
}

// The frequency in [low, high] with the largest magnitude; the grid step
// must be below half the width of the tone's main lobe.
inline double PeakFrequency(const double* x, std::size_t n, double rate, double low, double high, double grid) {
  double best = low, best_mag = -1;
  for (double f = low; f <= high; f += grid) {
    const double m = DtftMagnitude(x, n, f, rate);
    if (m > best_mag) {
      best_mag = m;
      best = f;
    }
  }
  double a = best - grid, b = best + grid;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int i = 0; i < 40; ++i) {
    const double c = b - g * (b - a), d = a + g * (b - a);
    if (DtftMagnitude(x, n, c, rate) > DtftMagnitude(x, n, d, rate))
      b = d;
    else
      a = c;
  }
  return (a + b) / 2;
}

}  // namespace test
}  // namespace quillon
