// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The block of the five characters "Hello" in the normal code variant with
// 32 tones: its 64 symbols in sending order, before Gray coding.

#include <cstdint>

namespace quillon {
namespace test {

inline constexpr uint8_t kHelloSymbols[64] = {
    26, 9,  5,  11, 15, 31, 14, 30, 13, 27, 16, 10, 24, 7,  0,  29,  //
    14, 8,  10, 11, 27, 16, 10, 20, 0,  29, 23, 26, 15, 9,  11, 26,  //
    16, 19, 6,  18, 15, 19, 14, 28, 7,  28, 10, 11, 29, 2,  24, 27,  //
    10, 19, 25, 16, 21, 0,  23, 2,  10, 8,  9,  24, 13, 9,  3,  5};

}  // namespace test
}  // namespace quillon
