// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX2 kernel: 4 doubles per vector. This file alone is built with
// -mavx2; it runs only where ProcessorRunsAvx2().

#include <immintrin.h>

#include "engine/kernels/DecodeCharacter.h"
#include "engine/kernels/X86Kernels.h"

namespace quillon {
namespace {

struct Avx2Vec {
  static constexpr unsigned kLanes = 4;
  __m256d v;

  static Avx2Vec Zero() { return {_mm256_setzero_pd()}; }
  static Avx2Vec Broadcast(double x) { return {_mm256_set1_pd(x)}; }
  static Avx2Vec Load(const double* p) { return {_mm256_loadu_pd(p)}; }
  void Store(double* p) const { _mm256_storeu_pd(p, v); }
  friend Avx2Vec operator+(Avx2Vec a, Avx2Vec b) { return {_mm256_add_pd(a.v, b.v)}; }
  friend Avx2Vec operator-(Avx2Vec a, Avx2Vec b) { return {_mm256_sub_pd(a.v, b.v)}; }
  friend Avx2Vec operator*(Avx2Vec a, Avx2Vec b) { return {_mm256_mul_pd(a.v, b.v)}; }
  // Where |x| exceeds `size`, x becomes the peak and `index` its position.
  static void KeepLarger(Avx2Vec x, Avx2Vec index, Avx2Vec& peak, Avx2Vec& size, Avx2Vec& position) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x.v);  // sign bit cleared
    const __m256d larger = _mm256_cmp_pd(magnitude, size.v, _CMP_GT_OQ);
    peak.v = _mm256_blendv_pd(peak.v, x.v, larger);
    size.v = _mm256_blendv_pd(size.v, magnitude, larger);
    position.v = _mm256_blendv_pd(position.v, index.v, larger);
  }
};

}  // namespace

void DecodeCharacterAvx2(const DecoderBankView& bank, unsigned character) {
  kernels::DecodeCharacter<Avx2Vec>(bank, character);
}

}  // namespace quillon
