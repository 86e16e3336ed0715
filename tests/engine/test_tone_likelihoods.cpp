// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Hadamard.h"
#include "engine/deep/ToneLikelihoods.h"

namespace quillon {
namespace {

// Against the library's Bessel function, on both sides of the switch at
// 3.75 and far out where I0 itself overflows a double (x = 800): the
// approximations hold I0 to 2e-7, so its logarithm to about that absolutely.
TEST(ToneLikelihoods, LogBesselI0MatchesTheLibraryAndNeverOverflows) {
  for (double x : {0.0, 0.01, 0.5, 1.0, 2.0, 3.7, 3.75, 3.8, 6.0, 12.0, 50.0, 300.0}) {
    const double expected = std::log(std::cyl_bessel_i(0.0, x));
    EXPECT_NEAR(LogBesselI0(x), expected, 1e-6 * std::max(1.0, expected)) << x;
  }
  // ln I0(x) = x - ln(2 pi x) / 2 + O(1/x) for large x.
  const double x = 800;
  EXPECT_NEAR(LogBesselI0(x), x - 0.5 * std::log(2 * 3.141592653589793 * x), 1e-3);
}

// One tone standing out gives every bit the sign of its code (bit 0:
// positive), Gray-decoded when tone numbers are Gray codes; equal energies
// say nothing; a stronger tone or a higher ratio says it more firmly.
TEST(ToneLikelihoods, BitsTakeTheStrongToneCodeWithFirmnessGrowingWithItsEnergy) {
  const unsigned tones = 16, bits = 4;
  std::vector<double> energy(tones, 1.0), soft(bits), scratch(tones);
  for (bool gray : {false, true})
    for (unsigned sent = 0; sent < tones; ++sent) {
      std::fill(energy.begin(), energy.end(), 1.0);
      energy[sent] = 12.0;
      ToneBitLikelihoods(energy.data(), tones, bits, gray, 4.0, soft.data(), scratch.data());
      const unsigned code = gray ? BinaryCode(static_cast<uint8_t>(sent)) : sent;
      for (unsigned b = 0; b < bits; ++b) EXPECT_EQ(soft[b] > 0, ((code >> b) & 1) == 0) << sent << " bit " << b;
    }
  std::fill(energy.begin(), energy.end(), 3.0);
  ToneBitLikelihoods(energy.data(), tones, bits, true, 4.0, soft.data(), scratch.data());
  for (double value : soft) EXPECT_NEAR(value, 0.0, 1e-12);

  auto firmness = [&](double strong, double gamma) {
    std::fill(energy.begin(), energy.end(), 1.0);
    energy[5] = strong;
    ToneBitLikelihoods(energy.data(), tones, bits, false, gamma, soft.data(), scratch.data());
    return std::abs(soft[0]);
  };
  EXPECT_LT(firmness(4.0, 4.0), firmness(8.0, 4.0));
  EXPECT_LT(firmness(8.0, 1.0), firmness(8.0, 4.0));
}

}  // namespace
}  // namespace quillon
