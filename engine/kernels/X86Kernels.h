// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The x86-64 kernels, each in its own file built for its instruction set,
// and what tells whether this processor runs them. Only the x86-64 build
// has these files.

#include "engine/kernels/DecoderKernel.h"
#include "engine/kernels/FftButterfly.h"

namespace quillon {

void DecodeCharacterAvx2(const DecoderBankView& bank, unsigned character);
void DecodeCharacterAvx512(const DecoderBankView& bank, unsigned character);
void SoftRowsAvx2(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                  unsigned bits, bool gray);
void SoftRowsAvx512(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                    unsigned bits, bool gray);
void FftStagesAvx2(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned first_span);
void FftStagesAvx512(Cmpx<double>* data, const Cmpx<double>* stage_twiddle, unsigned size, unsigned first_span);

// Whether the processor has the instructions and the system saves their
// registers: the kernels above may run only where these say so.
bool ProcessorRunsAvx2();
bool ProcessorRunsAvx512();

}  // namespace quillon
