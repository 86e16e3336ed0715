// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Power-of-two helpers used throughout the engine for tone counts,
// bandwidth steps and FFT/window lengths.

namespace quillon {

// 1 shifted left by n; the shift count wraps at 32 like the hardware shift.
inline unsigned Exp2(unsigned n) { return 1u << (n & 31u); }

// How often x can be halved while it is above 1: Log2(0) = Log2(1) = 0,
// Log2(5) = 2, Log2(256) = 8.
inline unsigned Log2(unsigned x) {
  unsigned n = 0;
  while (x > 1) {
    x >>= 1;
    ++n;
  }
  return n;
}

}  // namespace quillon
