// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/channel/Fft.h"

#include <cmath>
#include <utility>

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;  // M_PI is POSIX, not C++

void Transform(ComplexSignal& data, double sign) {
  const std::size_t n = data.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const double angle = sign * 2.0 * kPi / static_cast<double>(length);
    const std::size_t half = length / 2;
    // Twiddles from sin/cos per index, not by repeated multiplication, so
    // million-point transforms keep their accuracy.
    std::vector<std::complex<double>> twiddle(half);
    for (std::size_t k = 0; k < half; ++k) twiddle[k] = std::polar(1.0, angle * static_cast<double>(k));
    for (std::size_t start = 0; start < n; start += length) {
      for (std::size_t k = 0; k < half; ++k) {
        const std::complex<double> odd = data[start + k + half] * twiddle[k];
        data[start + k + half] = data[start + k] - odd;
        data[start + k] += odd;
      }
    }
  }
}

}  // namespace

std::size_t FftSize(std::size_t n) {
  std::size_t size = 1;
  while (size < n) size <<= 1;
  return size;
}

void FftForward(ComplexSignal& data) { Transform(data, -1.0); }

void FftInverse(ComplexSignal& data) {
  Transform(data, 1.0);
  const double scale = 1.0 / static_cast<double>(data.size());
  for (auto& value : data) value *= scale;
}

ComplexSignal AnalyticSignal(const std::vector<double>& x) {
  // Padding to twice the length keeps the circular wrap of the Hilbert
  // kernel away from the signal's ends.
  const std::size_t size = FftSize(2 * x.size());
  ComplexSignal spectrum(size);
  for (std::size_t n = 0; n < x.size(); ++n) spectrum[n] = x[n];
  FftForward(spectrum);
  for (std::size_t k = 1; k < size / 2; ++k) spectrum[k] *= 2.0;
  for (std::size_t k = size / 2 + 1; k < size; ++k) spectrum[k] = 0.0;
  FftInverse(spectrum);
  spectrum.resize(x.size());
  spectrum.shrink_to_fit();
  return spectrum;
}

}  // namespace quillon
