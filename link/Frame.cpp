// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Frame.h"

#include "link/CheckExtension.h"
#include "link/TextCoding.h"

namespace quillon {
namespace {

void ShiftOnce(std::uint32_t& reg) { reg = (reg & 1) != 0 ? (reg >> 1) ^ 0x8408u : reg >> 1; }

// The text up to its first zero byte, as the pane's zero-terminated buffer
// would hold it.
std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::uint16_t GetCRC16_x25_SERVER(const unsigned char* bytes, std::uint32_t length) {
  // The register runs 8 bits ahead of the output: each new byte enters at
  // bits 16..23 and the final 16 steps flush the last two bytes through.
  // Loading the first two bytes complemented is the 0xFFFF initial value.
  const std::uint32_t first_two = length == 0 ? 0u : bytes[0] | (static_cast<std::uint32_t>(bytes[1]) << 8);
  std::uint32_t reg = ~first_two & 0xFFFFu;
  for (std::uint32_t index = 2; index < length; ++index) {
    reg |= static_cast<std::uint32_t>(bytes[index]) << 16;
    for (int bit = 0; bit < 8; ++bit) ShiftOnce(reg);
  }
  for (int bit = 0; bit < 16; ++bit) ShiftOnce(reg);
  return static_cast<std::uint16_t>(~reg & 0xFFFFu);
}

int CheckCharacter(std::uint16_t crc) {
  return 32 + (crc & 0xF) + ((crc >> 4) & 0xF) + ((crc >> 8) & 0xF) + ((crc >> 12) & 0xF);
}

int TextCheckCharacter(const std::string& text) {
  const std::string terminated = UpToZero(text);
  return CheckCharacter(GetCRC16_x25_SERVER(reinterpret_cast<const unsigned char*>(terminated.c_str()),
                                            static_cast<std::uint32_t>(terminated.size())));
}

std::vector<int> CodeText(const std::string& text) {
  std::vector<int> coded;
  int shift = 0;
  for (char byte : UpToZero(text)) {
    int pair[2] = {static_cast<unsigned char>(byte), 0};
    const int count = KodirowkaW(pair, &shift);
    coded.insert(coded.end(), pair, pair + count);
  }
  return coded;
}

std::vector<int> BuildFrame(const std::string& text) {
  std::vector<int> frame = {kFrameMarker, kShiftToLatin, kShiftToLatin};
  const std::vector<int> coded = CodeText(text);
  frame.insert(frame.end(), coded.begin(), coded.end());
  frame.push_back(kFrameMarker);
  frame.push_back(TextCheckCharacter(text));
  return frame;
}

std::vector<int> BuildExtendedFrame(const std::string& text) {
  std::vector<int> frame = BuildFrame(text);
  const CheckExtensionChars extension = BuildCheckExtension(UpToZero(text));
  frame.insert(frame.end(), extension.begin(), extension.end());
  return frame;
}

}  // namespace quillon
