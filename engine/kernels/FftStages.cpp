// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/kernels/FftStages.h"
#include "engine/kernels/SoftRows.h"

#include "engine/kernels/PlainKernel.h"
#if QUILLON_X86_KERNELS
#include "engine/kernels/X86Kernels.h"
#endif

// The finders of the FFT stages and the soft rows.

namespace quillon {
namespace {

void FftStagesPlain(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned first_span) {
  for (unsigned span = first_span; span < size; span *= 2) kernels::FftStagePlain(data, stage_twiddle, size, span);
}

}  // namespace

FftStagesFunction FindFftStages(DecoderKernel kernel) {
  switch (kernel) {
    case DecoderKernel::Auto: return FindFftStages(FastestDecoderKernel());
    case DecoderKernel::Plain: return &FftStagesPlain;
#if QUILLON_X86_KERNELS
    case DecoderKernel::Avx2: return ProcessorRunsAvx2() ? &FftStagesAvx2 : nullptr;
    case DecoderKernel::Avx512: return ProcessorRunsAvx512() ? &FftStagesAvx512 : nullptr;
#else
    case DecoderKernel::Avx2:
    case DecoderKernel::Avx512: return nullptr;
#endif
  }
  return nullptr;
}

SoftRowsFunction FindSoftRows(DecoderKernel kernel) {
  switch (kernel) {
    case DecoderKernel::Auto: return FindSoftRows(FastestDecoderKernel());
    case DecoderKernel::Plain: return &SoftRowsPlain;
#if QUILLON_X86_KERNELS
    case DecoderKernel::Avx2: return ProcessorRunsAvx2() ? &SoftRowsAvx2 : nullptr;
    case DecoderKernel::Avx512: return ProcessorRunsAvx512() ? &SoftRowsAvx512 : nullptr;
#else
    case DecoderKernel::Avx2:
    case DecoderKernel::Avx512: return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace quillon
