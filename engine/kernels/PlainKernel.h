// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "engine/kernels/DecoderKernel.h"

namespace quillon {

void DecodeCharacterPlain(const DecoderBankView& bank, unsigned character);

}  // namespace quillon
