// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder's frame lines and the sensitivity figures.

#include <gtest/gtest.h>

#include <cmath>

#include "tools/FrameOutput.h"
#include "tools/Sensitivity.h"
#include "tools/ModeArg.h"

namespace quillon {
namespace {

DecodedFrame Frame(const std::string& cp1251, bool good, int expected, int received) {
  DecodedFrame decoded;
  decoded.mode = &ParseMode("8/500");
  decoded.frame.text = cp1251;
  decoded.frame.good = good;
  decoded.frame.integrity = good ? FrameIntegrity::kVerified : FrameIntegrity::kBad;
  decoded.frame.expected = expected;
  decoded.frame.received = received;
  decoded.frame.link_bytes = static_cast<int>(cp1251.size());
  decoded.start_s = 61.234;
  decoded.end_s = 65.5;
  decoded.snr = 7.126;
  decoded.snr_db = -7.6;
  decoded.freq_offset_hz = -31.25;
  return decoded;
}

TEST(FrameOutput, PlainLinesShowTheStatusBarCheckTheVerdictAndOneLineOfText) {
  EXPECT_EQ(PlainFrameLine(Frame("abc", true, 0x3E, 0x3E), false),
            "GOOD  CRC 3E = 3E  verified  01:01.23  SNR -8 dB  -31 Hz  abc");
  EXPECT_EQ(PlainFrameLine(Frame("abc", false, 0x3E, 0x41), true),
            "OLIVIA_8_500  BAD   CRC 3E != 41  bad  01:01.23  SNR -8 dB  -31 Hz  abc");
  // A received check byte of 128 or more is sign-extended, as in the status bar.
  EXPECT_EQ(PlainFrameLine(Frame("x", false, 0x2B, -128), false),
            "BAD   CRC 2B != FFFFFF80  bad  01:01.23  SNR -8 dB  -31 Hz  x");
  EXPECT_EQ(PlainFrameLine(Frame("\xCC\xE8\xF0\r\nA\\B\x01", true, 1, 1), false),
            "GOOD  CRC 1 = 1  verified  01:01.23  SNR -8 dB  -31 Hz  \xD0\x9C\xD0\xB8\xD1\x80\\r\\nA\\\\B\\x01");
  // A frame nothing measured (its blocks pushed out at the end of the audio).
  DecodedFrame unmeasured = Frame("abc", true, 0x3E, 0x3E);
  unmeasured.snr_db = std::nan("");
  unmeasured.freq_offset_hz = 15.625;
  EXPECT_EQ(PlainFrameLine(unmeasured, false), "GOOD  CRC 3E = 3E  verified  01:01.23  SNR ? dB  +16 Hz  abc");
  EXPECT_NE(JsonFrameLine(unmeasured).find(",\"snr_db\":null,"), std::string::npos);
  // A check character that agrees without the extension's word behind it is
  // not a good frame when a block of it was weak.
  DecodedFrame doubtful = Frame("abc", true, 0x3E, 0x3E);
  doubtful.frame.integrity = FrameIntegrity::kDoubtful;
  EXPECT_EQ(PlainFrameLine(doubtful, false), "BAD   CRC 3E = 3E  doubtful  01:01.23  SNR -8 dB  -31 Hz  abc");
  EXPECT_EQ(ClockTime(0.004), "00:00.00");
  EXPECT_EQ(ClockTime(59.996), "01:00.00");
}

TEST(FrameOutput, JsonLinesCarryEveryField) {
  EXPECT_EQ(JsonFrameLine(Frame("\xCC\xE8\xF0 \"q\"\n", true, 62, 62)),
            "{\"mode\":\"OLIVIA_8_500\",\"mode_number\":101,\"good\":true,\"integrity\":\"verified\","
            "\"check_character_agrees\":true,\"weakest_strength\":null,\"expected\":62,\"received\":62,"
            "\"text\":\"\xD0\x9C\xD0\xB8\xD1\x80 \\\"q\\\"\\n\",\"text_cp1251_hex\":\"CCE8F0202271220A\","
            "\"link_bytes\":8,\"start_s\":61.234,\"end_s\":65.500,\"snr\":7.13,\"snr_db\":-7.6,"
            "\"freq_offset_hz\":-31.25}");
  EXPECT_EQ(JsonString(std::string("\x1F", 1)), "\"\\u001F\"");
}

TEST(Sensitivity, ThresholdsAreInterpolatedBetweenTheSurroundingPoints) {
  SensitivityCurve curve;
  for (const auto& [snr, good] : std::vector<std::pair<double, int>>{{-14, 0}, {-13, 4}, {-12, 8}, {-11, 10}}) {
    SensitivityPoint point;
    point.snr_db = snr;
    point.trials = 10;
    point.good = good;
    curve.points.push_back(point);
  }
  double snr = 0.0;
  ASSERT_TRUE(SnrAtGoodShare(curve, 0.5, &snr));
  EXPECT_DOUBLE_EQ(snr, -12.75);
  ASSERT_TRUE(SnrAtGoodShare(curve, 0.9, &snr));
  EXPECT_DOUBLE_EQ(snr, -11.5);
  ASSERT_TRUE(SnrAtGoodShare(curve, 0.0, &snr));
  EXPECT_DOUBLE_EQ(snr, -14.0);
  curve.points.back().good = 8;
  EXPECT_FALSE(SnrAtGoodShare(curve, 0.9, &snr));
}

TEST(Sensitivity, RandomTextsMixLatinAndCyrillicAndRepeatWithTheSeed) {
  std::mt19937_64 first(5);
  std::mt19937_64 second(5);
  const std::string text = RandomMixedText(400, first);
  EXPECT_EQ(text, RandomMixedText(400, second));
  EXPECT_EQ(text.size(), 400u);
  int cyrillic = 0;
  int latin = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    cyrillic += byte >= 0xC0 || byte == 0xA8 || byte == 0xB8;
    latin += (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
  }
  EXPECT_GT(cyrillic, 50);
  EXPECT_GT(latin, 50);
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3);
  EXPECT_EQ(EditDistance("", "abc"), 3);
}

}  // namespace
}  // namespace quillon
