// SPDX-License-Identifier: GPL-3.0-or-later
// Which x86-64 kernels this processor runs. The compiler's processor check
// (GCC and Clang alike) reads CPUID once at start-up and also asks the
// system (XGETBV) whether it saves the wide registers, which CPUID alone
// does not tell.

#include "engine/kernels/X86Kernels.h"

namespace quillon {

bool ProcessorRunsAvx2() { return __builtin_cpu_supports("avx2"); }
bool ProcessorRunsAvx512() { return __builtin_cpu_supports("avx512f"); }

}  // namespace quillon
