// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kernels of the receiver's decoder bank (SoftDecoderBank.h): one
// character of every decoder in a row at once. The plain kernel is portable
// C++ and is always there; on x86-64 the AVX2 and AVX-512 kernels run where
// the processor has them. Every kernel gives bit-identical results: the same
// products and sums in the same order, no fused multiply-add (the engine
// builds with -ffp-contract=off).

#include <cstdint>
#include <string>

namespace quillon {

enum class DecoderKernel {
  Auto,    // the fastest one this processor runs
  Plain,   // portable C++, left to the compiler's vectoriser
  Avx2,    // x86-64 with AVX2: 4 doubles per vector
  Avx512,  // x86-64 with AVX-512F: 8 doubles per vector
};

// What a kernel reads and writes. Every row holds `row` doubles, one per
// decoder (a multiple of 8, the padding lanes zero); the lanes side by side
// are what the kernels vectorise over.
struct DecoderBankView {
  const double* soft;  // slots x bits rows: the soft values of the last `symbols` symbols
  double* walsh;       // `symbols` rows: the character's Walsh-Hadamard transform
  double* peak;        // one row each: the strongest output (signed),
  double* energy;      //   the energy of all outputs,
  double* position;    //   and the strongest output's index
  unsigned row;
  unsigned symbols;      // symbols per block: 32 or 64
  unsigned bits;         // bits per symbol = characters per block
  unsigned oldest_slot;  // slot of the oldest symbol in `soft`
  uint64_t scrambling_code;
  unsigned scrambling_shift;  // rotation of the scrambling code per character
};

// Decodes character `character` (0 .. bits-1) of every lane into peak,
// energy and position.
using DecodeCharacterFunction = void (*)(const DecoderBankView& bank, unsigned character);

// The kernel's function, or nullptr where this build or this processor
// lacks it. Auto gives the fastest one available.
DecodeCharacterFunction FindDecoderKernel(DecoderKernel kernel);
// The kernel Auto stands for on this processor.
DecoderKernel FastestDecoderKernel();
// "auto", "plain", "avx2", "avx512"; and back (false for another name).
const char* DecoderKernelName(DecoderKernel kernel);
bool ParseDecoderKernel(const std::string& name, DecoderKernel& kernel);

}  // namespace quillon
