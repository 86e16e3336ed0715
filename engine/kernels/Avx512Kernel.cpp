// SPDX-License-Identifier: GPL-3.0-or-later
// The AVX-512 kernel: 8 doubles per vector. This file alone is built with
// -mavx512f; it runs only where ProcessorRunsAvx512().

#include <immintrin.h>

#include "engine/kernels/DecodeCharacter.h"
#include "engine/kernels/SoftRows.h"
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

void SoftRowsAvx512(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                  unsigned bits, bool gray) {
  kernels::SoftRows(energy, rows, stride, lanes, symbols, bits, gray);
}

// GCC 12 takes the undefined vector inside its AVX-512 shuffle intrinsics
// for an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// Four butterflies per vector, each as the scalar one: re = x1.Re w.Re +
// x1.Im w.Im on the even lanes, im = x1.Im w.Re - x1.Re w.Im on the odd.
void FftStagesAvx512(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned first_span) {
  unsigned span = first_span;
  for (; span < 4 && span < size; span *= 2) kernels::FftStagePlain(data, stage_twiddle, size, span);
  for (; span < size; span *= 2) {
    const double* twiddle = &stage_twiddle[span].Re;
    for (unsigned start = 0; start < size; start += 2 * span) {
      double* upper = &data[start].Re;
      double* lower = &data[start + span].Re;
      for (unsigned j = 0; j < 2 * span; j += 8) {
        const __m512d x0 = _mm512_loadu_pd(upper + j);
        const __m512d x1 = _mm512_loadu_pd(lower + j);
        const __m512d w = _mm512_loadu_pd(twiddle + j);
        const __m512d a = _mm512_mul_pd(x1, _mm512_unpacklo_pd(w, w));  // x1 w.Re
        const __m512d b = _mm512_mul_pd(_mm512_shuffle_pd(x1, x1, 0x55), _mm512_unpackhi_pd(w, w));  // x1 swapped, w.Im
        const __m512d product = _mm512_mask_sub_pd(_mm512_add_pd(a, b), 0xAA, a, b);
        _mm512_storeu_pd(lower + j, _mm512_sub_pd(x0, product));
        _mm512_storeu_pd(upper + j, _mm512_add_pd(x0, product));
      }
    }
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace quillon
