// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The check extension: four printable characters that follow the check
// character on air and carry 18 more bits of check over the text.
//
//   '~'  d1  d2  d3        d = '0' + six bits, most significant first
//
// The three digits are the low 18 bits of the CRC-32 (the common reflected
// 0xEDB88320 code) of the text's cp1251 bytes. A CRC-32 shares no structure
// with the frame's CRC-16/X.25, so an error the check character misses is
// caught here with odds of about 1 in 262 144 on its own.
//
// A receiver that knows only the frame has finished it at the check
// character and ignores what follows until the next start marker; none of
// these characters can form or hide one (they are never 22 or 15), none is
// dropped on the way (all are above 7) and none is escaped (all are below
// 127).

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

constexpr int kExtensionMarker = '~';
constexpr int kExtensionDigits = 3;
constexpr int kExtensionLength = 1 + kExtensionDigits;
constexpr int kExtensionDigitBase = '0';  // digits are '0'..'o'

using CheckExtensionChars = std::array<int, kExtensionLength>;

// CRC-32 (reflected 0xEDB88320, initial and final complement) of `bytes`;
// 0xCBF43926 for "123456789".
std::uint32_t Crc32(const std::string& bytes);

// The marker and the three digits that follow a frame carrying `text`.
CheckExtensionChars BuildCheckExtension(const std::string& text);

// Whether a received byte can be one of the three digits.
bool IsExtensionDigit(int byte);

// How long a receiver waits after a check byte for the extension, in
// seconds: the characters of one block are decided together, so the
// extension ends at most ceil(4 / characters per block) blocks after the
// check byte's block; half a block more covers a decision that comes late.
double ExtensionWaitSeconds(double block_seconds, int characters_per_block);

}  // namespace quillon
