// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "link/Cp1251.h"
#include "link/Frame.h"
#include "link/TextCoding.h"

namespace quillon {
namespace {

std::vector<int> Code(const std::string& utf8) { return CodeText(Utf8ToCp1251(utf8)); }

std::string Decode(const std::vector<int>& link_bytes) {
  std::string text;
  int shift = 0;
  for (int link_byte : link_bytes) {
    const int character = KodirowkaIz(link_byte, &shift);
    if (character != 0) text.push_back(static_cast<char>(character));
  }
  return text;
}

// The Unicode code point of one cp1251 byte, by iconv's own table.
unsigned CodePointOf(int cp1251) {
  const std::string utf8 = Cp1251ToUtf8(std::string(1, static_cast<char>(cp1251)));
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(utf8[at]); };
  if (utf8.size() == 1) return byte(0);
  if (utf8.size() == 2) return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
  return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
}

bool IsCyrillicCodePoint(unsigned code_point) {
  return (code_point >= 0x410 && code_point <= 0x44F) || code_point == 0x401 || code_point == 0x451;
}
bool IsCapitalCyrillic(unsigned code_point) {
  return (code_point >= 0x410 && code_point <= 0x42F) || code_point == 0x401;
}

int CodeOne(int character, int* shift, int out[2]) {
  out[0] = character;
  out[1] = -1;
  return KodirowkaW(out, shift);
}

TEST(TextCoding, WorkedExamples) {
  EXPECT_EQ(Code("Да, OK."), (std::vector<int>{14, 68, 97, 44, 32, 15, 79, 75, 46}));
  EXPECT_EQ(Code("Привет, Мир! 73"),
            (std::vector<int>{14, 80, 114, 105, 119, 101, 116, 44, 32, 77, 105, 114, 33, 32, 55, 51}));
  // The numero sign (185) is dropped.
  EXPECT_EQ(Code("QSL? Ёлка №5"), (std::vector<int>{81, 83, 76, 63, 32, 14, 28, 108, 107, 97, 32, 53}));
}

TEST(TextCoding, LatinDigitsPunctuationAndLineBreaksCodeToThemselves) {
  std::string text;
  for (int code = 32; code <= 126; ++code) text.push_back(static_cast<char>(code));
  text += "\r\n\t\b";
  const std::vector<int> coded = CodeText(text);
  EXPECT_EQ(coded, std::vector<int>(text.begin(), text.end()));

  // CR LF and the non-letters keep the Cyrillic state: no second shift.
  EXPECT_EQ(Code("я\r\n1 ы"), (std::vector<int>{14, 23, 13, 10, 49, 32, 121}));
}

TEST(TextCoding, DecoderExamples) {
  int shift = 0;
  EXPECT_EQ(KodirowkaIz(11, &shift), 215);  // Ч in Latin state too
  EXPECT_EQ(KodirowkaIz(65, &shift), 65);
  shift = 1;
  EXPECT_EQ(KodirowkaIz(65, &shift), 192);  // А

  shift = 0;
  EXPECT_EQ(KodirowkaIz(14, &shift), 0);
  EXPECT_EQ(shift, 1);
  EXPECT_EQ(KodirowkaIz(88, &shift), 220);  // Ь
  EXPECT_EQ(KodirowkaIz(120, &shift), 252); // ь
  EXPECT_EQ(KodirowkaIz(15, &shift), 0);
  EXPECT_EQ(shift, 0);
  EXPECT_EQ(KodirowkaIz(88, &shift), 88);

  for (int state : {0, 1}) {
    for (int link_byte : {0, 7, 22, 29, 31, 127, 128, 200, 255}) {
      shift = state;
      EXPECT_EQ(KodirowkaIz(link_byte, &shift), 0) << link_byte;
      EXPECT_EQ(shift, state);
    }
  }
}

TEST(TextCoding, CoderEmitsOnlyLinkBytesAndDropsWhatItCannotCarry) {
  for (int state : {0, 1}) {
    for (int character = 0; character < 256; ++character) {
      int shift = state;
      int out[2];
      const int count = CodeOne(character, &shift, out);
      const bool cyrillic = character == 168 || character == 184 || character >= 192;
      const bool kept_control = character == 8 || character == 9 || character == 10 || character == 13;
      const bool carried = cyrillic || kept_control || (character >= 32 && character <= 126);
      if (!carried) {
        EXPECT_EQ(count, 0) << character;
        EXPECT_EQ(shift, state) << character;
        continue;
      }
      ASSERT_GE(count, 1) << character;
      for (int at = 0; at < count; ++at) {
        const int link_byte = out[at];
        const bool valid = (link_byte >= 8 && link_byte <= 21) || (link_byte >= 23 && link_byte <= 28) ||
                           (link_byte >= 32 && link_byte <= 126);
        EXPECT_TRUE(valid) << character << " -> " << link_byte;
      }
      if (count == 2) {
        EXPECT_EQ(out[0], cyrillic ? kShiftToCyrillic : kShiftToLatin) << character;
      }
    }
  }
}

// The coder's idea of a Cyrillic letter and its case, checked against
// iconv's cp1251 table rather than against the coder's own table.
TEST(TextCoding, CyrillicTableAgreesWithIconv) {
  std::set<int> link_bytes;
  int cyrillic_letters = 0;
  for (int character = 0; character < 256; ++character) {
    const unsigned code_point = CodePointOf(character);
    int shift = 1;
    int out[2];
    const int count = CodeOne(character, &shift, out);
    const bool coder_cyrillic = count == 1 && shift == 1 && character >= 128;
    EXPECT_EQ(coder_cyrillic, IsCyrillicCodePoint(code_point)) << character;
    if (!coder_cyrillic) continue;
    ++cyrillic_letters;
    const int link_byte = out[0];
    EXPECT_TRUE(link_bytes.insert(link_byte).second) << "link byte " << link_byte << " used twice";
    EXPECT_NE(link_byte, kFrameMarker);
    if (std::isalpha(link_byte)) {
      EXPECT_EQ(std::isupper(link_byte) != 0, IsCapitalCyrillic(code_point)) << character;
    }
    int decode_shift = 1;
    EXPECT_EQ(KodirowkaIz(link_byte, &decode_shift), character);
  }
  EXPECT_EQ(cyrillic_letters, 66);
  // All 52 Latin letters stand for a Cyrillic letter in Cyrillic state.
  for (int latin = 'A'; latin <= 'z'; ++latin) {
    if (!std::isalpha(latin)) continue;
    EXPECT_EQ(link_bytes.count(latin), 1u) << static_cast<char>(latin);
  }
}

TEST(TextCoding, CodingThenDecodingReturnsEveryCarriedText) {
  std::string carried;
  for (int character = 1; character < 256; ++character) {
    int shift = 0;
    int out[2];
    if (CodeOne(character, &shift, out) > 0) carried.push_back(static_cast<char>(character));
  }
  ASSERT_EQ(carried.size(), 4u + 95u + 66u);

  std::mt19937 random(4);
  std::string text = carried;
  std::string reversed(carried.rbegin(), carried.rend());
  EXPECT_EQ(Decode(CodeText(text)), text);
  EXPECT_EQ(Decode(CodeText(reversed)), reversed);
  for (int round = 0; round < 20; ++round) {
    std::shuffle(text.begin(), text.end(), random);
    ASSERT_EQ(Decode(CodeText(text)), text);
  }
}

}  // namespace
}  // namespace quillon
