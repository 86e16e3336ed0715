// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a station sends before and after the blocks of every transmission:
// the band's lowest tone for 256 ms, its highest for 256 ms, and the pair
// again, each with 32 ms raised-cosine ramps, at 8000 samples/s.

#include <algorithm>
#include <cmath>
#include <vector>

namespace quillon {
namespace test {

inline std::vector<double> ToneBurst(double low_hz, double high_hz) {
  const double pi = 3.14159265358979323846;
  std::vector<double> burst;
  for (int segment = 0; segment < 4; ++segment) {
    const double hz = segment % 2 == 0 ? low_hz : high_hz;
    for (int i = 0; i < 2048; ++i) {
      const int edge = std::min(i, 2047 - i);
      const double ramp = edge < 256 ? (1 - std::cos(pi * edge / 256)) / 2 : 1.0;
      burst.push_back(ramp * std::sin(2 * pi * hz * i / 8000.0));
    }
  }
  return burst;
}

}  // namespace test
}  // namespace quillon
