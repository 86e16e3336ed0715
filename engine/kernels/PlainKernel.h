// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "engine/kernels/DecoderKernel.h"

namespace quillon {

void DecodeCharacterPlain(const DecoderBankView& bank, unsigned character);
// kernels::SoftRows built at -O3 for the baseline instruction set.
void SoftRowsPlain(const double* energy, double* rows, unsigned stride, unsigned lanes, unsigned symbols,
                   unsigned bits, bool gray);

}  // namespace quillon
