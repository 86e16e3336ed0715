// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Encoder.h"

#include "engine/CodeVariant.h"
#include "engine/Hadamard.h"

namespace quillon {

MFSK_Encoder::MFSK_Encoder() {
  Default();
  Init();
}

void MFSK_Encoder::Default() {
  ReducedCharset = false;
  BitsPerSymbol = 5;
  BitsPerCharacter = 7;
  ScramblingCode = 0xE257E6D0291574ECULL;
}

void MFSK_Encoder::Init() {
  WalshBuffer.reset();
  SymbolBlock.reset();
}

void MFSK_Encoder::Free() { Init(); }

int MFSK_Encoder::Preset() {
  DeriveCodeVariant(*this);
  if (ReallocArray(WalshBuffer, SymbolsPerBlock) < 0 || ReallocArray(SymbolBlock, SymbolsPerBlock) < 0) {
    Free();
    return -1;
  }
  return 0;
}

void MFSK_Encoder::EncodeCharacter(uint8_t character) {
  // Code numbers from SymbolsPerBlock up are the negated rows.
  const unsigned code = ReducedCharset ? ReducedCharsetCode(character) : (character & (2 * SymbolsPerBlock - 1));
  ClearArray(WalshBuffer, SymbolsPerBlock);
  if (code < SymbolsPerBlock)
    WalshBuffer[code] = 1;
  else
    WalshBuffer[code - SymbolsPerBlock] = -1;
  IFHT(WalshBuffer.get(), SymbolsPerBlock);
}

void MFSK_Encoder::ScrambleFHT(unsigned offset) {
  const unsigned wrap = SymbolsPerBlock - 1;
  unsigned bit = offset & wrap;
  for (unsigned i = 0; i < SymbolsPerBlock; ++i) {
    if ((ScramblingCode >> bit) & 1) WalshBuffer[i] = static_cast<int8_t>(-WalshBuffer[i]);
    bit = (bit + 1) & wrap;
  }
}

void MFSK_Encoder::EncodeBlock(const uint8_t* input) {
  const unsigned shift = SelectCodeVariant(ReducedCharset).ScramblingShift;
  ClearArray(SymbolBlock, SymbolsPerBlock);
  for (unsigned f = 0; f < BitsPerSymbol; ++f) {
    EncodeCharacter(input[f]);
    ScrambleFHT(f * shift);
    // A negative Walsh value is sent as bit 1.
    for (unsigned t = 0; t < SymbolsPerBlock; ++t)
      if (WalshBuffer[t] < 0) SymbolBlock[t] |= static_cast<uint8_t>(1u << ((f + t) % BitsPerSymbol));
  }
}

}  // namespace quillon
