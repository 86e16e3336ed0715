// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decoder bank's character decode, written once over a vector type and
// instantiated by each kernel's own file. `Vec` holds Vec::kLanes doubles and
// offers Zero, Broadcast, Load, Store (unaligned), +, -, * and KeepLarger.
// Each kernel file declares its Vec in an unnamed namespace, so these
// instantiations stay inside that file and code compiled for one instruction
// set never stands in for another's.
//
// Every lane gets exactly the arithmetic, and the order of the sums, of a
// decoder on its own; the lanes only run side by side.

#include <cstddef>
#include <cstdint>

#include "engine/kernels/DecoderKernel.h"

namespace quillon {
namespace kernels {

// The first three butterfly steps (1, 2, 4) of eight rows held in registers.
template <class Vec>
void EightPointButterflies(Vec (&r)[8]) {
  for (unsigned half = 1; half < 8; half *= 2)
    for (unsigned k = 0; k < 8; ++k)
      if (!(k & half)) {
        const Vec a = r[k], b = r[k + half];
        r[k] = b + a;
        r[k + half] = b - a;
      }
}

// Strongest output of C vectors of lanes from double `first` on, ties to the
// lower index, and the energy summed in index order.
template <class Vec, unsigned C>
void Search(const DecoderBankView& bank, unsigned first) {
  constexpr unsigned L = Vec::kLanes;
  Vec peak[C], size[C], energy[C], position[C];
  for (unsigned c = 0; c < C; ++c) peak[c] = size[c] = energy[c] = position[c] = Vec::Zero();
  const Vec one = Vec::Broadcast(1.0);
  Vec index = Vec::Zero();
  const double* walsh = bank.walsh + first;
  for (unsigned t = 0; t < bank.symbols; ++t, index = index + one, walsh += bank.row)
    for (unsigned c = 0; c < C; ++c) {
      const Vec x = Vec::Load(walsh + c * L);
      energy[c] = energy[c] + x * x;
      Vec::KeepLarger(x, index, peak[c], size[c], position[c]);
    }
  for (unsigned c = 0; c < C; ++c) {
    peak[c].Store(bank.peak + first + c * L);
    energy[c].Store(bank.energy + first + c * L);
    position[c].Store(bank.position + first + c * L);
  }
}

// One character of every lane: gather and descramble, transform, search.
template <class Vec>
void DecodeCharacter(const DecoderBankView& bank, unsigned f) {
  constexpr unsigned L = Vec::kLanes;
  const unsigned n = bank.symbols;
  const unsigned bits = bank.bits;
  const unsigned row = bank.row;

  // Character f takes bit (f + t) mod bits of the t-th oldest symbol,
  // negated where the scrambling sequence (rotated by f x shift) has a 1.
  // The first three butterfly steps run on the way in, eight rows at a
  // time: steps 1, 2 and 4 mix rows only within aligned groups of eight.
  const unsigned wrap = n - 1;
  const unsigned start_bit = (f * bank.scrambling_shift) & wrap;
  unsigned slot = bank.oldest_slot;
  unsigned bit = f % bits;
  for (unsigned base = 0; base < n; base += 8) {
    const double* source[8];
    Vec sign[8];
    for (unsigned k = 0; k < 8; ++k) {
      const unsigned t = base + k;
      source[k] = bank.soft + (static_cast<std::size_t>(slot) * bits + bit) * row;
      sign[k] = Vec::Broadcast(((bank.scrambling_code >> ((start_bit + t) & wrap)) & 1) ? -1.0 : 1.0);
      if (++slot >= n) slot = 0;
      if (++bit >= bits) bit = 0;
    }
    for (unsigned v = 0; v < row; v += L) {
      Vec r[8];
      for (unsigned k = 0; k < 8; ++k) r[k] = Vec::Load(source[k] + v) * sign[k];  // exact: times +1 or -1
      EightPointButterflies(r);
      for (unsigned k = 0; k < 8; ++k) r[k].Store(bank.walsh + static_cast<std::size_t>(base + k) * row + v);
    }
  }
  // Steps 8, 16 and 32 mix rows eight apart, again eight rows at a time in
  // registers; with 32 symbols only steps 8 and 16 remain.
  if (n == 64) {
    const std::size_t stride = static_cast<std::size_t>(8) * row;
    for (unsigned first = 0; first < 8; ++first)
      for (unsigned v = 0; v < row; v += L) {
        double* p = bank.walsh + static_cast<std::size_t>(first) * row + v;
        Vec r[8];
        for (unsigned k = 0; k < 8; ++k) r[k] = Vec::Load(p + k * stride);
        EightPointButterflies(r);
        for (unsigned k = 0; k < 8; ++k) r[k].Store(p + k * stride);
      }
  } else {
    for (unsigned step = 8; step < n; step *= 2)
      for (unsigned group = 0; group < n; group += 2 * step)
        for (unsigned i = group; i < group + step; ++i) {
          double* x = bank.walsh + static_cast<std::size_t>(i) * row;
          double* y = bank.walsh + static_cast<std::size_t>(i + step) * row;
          for (unsigned v = 0; v < row; v += L) {
            const Vec a = Vec::Load(x + v), b = Vec::Load(y + v);
            (b + a).Store(x + v);
            (b - a).Store(y + v);
          }
        }
  }

  // The search, a few vectors at a time so that their sums overlap.
  unsigned v = 0;
  for (; v + 4 * L <= row; v += 4 * L) Search<Vec, 4>(bank, v);
  switch ((row - v) / L) {
    case 3: Search<Vec, 3>(bank, v); break;
    case 2: Search<Vec, 2>(bank, v); break;
    case 1: Search<Vec, 1>(bank, v); break;
    default: break;
  }
}

}  // namespace kernels
}  // namespace quillon
