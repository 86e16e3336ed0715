// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX-512 kernel: 8 doubles per vector. This file alone is built with
// -mavx512f; it runs only where ProcessorRunsAvx512().

#include <immintrin.h>

#include "engine/kernels/DecodeCharacter.h"
#include "engine/kernels/X86Kernels.h"

namespace quillon {
namespace {

struct Avx512Vec {
  static constexpr unsigned kLanes = 8;
  __m512d v;

  static Avx512Vec Zero() { return {_mm512_setzero_pd()}; }
  static Avx512Vec Broadcast(double x) { return {_mm512_set1_pd(x)}; }
  static Avx512Vec Load(const double* p) { return {_mm512_loadu_pd(p)}; }
  void Store(double* p) const { _mm512_storeu_pd(p, v); }
  friend Avx512Vec operator+(Avx512Vec a, Avx512Vec b) { return {_mm512_add_pd(a.v, b.v)}; }
  friend Avx512Vec operator-(Avx512Vec a, Avx512Vec b) { return {_mm512_sub_pd(a.v, b.v)}; }
  friend Avx512Vec operator*(Avx512Vec a, Avx512Vec b) { return {_mm512_mul_pd(a.v, b.v)}; }
  // Where |x| exceeds `size`, x becomes the peak and `index` its position.
  static void KeepLarger(Avx512Vec x, Avx512Vec index, Avx512Vec& peak, Avx512Vec& size, Avx512Vec& position) {
    const __m512d magnitude = _mm512_abs_pd(x.v);
    const __mmask8 larger = _mm512_cmp_pd_mask(magnitude, size.v, _CMP_GT_OQ);
    peak.v = _mm512_mask_blend_pd(larger, peak.v, x.v);
    size.v = _mm512_mask_blend_pd(larger, size.v, magnitude);
    position.v = _mm512_mask_blend_pd(larger, position.v, index.v);
  }
};

}  // namespace

void DecodeCharacterAvx512(const DecoderBankView& bank, unsigned character) {
  kernels::DecodeCharacter<Avx512Vec>(bank, character);
}

}  // namespace quillon
