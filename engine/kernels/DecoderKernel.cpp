// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/kernels/DecoderKernel.h"

#include "engine/kernels/PlainKernel.h"
#if QUILLON_X86_KERNELS
#include "engine/kernels/X86Kernels.h"
#endif

namespace quillon {

DecodeCharacterFunction FindDecoderKernel(DecoderKernel kernel) {
  switch (kernel) {
    case DecoderKernel::Auto: return FindDecoderKernel(FastestDecoderKernel());
    case DecoderKernel::Plain: return &DecodeCharacterPlain;
#if QUILLON_X86_KERNELS
    case DecoderKernel::Avx2: return ProcessorRunsAvx2() ? &DecodeCharacterAvx2 : nullptr;
    case DecoderKernel::Avx512: return ProcessorRunsAvx512() ? &DecodeCharacterAvx512 : nullptr;
#else
    case DecoderKernel::Avx2:
    case DecoderKernel::Avx512: return nullptr;
#endif
  }
  return nullptr;
}

DecoderKernel FastestDecoderKernel() {
  for (DecoderKernel kernel : {DecoderKernel::Avx512, DecoderKernel::Avx2})
    if (FindDecoderKernel(kernel) != nullptr) return kernel;
  return DecoderKernel::Plain;
}

const char* DecoderKernelName(DecoderKernel kernel) {
  switch (kernel) {
    case DecoderKernel::Auto: return "auto";
    case DecoderKernel::Plain: return "plain";
    case DecoderKernel::Avx2: return "avx2";
    case DecoderKernel::Avx512: return "avx512";
  }
  return "?";
}

bool ParseDecoderKernel(const std::string& name, DecoderKernel& kernel) {
  for (DecoderKernel k : {DecoderKernel::Auto, DecoderKernel::Plain, DecoderKernel::Avx2, DecoderKernel::Avx512})
    if (name == DecoderKernelName(k)) {
      kernel = k;
      return true;
    }
  return false;
}

}  // namespace quillon
