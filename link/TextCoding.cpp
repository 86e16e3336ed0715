// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TextCoding.h"

namespace quillon {
namespace {

// Link byte of each Cyrillic letter of cp1251 192..255 (А..я). Letters with a
// Latin look- or sound-alike take that letter, capital for capital; the other
// twelve of 192..255 take the spare control codes 11, 12, 16..21 and 23..26
// (я is 23 because 22 is the frame marker).
constexpr unsigned char kCyrillicLinkByte[64] = {
    // А   Б   В   Г   Д   Е   Ж   З   И   Й   К   Л   М   Н   О   П
    65, 66, 87, 71, 68, 69, 86, 90, 73, 74, 75, 76, 77, 78, 79, 80,
    // Р   С   Т   У   Ф   Х   Ц   Ч   Ш   Щ   Ъ   Ы   Ь   Э   Ю   Я
    82, 83, 84, 85, 70, 72, 67, 11, 12, 81, 16, 89, 88, 17, 18, 19,
    // а    б    в    г    д    е    ж    з    и    й    к    л    м    н    о    п
    97, 98, 119, 103, 100, 101, 118, 122, 105, 106, 107, 108, 109, 110, 111, 112,
    // р    с    т    у    ф    х    ц   ч   ш   щ    ъ   ы    ь    э   ю   я
    114, 115, 116, 117, 102, 104, 99, 20, 21, 113, 24, 121, 120, 25, 26, 23,
};

constexpr int kCapitalYo = 168;  // Ё
constexpr int kSmallYo = 184;    // ё
constexpr int kCapitalYoLinkByte = 28;
constexpr int kSmallYoLinkByte = 27;

bool IsCyrillicLetter(int character) {
  return character == kCapitalYo || character == kSmallYo || (character >= 192 && character <= 255);
}

bool IsLatinLetter(int code) { return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z'); }

int CyrillicLinkByte(int character) {
  if (character == kCapitalYo) return kCapitalYoLinkByte;
  if (character == kSmallYo) return kSmallYoLinkByte;
  return kCyrillicLinkByte[character - 192];
}

// The Cyrillic letter carried by a link byte, or 0 when none is.
int CyrillicLetterOf(int link_byte) {
  if (link_byte == kCapitalYoLinkByte) return kCapitalYo;
  if (link_byte == kSmallYoLinkByte) return kSmallYo;
  for (int index = 0; index < 64; ++index)
    if (kCyrillicLinkByte[index] == link_byte) return 192 + index;
  return 0;
}

bool IsKeptControlCode(int code) { return code == 8 || code == 9 || code == 10 || code == 13; }

}  // namespace

int KodirowkaW(int* pair, int* shift) {
  const int character = pair[0];
  if (IsCyrillicLetter(character)) {
    if (*shift == 1) {
      pair[0] = CyrillicLinkByte(character);
      return 1;
    }
    *shift = 1;
    pair[0] = kShiftToCyrillic;
    pair[1] = CyrillicLinkByte(character);
    return 2;
  }
  if (character >= 127) return 0;
  if (character <= 31) return IsKeptControlCode(character) ? 1 : 0;
  if (!IsLatinLetter(character)) return 1;
  if (*shift != 0) {
    *shift = 0;
    pair[0] = kShiftToLatin;
    pair[1] = character;
    return 2;
  }
  return 1;
}

int KodirowkaIz(int link_byte, int* shift) {
  if (link_byte >= 32 && link_byte <= 126) {
    if (*shift == 0 || !IsLatinLetter(link_byte)) return link_byte;
    return CyrillicLetterOf(link_byte);
  }
  if (IsKeptControlCode(link_byte)) return link_byte;
  if (link_byte == kShiftToCyrillic) {
    *shift = 1;
    return 0;
  }
  if (link_byte == kShiftToLatin) {
    *shift = 0;
    return 0;
  }
  // The spare control codes carry their Cyrillic letter in either state;
  // anything else (0..7, 22, 29..31, 127..255) carries nothing.
  if (link_byte >= 11 && link_byte <= 28 && link_byte != 22 && link_byte != 13) return CyrillicLetterOf(link_byte);
  return 0;
}

}  // namespace quillon
