// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message frame: start marker 22, 15, 15, the coded text, end marker 22
// and one check character derived from a CRC-16/X.25 of the text. In the
// transmit ring the frame is followed by the end-of-transmission command -3,
// which never goes on air.

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

constexpr int kFrameMarker = 22;
constexpr int kEndOfTransmission = -3;
// The upper pane gives at most 9994 text bytes.
constexpr int kMaxTextBytes = 9994;
// The transmit ring holds 9999 pending entries and a frame adds 10 (start
// marker, end marker, check character, the four of the check extension, -3)
// to the coded text.
constexpr int kFrameOverhead = 10;
constexpr int kMaxCodedBytes = 9999 - kFrameOverhead;

// CRC-16/X.25 (0x8408 reflected, initial 0xFFFF, final complement) of
// `length` bytes. `bytes` must be zero-terminated: a one-byte text is taken
// together with its terminating zero. A length of 0 is taken as two zero
// bytes without reading the buffer at all.
std::uint16_t GetCRC16_x25_SERVER(const unsigned char* bytes, std::uint32_t length);

// 32 plus the sum of the CRC's four hexadecimal digits: 32..92, printable.
int CheckCharacter(std::uint16_t crc);

// The check character of a cp1251 text (its bytes before any zero byte).
int TextCheckCharacter(const std::string& text);

// The link bytes of a cp1251 text, coded from shift state 0 up to its first
// zero byte. Characters the coder cannot carry are left out.
std::vector<int> CodeText(const std::string& text);

// The on-air frame of a text: 22, 15, 15, CodeText(text), 22, check.
std::vector<int> BuildFrame(const std::string& text);

// What this program sends: BuildFrame(text) and the check extension after it.
std::vector<int> BuildExtendedFrame(const std::string& text);

}  // namespace quillon
