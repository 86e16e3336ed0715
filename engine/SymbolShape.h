// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The envelope of one transmitted symbol as a cosine series over its window
// of SymbolLen samples: w(t) = sum over k of (-1)^k * Shape[k] * cos(2 pi k t
// / SymbolLen). With {1, 1} this is 1 - cos(2 pi t / SymbolLen): zero at both
// ends of the window and 2.0 at its centre. The modulator and the receiver's
// tone filters must agree on it.

namespace quillon {

inline constexpr int MFSK_SymbolFreqShapeLen = 2;
inline constexpr double MFSK_SymbolFreqShape[MFSK_SymbolFreqShapeLen] = {1.0, 1.0};

}  // namespace quillon
