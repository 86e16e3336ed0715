// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX2 kernel: 4 doubles per vector. This file alone is built with
// -mavx2; it runs only where ProcessorRunsAvx2().

#include <immintrin.h>

#include "engine/kernels/DecodeCharacter.h"
#include "engine/kernels/SoftRows.h"
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

void SoftRowsAvx2(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                unsigned bits, bool gray) {
  kernels::SoftRows(energy, rows, stride, lanes, symbols, bits, gray);
}

// Two butterflies per vector, each as the scalar one: re = x1.Re w.Re +
// x1.Im w.Im on the even lanes, im = x1.Im w.Re - x1.Re w.Im on the odd.
void FftStagesAvx2(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned first_span) {
  unsigned span = first_span;
  for (; span < 2 && span < size; span *= 2) kernels::FftStagePlain(data, stage_twiddle, size, span);
  for (; span < size; span *= 2) {
    const double* twiddle = &stage_twiddle[span].Re;
    for (unsigned start = 0; start < size; start += 2 * span) {
      double* upper = &data[start].Re;
      double* lower = &data[start + span].Re;
      for (unsigned j = 0; j < 2 * span; j += 4) {
        const __m256d x0 = _mm256_loadu_pd(upper + j);
        const __m256d x1 = _mm256_loadu_pd(lower + j);
        const __m256d w = _mm256_loadu_pd(twiddle + j);
        const __m256d a = _mm256_mul_pd(x1, _mm256_permute_pd(w, 0x0));                        // x1 w.Re
        const __m256d b = _mm256_mul_pd(_mm256_permute_pd(x1, 0x5), _mm256_permute_pd(w, 0xF));  // x1 swapped, w.Im
        const __m256d product = _mm256_blend_pd(_mm256_add_pd(a, b), _mm256_sub_pd(a, b), 0xA);
        _mm256_storeu_pd(lower + j, _mm256_sub_pd(x0, product));
        _mm256_storeu_pd(upper + j, _mm256_add_pd(x0, product));
      }
    }
  }
}

}  // namespace quillon
