// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Codes a block of characters into MFSK symbols: each character becomes one
// scrambled Walsh row spread over the whole block, and the rows of the
// block's characters are interleaved bit by bit into the symbols, each
// character's bits rotating through the symbol bit positions.

#include <cstdint>

#include "engine/Containers.h"

namespace quillon {

class MFSK_Encoder {
 public:
  unsigned BitsPerSymbol;     // also the number of characters per block; 1..8
  unsigned BitsPerCharacter;  // 7, or 6 in the reduced variant
  unsigned Symbols = 0;       // number of tones
  unsigned SymbolsPerBlock = 0;
  bool ReducedCharset;
  uint64_t ScramblingCode;  // bit 0 scrambles the first symbol
  Array<int8_t> WalshBuffer;
  Array<uint8_t> SymbolBlock;  // the block's symbols in sending order, before Gray coding

  MFSK_Encoder();
  MFSK_Encoder(const MFSK_Encoder&) = delete;
  MFSK_Encoder& operator=(const MFSK_Encoder&) = delete;
  ~MFSK_Encoder() { Free(); }

  void Default();
  void Init();
  int Preset();
  void Free();

  // input holds exactly BitsPerSymbol characters, first character first.
  void EncodeBlock(const uint8_t* input);
  void EncodeCharacter(uint8_t character);
  void ScrambleFHT(unsigned offset);
};

}  // namespace quillon
