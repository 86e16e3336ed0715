// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversion between the link's cp1251 texts and UTF-8, through iconv.

#include <string>

namespace quillon {

// Bytes without a character in cp1251 (0x98) become U+FFFD.
std::string Cp1251ToUtf8(const std::string& cp1251);

// Characters without a cp1251 code, and invalid UTF-8 bytes, become '?'.
std::string Utf8ToCp1251(const std::string& utf8);

// The first character of a UTF-8 text that cp1251 has no code for (as
// UTF-8), or an empty string when it has them all.
std::string FirstCharacterCp1251Lacks(const std::string& utf8);

}  // namespace quillon
