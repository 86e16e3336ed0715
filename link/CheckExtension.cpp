// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/CheckExtension.h"

namespace quillon {

namespace {
constexpr std::uint32_t kDigitMask = (1u << (6 * kExtensionDigits)) - 1;  // 18 bits
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

CheckExtensionChars BuildCheckExtension(const std::string& text) {
  const std::uint32_t value = Crc32(text) & kDigitMask;
  CheckExtensionChars chars{};
  chars[0] = kExtensionMarker;
  for (int d = 0; d < kExtensionDigits; ++d) {
    const int shift = 6 * (kExtensionDigits - 1 - d);
    chars[1 + d] = kExtensionDigitBase + static_cast<int>((value >> shift) & 63u);
  }
  return chars;
}

bool IsExtensionDigit(int byte) { return byte >= kExtensionDigitBase && byte < kExtensionDigitBase + 64; }

double ExtensionWaitSeconds(double block_seconds, int characters_per_block) {
  const int per_block = characters_per_block < 1 ? 1 : characters_per_block;
  const int blocks = (kExtensionLength + per_block - 1) / per_block;
  return (blocks + 0.5) * block_seconds;
}

}  // namespace quillon
