// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Walsh-Hadamard transforms and the Gray code of the Olivia block code.
// Both transforms work in place on a power-of-two length and do no scaling:
// the encoder spreads a character with IFHT, the decoder despreads soft bits
// with FHT; their butterflies mirror each other so that a spread row comes
// back as one peak of magnitude `len`.

#include <cstdint>

namespace quillon {

// Inverse transform on signed 8-bit values; sums wrap modulo 256, which never
// happens for the single +-1 entry the encoder starts from.
inline void IFHT(int8_t* data, unsigned len) {
  for (unsigned step = len / 2; step > 0; step /= 2) {
    for (unsigned group = 0; group < len; group += 2 * step) {
      for (unsigned i = group; i < group + step; ++i) {
        const int a = data[i];
        const int b = data[i + step];
        data[i] = static_cast<int8_t>(static_cast<uint8_t>(a - b));
        data[i + step] = static_cast<int8_t>(static_cast<uint8_t>(a + b));
      }
    }
  }
}

// Forward transform on real values, steps growing from 1.
template <class Type>
void FHT(Type* data, unsigned len) {
  for (unsigned step = 1; step < len; step *= 2) {
    for (unsigned group = 0; group < len; group += 2 * step) {
      for (unsigned i = group; i < group + step; ++i) {
        const Type a = data[i];
        const Type b = data[i + step];
        data[i] = b + a;
        data[i + step] = b - a;
      }
    }
  }
}

// Neighbouring tones differ in one bit of the symbol value.
inline uint8_t GrayCode(uint8_t x) { return static_cast<uint8_t>(x ^ (x >> 1)); }

inline uint8_t BinaryCode(uint8_t x) {
  x = static_cast<uint8_t>(x ^ (x >> 4));
  x = static_cast<uint8_t>(x ^ (x >> 2));
  x = static_cast<uint8_t>(x ^ (x >> 1));
  return x;
}

}  // namespace quillon
