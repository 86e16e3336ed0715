// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two variants of the Olivia block code, shared by the encoder and the
// soft-decision decoder so that both sides agree to the bit: 7-bit characters
// spread over 64 symbols, or the reduced upper-case set of 6-bit characters
// over 32 symbols, each with its own scrambling sequence and per-character
// rotation of that sequence.

#include <cstdint>

namespace quillon {

struct CodeVariant {
  unsigned BitsPerCharacter;
  uint64_t ScramblingCode;  // bit 0 scrambles the first symbol
  unsigned ScramblingShift;  // rotation of the sequence per character position
};

inline CodeVariant SelectCodeVariant(bool reduced_charset) {
  if (reduced_charset) return {6, 0x00000000EDB88320ULL, 5};
  return {7, 0xE257E6D0291574ECULL, 13};
}

// What a block coder (the encoder or the decoder) derives in its Preset from
// ReducedCharset and BitsPerSymbol, overriding whatever the owner wrote into
// BitsPerCharacter and ScramblingCode. BitsPerSymbol is kept to 1..8: a
// symbol is one byte, and the decoder packs a block into 64 bits.
template <class BlockCoder>
void DeriveCodeVariant(BlockCoder& coder) {
  if (coder.BitsPerSymbol < 1) coder.BitsPerSymbol = 1;
  if (coder.BitsPerSymbol > 8) coder.BitsPerSymbol = 8;
  const CodeVariant variant = SelectCodeVariant(coder.ReducedCharset);
  coder.BitsPerCharacter = variant.BitsPerCharacter;
  coder.ScramblingCode = variant.ScramblingCode;
  coder.Symbols = 1u << coder.BitsPerSymbol;
  coder.SymbolsPerBlock = 1u << (coder.BitsPerCharacter - 1);
}

// Byte -> code number 0..63 of the reduced set. Lower case is sent as upper
// case, line feed shares code 0 with NUL, and anything else becomes "?".
inline unsigned ReducedCharsetCode(uint8_t x) {
  if (x >= 'a' && x <= 'z') x = static_cast<uint8_t>(x - 32);
  if (x == ' ') return 59;
  if (x == '\r') return 60;
  if (x == '\n') return 0;
  if (x >= 33 && x <= 90) return x - 32u;
  if (x == '\b') return 61;
  if (x == 0) return 0;
  return 31;  // '?' - 32
}

// Code number 0..63 -> byte; the inverse of ReducedCharsetCode on its image.
inline uint8_t ReducedCharsetCharacter(unsigned code) {
  switch (code) {
    case 0: return 0;
    case 59: return ' ';
    case 60: return '\r';
    case 61: return '\b';
    default: return static_cast<uint8_t>(code + 32);
  }
}

}  // namespace quillon
