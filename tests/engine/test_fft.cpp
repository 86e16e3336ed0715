// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "engine/Fft.h"

namespace quillon {
namespace {

using Complex = Cmpx<double>;
const double kPi = 3.141592653589793;

std::vector<Complex> RandomSignal(unsigned n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Complex> x(n);
  for (Complex& c : x) c = Complex{uniform(random), uniform(random)};
  return x;
}

// X[k] = sum x[n] e^(-j 2 pi n k / N), computed directly.
std::vector<std::complex<double>> DirectDft(const std::vector<Complex>& x) {
  const unsigned n = static_cast<unsigned>(x.size());
  std::vector<std::complex<double>> out(n);
  for (unsigned k = 0; k < n; ++k) {
    std::complex<double> sum = 0;
    for (unsigned i = 0; i < n; ++i) {
      const double angle = -2 * kPi * static_cast<double>((static_cast<unsigned long long>(i) * k) % n) / n;
      sum += std::complex<double>(x[i].Re, x[i].Im) * std::polar(1.0, angle);
    }
    out[k] = sum;
  }
  return out;
}

TEST(Fft, PresetAcceptsOnlyPowersOfTwoFromFour) {
  r2FFT<Complex> fft;
  EXPECT_EQ(fft.Preset(4), 0);
  EXPECT_EQ(fft.Size, 4u);
  for (int bad : {0, 1, 2, 3, 12, 100}) {
    EXPECT_EQ(fft.Preset(bad), -1) << bad;
    EXPECT_FALSE(fft.Twiddle);
    EXPECT_FALSE(fft.BitReverse);
  }
  EXPECT_EQ(fft.Preset(16), 0);
  EXPECT_EQ(fft.BitReverse[1], 8);
  EXPECT_EQ(fft.BitReverse[6], 6);
  EXPECT_EQ(fft.BitReverse[3], 12);
  // The table is the full circle with a positive angle.
  EXPECT_NEAR(fft.Twiddle[4].Re, 0.0, 1e-15);
  EXPECT_NEAR(fft.Twiddle[4].Im, 1.0, 1e-15);
  EXPECT_NEAR(fft.Twiddle[10].Re, std::cos(2 * kPi * 10 / 16), 1e-15);
  EXPECT_NEAR(fft.Twiddle[10].Im, std::sin(2 * kPi * 10 / 16), 1e-15);
}

TEST(Fft, MatchesDirectTransformAtEverySizeTheModesUse) {
  r2FFT<Complex> fft;
  for (unsigned n = 4; n <= 65536; n *= 2) {
    ASSERT_EQ(fft.Preset(static_cast<int>(n)), 0);
    std::vector<Complex> x = RandomSignal(n, n);
    std::vector<Complex> y = x;
    fft.Process(y.data());
    if (n <= 2048) {
      const std::vector<std::complex<double>> expected = DirectDft(x);
      for (unsigned k = 0; k < n; ++k) {
        ASSERT_NEAR(y[k].Re, expected[k].real(), 1e-9 * n) << n << " " << k;
        ASSERT_NEAR(y[k].Im, expected[k].imag(), 1e-9 * n) << n << " " << k;
      }
    } else {
      // Too slow to compare in full: check a few bins directly.
      for (unsigned k : {0u, 1u, 7u, n / 3, n / 2, n - 1}) {
        std::complex<double> sum = 0;
        for (unsigned i = 0; i < n; ++i)
          sum += std::complex<double>(x[i].Re, x[i].Im) *
                 std::polar(1.0, -2 * kPi * static_cast<double>((static_cast<unsigned long long>(i) * k) % n) / n);
        ASSERT_NEAR(y[k].Re, sum.real(), 1e-8 * n) << n << " " << k;
        ASSERT_NEAR(y[k].Im, sum.imag(), 1e-8 * n) << n << " " << k;
      }
    }
  }
}

TEST(Fft, ImpulseAndPositiveExponentialShowTheSignConvention) {
  r2FFT<Complex> fft;
  const unsigned n = 64;
  ASSERT_EQ(fft.Preset(n), 0);
  std::vector<Complex> impulse(n, Complex{0, 0});
  impulse[0].Re = 1;
  fft.Process(impulse.data());
  for (const Complex& c : impulse) {
    EXPECT_DOUBLE_EQ(c.Re, 1.0);
    EXPECT_DOUBLE_EQ(c.Im, 0.0);
  }
  std::vector<Complex> rotor(n);
  for (unsigned i = 0; i < n; ++i) rotor[i] = Complex{std::cos(2 * kPi * i / n), std::sin(2 * kPi * i / n)};
  fft.Process(rotor.data());
  for (unsigned k = 0; k < n; ++k) {
    EXPECT_NEAR(rotor[k].Re, k == 1 ? double(n) : 0.0, 1e-12) << k;
    EXPECT_NEAR(rotor[k].Im, 0.0, 1e-12) << k;
  }
}

TEST(Fft, SeparatesTwoRealSignalsAndJoinsThemBackInTimeOrder) {
  r2FFT<Complex> fft;
  const unsigned n = 256;
  ASSERT_EQ(fft.Preset(n), 0);
  std::vector<Complex> packed = RandomSignal(n, 7);
  std::vector<Complex> re_only(n), im_only(n);
  for (unsigned i = 0; i < n; ++i) {
    re_only[i] = Complex{packed[i].Re, 0};
    im_only[i] = Complex{packed[i].Im, 0};
  }
  const std::vector<std::complex<double>> x = DirectDft(re_only);
  const std::vector<std::complex<double>> y = DirectDft(im_only);

  std::vector<Complex> buff = packed;
  fft.Process(buff.data());
  std::vector<Complex> out0(n / 2), out1(n / 2);
  fft.SeparTwoReals(buff.data(), out0.data(), out1.data());
  for (unsigned k = 1; k < n / 2; ++k) {
    ASSERT_NEAR(out0[k].Re, 2 * x[k].real(), 1e-9);
    ASSERT_NEAR(out0[k].Im, 2 * x[k].imag(), 1e-9);
    ASSERT_NEAR(out1[k].Re, 2 * y[k].real(), 1e-9);
    ASSERT_NEAR(out1[k].Im, 2 * y[k].imag(), 1e-9);
  }
  EXPECT_NEAR(out0[0].Re, x[0].real(), 1e-9);
  EXPECT_NEAR(out0[0].Im, x[n / 2].real(), 1e-9);
  EXPECT_NEAR(out1[0].Re, y[0].real(), 1e-9);
  EXPECT_NEAR(out1[0].Im, y[n / 2].real(), 1e-9);

  fft.JoinTwoReals(out0.data(), out1.data(), buff.data());
  fft.Process(buff.data());
  for (unsigned i = 0; i < n; ++i) {
    ASSERT_NEAR(buff[i].Re, 2.0 * n * packed[i].Re, 1e-9) << i;
    ASSERT_NEAR(buff[i].Im, 2.0 * n * packed[i].Im, 1e-9) << i;
  }
}

// The transform as written, one scalar FFTbf per butterfly: Process must
// give the same bits, whatever registers it uses.
TEST(Fft, ProcessEqualsTheScalarButterfliesToTheBit) {
  r2FFT<Complex> fft;
  // Up to the limiter's longest window.
  for (unsigned n : {4u, 64u, 1024u, 65536u}) {
    ASSERT_EQ(fft.Preset(static_cast<int>(n)), 0);
    std::vector<Complex> x = RandomSignal(n, 3 * n);
    std::vector<Complex> y = x;
    fft.Process(y.data());
    fft.Scramble(x.data());
    for (unsigned i = 0; i < n; i += 2) r2FFT<Complex>::FFT2(x[i], x[i + 1]);
    for (unsigned groups = n / 4, span = 2; groups > 0; groups /= 2, span *= 2) {
      unsigned index = 0;
      for (unsigned g = 0; g < groups; ++g, index += span)
        for (unsigned t = 0; t < n / 2; t += groups, ++index)
          r2FFT<Complex>::FFTbf(x[index], x[index + span], fft.Twiddle[t]);
    }
    for (unsigned k = 0; k < n; ++k) {
      ASSERT_EQ(y[k].Re, x[k].Re) << n << " " << k;
      ASSERT_EQ(y[k].Im, x[k].Im) << n << " " << k;
    }
  }
}

// Each version of the stages this machine runs (plain, AVX2, AVX-512) gives
// the bits of the scalar butterflies, from every first span on; sizes from
// one vector's width up to the limiter's longest window.
TEST(Fft, EveryStagesVersionGivesTheScalarBits) {
  r2FFT<Complex> fft;
  int versions = 0;
  for (DecoderKernel kernel : {DecoderKernel::Plain, DecoderKernel::Avx2, DecoderKernel::Avx512}) {
    const FftStagesFunction stages = FindFftStages(kernel);
    if (stages == nullptr) continue;
    ++versions;
    for (unsigned n : {4u, 8u, 16u, 2048u, 65536u}) {
      ASSERT_EQ(fft.Preset(static_cast<int>(n)), 0);
      for (unsigned first_span = 2; first_span < n; first_span *= 8) {
        std::vector<Complex> x = RandomSignal(n, 5 * n + first_span);
        std::vector<Complex> y = x;
        for (unsigned span = first_span; span < n; span *= 2)
          for (unsigned start = 0; start < n; start += 2 * span)
            for (unsigned j = 0; j < span; ++j)
              r2FFT<Complex>::FFTbf(x[start + j], x[start + j + span], fft.Twiddle[j * (n / (2 * span))]);
        stages(y.data(), fft.StageTwiddle.get(), n, first_span);
        for (unsigned k = 0; k < n; ++k) {
          ASSERT_EQ(std::memcmp(&x[k], &y[k], sizeof(Complex)), 0)
              << DecoderKernelName(kernel) << " n " << n << " first span " << first_span << " bin " << k;
        }
      }
    }
  }
  EXPECT_GE(versions, 1);
}

}  // namespace
}  // namespace quillon
