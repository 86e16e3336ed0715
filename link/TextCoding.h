// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text characters (cp1251 codes 0..255) to link bytes (0..127) and back.
//
// A Cyrillic letter travels as a Latin letter, or as one of 14 spare control
// codes, under a shift state: 14 shifts to Cyrillic, 15 back to Latin. The
// code 22 is never produced; the frame uses it as its marker.

namespace quillon {

constexpr int kShiftToCyrillic = 14;
constexpr int kShiftToLatin = 15;

// Codes the text character in pair[0] (an unsigned byte value, never a
// sign-extended char). Leaves the link bytes to send in pair[0] and pair[1]
// and returns how many there are: 0 (not sent), 1 or 2. *shift is the
// sender's shift state: 0 Latin, 1 Cyrillic.
int KodirowkaW(int* pair, int* shift);

// Decodes one received link byte (masked to 0..255) with the receiver's shift
// state. Returns the cp1251 character, or 0 when the byte yields none (a
// shift code, a marker, or a code outside the table).
int KodirowkaIz(int link_byte, int* shift);

}  // namespace quillon
