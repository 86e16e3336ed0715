// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The butterfly stages of the FFT (Fft.h) on doubles, from a given span on:
// portable C++ everywhere, and on x86-64 AVX2 (two complex values per
// vector) and AVX-512 (four) where the processor has them. Each butterfly
// is the same products, sums and differences in the same order in every
// version, and the engine builds without fused multiply-add, so all give
// the same bits.

#include "engine/kernels/DecoderKernel.h"
#include "engine/kernels/FftButterfly.h"

namespace quillon {

// Stages of span first_span, 2 first_span .. size/2 over `data` (size
// complex values in place, the earlier stages done); the stage of span s
// reads its twiddles from stage_twiddle[s .. 2s-1].
using FftStagesFunction = void (*)(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size,
                                   unsigned first_span);

// The stages for the instruction set `kernel` names (Auto: the fastest this
// processor runs), or nullptr where this build or this processor lacks it.
FftStagesFunction FindFftStages(DecoderKernel kernel);

}  // namespace quillon
