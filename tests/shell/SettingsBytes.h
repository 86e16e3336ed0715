// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The nine ints of a settings file as the bytes on disk, little-endian.

#include <vector>

namespace quillon {

inline std::vector<int> SettingsInts(const std::vector<unsigned char>& bytes) {
  std::vector<int> ints;
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
    ints.push_back(static_cast<int>(static_cast<unsigned>(bytes[at]) | static_cast<unsigned>(bytes[at + 1]) << 8 |
                                    static_cast<unsigned>(bytes[at + 2]) << 16 |
                                    static_cast<unsigned>(bytes[at + 3]) << 24));
  return ints;
}

inline std::vector<unsigned char> SettingsBytes(const std::vector<int>& ints) {
  std::vector<unsigned char> bytes;
  for (int value : ints)
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(static_cast<unsigned>(value) >> shift));
  return bytes;
}

}  // namespace quillon
